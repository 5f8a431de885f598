#include "archive/directorycopy.h"
#include "selfupdatesandbox.h"
#include "support/testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace vexa;

// The update helper killed with SIGKILL at many points of a real update, as a power cut or the person
// ending it would: after every kill the install name holds the complete old client or the complete
// new one, and that client starts. The argument recorder plays the installer in both releases, each
// with libraries of its own, so that a mixture of the two shows.
namespace {

using Tree = QMap<QString, QByteArray>;

const QString InstallerName = QStringLiteral("CompanyVexaInstaller");
constexpr int LibraryCount = 120;

bool writeRelease(const QString &directory, const QByteArray &version, const QString &ownFile)
{
    if (!QDir().mkpath(directory)
        || !QFile::copy(QStringLiteral(VEXA_RECORDER_PROGRAM), directory + QLatin1Char('/') + InstallerName))
        return false;
    for (int i = 0; i < LibraryCount; ++i) {
        if (!writeTestFile(QStringLiteral("%1/lib/lib%2.so").arg(directory).arg(i),
                seededRandomBytes(2048, quint32(i)) + version))
            return false;
    }
    return writeTestFile(directory + QLatin1Char('/') + ownFile, version)
        && writeTestFile(directory + QStringLiteral("/vexa-release.json"),
            "{\"entries\": [\"" + InstallerName.toUtf8() + "\", \"lib\", \"" + ownFile.toUtf8()
                + "\", \"vexa-release.json\"]}");
}

} // namespace

class TestUpdaterCrash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void killedUpdate_data();
    void killedUpdate();

private:
    // Installs the old release at work/installed, beside a folder of the person's, and runs the helper
    // on it: killed just before its `killAtCall`-th rename, deletion or sync, or `killAfterMs` after
    // its start; 0 for neither. Its exit code, or -1 when it was killed.
    int runUpdate(const QString &work, int killAtCall, qint64 killAfterMs, const QString &log = QString());

    QTemporaryDir m_releases;
    Tree m_old;
    Tree m_new;
    QStringList m_calls; // of an update that was not killed
    qint64 m_durationMs = 0;
};

void TestUpdaterCrash::initTestCase()
{
    const QString oldRelease = m_releases.filePath(QStringLiteral("old"));
    const QString newRelease = m_releases.filePath(QStringLiteral("new"));
    QVERIFY(writeRelease(oldRelease, "old", QStringLiteral("old.txt"))
        && writeRelease(newRelease, "new", QStringLiteral("new.txt")));
    QString errorText;
    QVERIFY2(writeZip(m_releases.filePath(QStringLiteral("client.zip")),
                 { QStringLiteral("--dir"), newRelease }, errorText),
        qPrintable(errorText));
    m_old = treeSnapshot(oldRelease);
    m_new = treeSnapshot(newRelease);

    QTemporaryDir work;
    const QString log = work.filePath(QStringLiteral("calls.log"));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(runUpdate(work.path(), 0, 0, log), 0);
    m_durationMs = timer.elapsed();
    QCOMPARE(treeSnapshot(work.filePath(QStringLiteral("installed"))), m_new);
    m_calls = QString::fromLocal8Bit(readTestFile(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (m_calls.filter(QRegularExpression(QStringLiteral("^exchange "))).isEmpty())
        QSKIP("This file system cannot exchange two names in one step; the helper renames twice there");
}

void TestUpdaterCrash::killedUpdate_data()
{
    QTest::addColumn<int>("killAtCall");
    QTest::addColumn<qint64>("killAfterMs");
    // Every call from the sync of the staged tree to a few past the exchange (the sync of the parent
    // and the first deletions of the old client), and some spread over the calls before and after.
    // VEXA_KILL_ROUNDS asks for more of those, and of the kills by the clock.
    const int rounds = qMax(8, qEnvironmentVariableIntValue("VEXA_KILL_ROUNDS"));

    // indexOf matches whole entries.
    const qsizetype synced = m_calls.indexOf(QRegularExpression(QStringLiteral("syncfs .*")));
    const qsizetype exchange = m_calls.indexOf(QRegularExpression(QStringLiteral("exchange .*")));
    const qsizetype last = qMin(exchange + 6, m_calls.size() - 1);
    QList<qsizetype> calls;
    for (int part = 0; part < rounds && synced > 0; ++part)
        calls.append(synced * part / rounds);
    for (qsizetype i = synced; i <= last; ++i)
        calls.append(i);
    for (int part = 1; part <= rounds && last + 1 < m_calls.size(); ++part)
        calls.append(last + (m_calls.size() - 1 - last) * part / rounds);
    calls.erase(std::unique(calls.begin(), calls.end()), calls.end());
    for (const qsizetype call : std::as_const(calls)) {
        QTest::addRow(
            "at call %d: %s", int(call + 1), qPrintable(m_calls.at(call).section(QLatin1Char(' '), 0, 0)))
            << int(call + 1) << qint64(0);
    }
    // Unpacking and staging make no such call; the kills there come by the clock.
    for (int round = 0; round < rounds; ++round) {
        const int part = 5 + round * 90 / rounds;
        QTest::addRow("at %d%% of an update's time", part) << 0 << qMax<qint64>(1, m_durationMs * part / 100);
    }
}

void TestUpdaterCrash::killedUpdate()
{
    QFETCH(int, killAtCall);
    QFETCH(qint64, killAfterMs);
    QTemporaryDir work;
    runUpdate(work.path(), killAtCall, killAfterMs);

    const QString install = work.filePath(QStringLiteral("installed"));
    const Tree installed = treeSnapshot(install);
    QVERIFY2(installed == m_old || installed == m_new,
        qPrintable(QStringLiteral("%1 entries, neither release").arg(installed.size())));
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(
        QStringLiteral("VEXA_TEST_RECORD_FILE"), work.filePath(QStringLiteral("started.json")));
    client.setProcessEnvironment(environment);
    client.start(install + QLatin1Char('/') + InstallerName);
    QVERIFY(client.waitForFinished(30000));
    QCOMPARE(client.exitCode(), 0);
    QVERIFY(QFileInfo::exists(work.filePath(QStringLiteral("started.json"))));
    QCOMPARE(readTestFile(work.filePath(QStringLiteral("mine/notes.txt"))), QByteArray("the person's"));
}

int TestUpdaterCrash::runUpdate(const QString &work, int killAtCall, qint64 killAfterMs, const QString &log)
{
    const QString install = work + QStringLiteral("/installed");
    const QString archive = work + QStringLiteral("/tmp/client.zip");
    QString errorText;
    if (!copyDirectoryTree(m_releases.filePath(QStringLiteral("old")), install, errorText)
        || !writeTestFile(work + QStringLiteral("/mine/notes.txt"), "the person's")
        || !QDir().mkpath(work + QStringLiteral("/tmp"))
        || !QFile::copy(m_releases.filePath(QStringLiteral("client.zip")), archive)) {
        qWarning() << "preparing the update failed" << errorText;
        return 2;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), work + QStringLiteral("/tmp"));
    environment.insert(QStringLiteral("VEXA_TEST_RECORD_FILE"), work + QStringLiteral("/relaunched.json"));
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(VEXA_FILESYSTEM_SHIM));
    environment.insert(QStringLiteral("VEXA_TEST_FS_LOG"), log);
    environment.insert(QStringLiteral("VEXA_TEST_KILL_AT"), QString::number(killAtCall));
    QProcess updater;
    updater.setProcessEnvironment(environment);
    updater.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    updater.start(QStringLiteral(VEXA_UPDATER_PROGRAM),
        { QStringLiteral("--install-dir"), install, QStringLiteral("--archive"), archive,
            QStringLiteral("--relaunch-exe"), install + QLatin1Char('/') + InstallerName,
            QStringLiteral("--wait-pid"), QStringLiteral("0") });
    QElapsedTimer timer;
    timer.start();
    while (updater.state() != QProcess::NotRunning && !updater.waitForFinished(1)) {
        if ((killAfterMs > 0 && timer.elapsed() >= killAfterMs) || timer.elapsed() > 120000) {
            updater.kill();
            updater.waitForFinished();
            return -1;
        }
    }
    return updater.exitStatus() == QProcess::NormalExit ? updater.exitCode() : -1;
}

QTEST_GUILESS_MAIN(TestUpdaterCrash)
#include "tst_updatercrash.moc"
