// Driver of tests/support/httpserver.py; the paths it serves are listed in testhttpserver.h.

#include "support/testhttpserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QSaveFile>
#include <QSslCertificate>
#include <QSslConfiguration>

#include <memory>

namespace vexa {

namespace {

bool runOpenssl(const QString &workDirectory, const QStringList &arguments, QString &errorText)
{
    QProcess process;
    process.setWorkingDirectory(workDirectory);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForStarted(30000)) {
        errorText = QStringLiteral("Cannot start openssl: %1").arg(process.errorString());
        return false;
    }
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        errorText = QStringLiteral("openssl %1 failed: %2")
                        .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

bool writeTextFile(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) == text.size();
}

struct TlsSetup
{
    QTemporaryDir directory;
    TestTlsFiles files;
    QString errorText;
    bool ok = false;
};

std::unique_ptr<TlsSetup> createTlsSetup()
{
    auto setup = std::make_unique<TlsSetup>();
    if (!setup->directory.isValid()) {
        setup->errorText = QStringLiteral("Cannot create a temporary directory for test certificates.");
        return setup;
    }
    const QString dir = setup->directory.path();
    const QString extensions = dir + QStringLiteral("/server.ext");
    // EC keys keep generation fast; the SAN is what Qt checks against the host 127.0.0.1.
    const QStringList ecKey = { QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
        QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes") };
    if (!writeTextFile(extensions,
            QStringLiteral("basicConstraints=CA:FALSE\n"
                           "keyUsage=critical,digitalSignature,keyEncipherment\n"
                           "extendedKeyUsage=serverAuth\n"
                           "subjectAltName=IP:127.0.0.1\n"))) {
        setup->errorText = QStringLiteral("Cannot write %1").arg(extensions);
        return setup;
    }
    const QStringList caArguments = QStringList { QStringLiteral("req"), QStringLiteral("-x509") } + ecKey
        + QStringList { QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
              QStringLiteral("ca.pem"), QStringLiteral("-days"), QStringLiteral("3"), QStringLiteral("-subj"),
              QStringLiteral("/CN=Vexa Test CA"), QStringLiteral("-addext"),
              QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
              QStringLiteral("keyUsage=critical,keyCertSign,cRLSign") };
    const QStringList requestArguments = QStringList { QStringLiteral("req") } + ecKey
        + QStringList { QStringLiteral("-keyout"), QStringLiteral("server.key"), QStringLiteral("-out"),
              QStringLiteral("server.csr"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1") };
    const QStringList signArguments = { QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
        QStringLiteral("server.csr"), QStringLiteral("-CA"), QStringLiteral("ca.pem"),
        QStringLiteral("-CAkey"), QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
        QStringLiteral("-out"), QStringLiteral("server.pem"), QStringLiteral("-days"), QStringLiteral("3"),
        QStringLiteral("-extfile"), QStringLiteral("server.ext") };
    if (!runOpenssl(dir, caArguments, setup->errorText)
        || !runOpenssl(dir, requestArguments, setup->errorText)
        || !runOpenssl(dir, signArguments, setup->errorText))
        return setup;

    setup->files.caCertificate = dir + QStringLiteral("/ca.pem");
    setup->files.certificate = dir + QStringLiteral("/server.pem");
    setup->files.key = dir + QStringLiteral("/server.key");

    const QList<QSslCertificate> authorities = QSslCertificate::fromPath(setup->files.caCertificate);
    if (authorities.isEmpty()) {
        setup->errorText = QStringLiteral("Cannot read the test CA certificate.");
        return setup;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(authorities);
    QSslConfiguration::setDefaultConfiguration(configuration);
    setup->ok = true;
    return setup;
}

} // namespace

const TestTlsFiles *trustedTestTlsFiles(QString &errorText)
{
    // One CA per test process: every HTTPS server of the process shares it, and the files live until exit.
    static const std::unique_ptr<TlsSetup> setup = createTlsSetup();
    if (!setup->ok) {
        errorText = setup->errorText;
        return nullptr;
    }
    return &setup->files;
}

TestHttpServer::TestHttpServer(const QString &rootDirectory, Scheme scheme)
    : m_rootDirectory(rootDirectory)
    , m_scheme(scheme)
{ }

TestHttpServer::~TestHttpServer()
{
    stop();
}

bool TestHttpServer::start(int timeoutMs)
{
    stop();
    m_errorString.clear();
    if (!m_workDirectory.isValid()) {
        m_errorString = QStringLiteral("Cannot create the server's work directory.");
        return false;
    }
    QStringList arguments = { QStringLiteral(VEXA_TEST_HTTP_SERVER_SCRIPT), QStringLiteral("--root"),
        m_rootDirectory, QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--log"),
        m_workDirectory.filePath(QStringLiteral("requests.log")), QStringLiteral("--control"),
        m_workDirectory.filePath(QStringLiteral("control.json")), QStringLiteral("--sent"),
        m_workDirectory.filePath(QStringLiteral("sent")) };
    if (m_scheme == Https) {
        const TestTlsFiles *tls = trustedTestTlsFiles(m_errorString);
        if (!tls)
            return false;
        arguments << QStringLiteral("--certfile") << tls->certificate << QStringLiteral("--keyfile")
                  << tls->key;
    }
    clearRequestLog();
    writeControl();

    // Python tracebacks reach the test's own output; stdout carries the port.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("python3"), arguments);
    if (!m_process.waitForStarted(timeoutMs)) {
        m_errorString = QStringLiteral("Cannot start python3: %1").arg(m_process.errorString());
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (m_process.state() != QProcess::Running || deadline.hasExpired()
            || !m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (m_process.canReadLine())
                break;
            m_errorString = QStringLiteral("The test HTTP server did not report its port.");
            stop();
            return false;
        }
    }
    bool ok = false;
    m_port = QString::fromLatin1(m_process.readLine()).trimmed().toInt(&ok);
    if (!ok || m_port <= 0) {
        m_errorString = QStringLiteral("The test HTTP server reported no valid port.");
        stop();
        return false;
    }
    return true;
}

void TestHttpServer::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        // Closing stdin is the server's signal to exit; kill only if it does not.
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    m_port = 0;
}

bool TestHttpServer::isRunning() const
{
    return m_process.state() == QProcess::Running && m_port > 0;
}

QString TestHttpServer::baseUrl() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_scheme == Https ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(m_port);
}

QUrl TestHttpServer::url(const QString &target) const
{
    const QString prefix = target.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    return QUrl(baseUrl() + prefix + target);
}

QStringList TestHttpServer::requestLog() const
{
    QFile log(m_workDirectory.filePath(QStringLiteral("requests.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestHttpServer::clearRequestLog()
{
    QFile::remove(m_workDirectory.filePath(QStringLiteral("requests.log")));
}

void TestHttpServer::setCutAfter(qint64 bytes)
{
    m_cutAfter = bytes;
    writeControl();
}

void TestHttpServer::setRangeHandling(RangeHandling handling)
{
    m_rangeHandling = handling;
    writeControl();
}

void TestHttpServer::writeControl()
{
    static const char *const names[] = { "honour", "ignore", "ignore-if-range", "refuse" };
    QJsonObject control { { QStringLiteral("ranges"), QLatin1String(names[m_rangeHandling]) } };
    if (m_cutAfter >= 0)
        control.insert(QStringLiteral("cut_after"), m_cutAfter);
    // Renamed into place, so the server never reads half a file.
    QSaveFile file(m_workDirectory.filePath(QStringLiteral("control.json")));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(control).toJson()) < 0 || !file.commit())
        qWarning("Cannot write the test HTTP server's control file.");
}

qint64 TestHttpServer::bytesSent() const
{
    QFile file(m_workDirectory.filePath(QStringLiteral("sent")));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
}

} // namespace vexa
