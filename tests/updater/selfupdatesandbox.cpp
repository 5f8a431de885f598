#include "selfupdatesandbox.h"

#include "archive/directorycopy.h"
#include "archive/filedigest.h"
#include "platform/processwait.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <csignal>

namespace vexa {

namespace {

const QString ArchiveName = QStringLiteral("CompanyVexaInstallerClient.zip");

} // namespace

bool writeZip(const QString &archive, const QStringList &arguments, QString &errorText)
{
    QProcess python;
    python.start(
        QStringLiteral("python3"), QStringList { QStringLiteral(VEXA_WRITEZIP_SCRIPT), archive } + arguments);
    if (python.waitForFinished(120000) && python.exitStatus() == QProcess::NormalExit
        && python.exitCode() == 0)
        return true;
    errorText
        = QStringLiteral("Writing %1 failed: %2 %3")
              .arg(archive, python.errorString(), QString::fromLocal8Bit(python.readAllStandardError()));
    return false;
}

bool SelfUpdateSandbox::prepare(
    const QString &programDirectory, const QString &offeredVersion, QString &errorText)
{
    const QString served = m_directory.filePath(QStringLiteral("served"));
    if (!m_directory.isValid() || !QDir().mkpath(temporaryDirectory())
        || !copyDirectoryTree(programDirectory, installedDirectory(), errorText) || !QDir().mkpath(served)
        || !writeZip(archivePath(),
            { QStringLiteral("--dir"), installedDirectory(), QStringLiteral("--entry"), markerName(),
                offeredVersion },
            errorText)) {
        return false;
    }
    // The archive lies one level above the manifest, so its relative URL has to be resolved.
    const QJsonObject manifest { { QStringLiteral("version"), offeredVersion },
        { QStringLiteral("archive_url"), QString(QStringLiteral("../") + ArchiveName) },
        { QStringLiteral("archive_sha256"), sha256OfFile(archivePath(), errorText).toUpper() },
        { QStringLiteral("archive_size_bytes"), QString::number(QFileInfo(archivePath()).size()) } };
    if (!writeTestFile(
            served + QStringLiteral("/client/client-manifest.json"), QJsonDocument(manifest).toJson())
        || !writeTestFile(served + QStringLiteral("/catalog.json"), QByteArray(4096, ' '))) {
        errorText = QStringLiteral("Writing the served files failed");
        return false;
    }
    m_server = std::make_unique<TestHttpServer>(served);
    if (!m_server->start()) {
        errorText = m_server->errorString();
        return false;
    }
    return true;
}

QString SelfUpdateSandbox::archivePath() const
{
    return m_directory.filePath(QStringLiteral("served/") + ArchiveName);
}

QUrl SelfUpdateSandbox::manifestUrl() const
{
    return m_server->url(QStringLiteral("/client/client-manifest.json"));
}

QUrl SelfUpdateSandbox::stallingCatalogUrl() const
{
    return m_server->url(QStringLiteral("/stall/catalog.json?after=1&max_s=60"));
}

bool SelfUpdateSandbox::catalogWasRequested() const
{
    return m_server->requestLog().filter(QStringLiteral("/stall/catalog.json")).size() > 0;
}

QProcessEnvironment SelfUpdateSandbox::programEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("TMPDIR"), temporaryDirectory());
    for (const char *name : { "VEXA_CATALOG_URL", "VEXA_REPOSITORY_DIR", "VEXA_CLIENT_UPDATE_URL" })
        environment.remove(QLatin1String(name));
    return environment;
}

RunningProcess findRunningProcess(const QString &executable)
{
    const QString wanted = QFileInfo(executable).canonicalFilePath();
    const QStringList processIds
        = QDir(QStringLiteral("/proc")).entryList({ QStringLiteral("[0-9]*") }, QDir::Dirs);
    for (const QString &id : processIds) {
        const QString process = QStringLiteral("/proc/") + id;
        if (QFileInfo(process + QStringLiteral("/exe")).symLinkTarget() != wanted)
            continue;
        RunningProcess found { id.toLongLong(), {},
            QFileInfo(process + QStringLiteral("/cwd")).symLinkTarget() };
        const QList<QByteArray> arguments = readTestFile(process + QStringLiteral("/cmdline")).split('\0');
        for (qsizetype i = 1; i + 1 < arguments.size(); ++i)
            found.arguments << QString::fromLocal8Bit(arguments.at(i));
        return found;
    }
    return {};
}

bool terminateProcess(qint64 pid)
{
    return ::kill(pid_t(pid), SIGTERM) == 0 && waitForProcessExit(pid, 30000) == ProcessWaitResult::Ended;
}

} // namespace vexa
