#include "selfupdatesandbox.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

using namespace vexa;

// The whole self-update on the built programs: an installed copy finds a newer client on the
// loopback server, hands over to its helper and exits; the helper swaps the directory and the new
// installer starts from it.
class TestSelfUpdate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void updatesAndRelaunchesTheInstalledClient_data();
    void updatesAndRelaunchesTheInstalledClient();
};

void TestSelfUpdate::updatesAndRelaunchesTheInstalledClient_data()
{
    QTest::addColumn<QString>("installerName");
    QTest::addColumn<QString>("updaterName");
    QTest::newRow("CompanyVexaInstaller")
        << QStringLiteral(VEXA_INSTALLER_NAME) << QStringLiteral(VEXA_UPDATER_NAME);
    QTest::newRow("KestrowVexaInstaller")
        << QStringLiteral(VEXA_BRANDED_INSTALLER_NAME) << QStringLiteral(VEXA_BRANDED_UPDATER_NAME);
}

void TestSelfUpdate::updatesAndRelaunchesTheInstalledClient()
{
    QFETCH(QString, installerName);
    QFETCH(QString, updaterName);
#ifndef Q_OS_LINUX
    QSKIP("The relaunched installer is found through /proc");
#endif
    SelfUpdateSandbox sandbox;
    QString errorText;
    QVERIFY2(sandbox.prepare(QStringLiteral(VEXA_PROGRAM_DIRECTORY), QStringLiteral("9.9.9"), errorText),
        qPrintable(errorText));
    const QString installer = QDir(sandbox.installedDirectory()).filePath(installerName);
    const QStringList launchArguments { QStringLiteral("--client-update-url"),
        sandbox.manifestUrl().toString(), QStringLiteral("--catalog-url"),
        sandbox.stallingCatalogUrl().toString() };

    QProcess first;
    first.setProcessEnvironment(sandbox.programEnvironment());
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(installer, launchArguments);
    QVERIFY(first.waitForFinished(60000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    // The hand-off came before any catalog work.
    QVERIFY(!sandbox.catalogWasRequested());

    // The relaunched installer asks for the catalog, which never arrives: it stays until ended here.
    QTRY_VERIFY_WITH_TIMEOUT(sandbox.catalogWasRequested(), 60000);
    const RunningProcess relaunched = findRunningProcess(installer);
    QVERIFY(relaunched.pid > 0);
    QVERIFY(terminateProcess(relaunched.pid));
    QCOMPARE(relaunched.arguments, QStringList { QStringLiteral("--skip-self-update") } + launchArguments);
    QCOMPARE(relaunched.workingDirectory, QFileInfo(sandbox.installedDirectory()).canonicalFilePath());

    QVERIFY(QFileInfo::exists(QDir(sandbox.installedDirectory()).filePath(SelfUpdateSandbox::markerName())));
    QVERIFY(QFileInfo(installer).isExecutable());
    const QString parent = QFileInfo(sandbox.installedDirectory()).absolutePath();
    QCOMPARE(QDir(parent).entryList({ QStringLiteral(".vexa-installer-*") }, QDir::AllEntries | QDir::Hidden),
        QStringList());
    // Only the installer's workspace is left: the staged helper without the archive.
    const QDir temporary(sandbox.temporaryDirectory());
    const QStringList workspaces
        = temporary.entryList({ QStringLiteral("vexa-installer-update-*") }, QDir::Dirs);
    QCOMPARE(workspaces.size(), 1);
    QCOMPARE(
        QDir(temporary.filePath(workspaces.first())).entryList(QDir::Files), QStringList { updaterName });
}

QTEST_GUILESS_MAIN(TestSelfUpdate)
#include "tst_selfupdate.moc"
