#include "selfupdatesandbox.h"

#include "archive/directorycopy.h"
#include "support/testreleasekey.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

using namespace vexa;

// The whole self-update once more, with an installer built to trust one release key: a signed
// manifest hands over and the new client starts; an unsigned one is skipped with one warning and
// start-up goes on to the catalog.
class TestSignedSelfUpdate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyASignedManifestUpdates_data();
    void onlyASignedManifestUpdates();
};

void TestSignedSelfUpdate::onlyASignedManifestUpdates_data()
{
    QTest::addColumn<bool>("signManifest");
    QTest::newRow("signed manifest: updated and relaunched") << true;
    QTest::newRow("unsigned manifest: skipped, start-up goes on") << false;
}

void TestSignedSelfUpdate::onlyASignedManifestUpdates()
{
    QFETCH(bool, signManifest);
    // The built programs, with the installer that trusts the test key in place of the usual one.
    QTemporaryDir program;
    QString errorText;
    const QString installerName = QFileInfo(QStringLiteral(VEXA_SIGNED_INSTALLER)).fileName();
    const QString programInstaller = program.filePath(installerName);
    QVERIFY2(copyDirectoryTree(QStringLiteral(VEXA_PROGRAM_DIRECTORY), program.path(), errorText),
        qPrintable(errorText));
    QVERIFY(QFile::remove(programInstaller) && QFile::copy(VEXA_SIGNED_INSTALLER, programInstaller));

    SelfUpdateSandbox sandbox;
    QVERIFY2(sandbox.prepare(program.path(), QStringLiteral("9.9.9"), errorText), qPrintable(errorText));
    const QString manifest
        = QFileInfo(sandbox.archivePath()).absolutePath() + QStringLiteral("/client/client-manifest.json");
    if (signManifest)
        QVERIFY2(
            signWithReleaseScript(VEXA_TEST_RELEASE_KEY, { manifest }, errorText), qPrintable(errorText));

    const QString installer = QDir(sandbox.installedDirectory()).filePath(installerName);
    QProcess first;
    first.setProcessEnvironment(sandbox.programEnvironment());
    // The helper and the relaunched installer inherit these channels: a pipe closed when the first
    // installer ends would end them too. Without a hand-off the log is read here.
    first.setProcessChannelMode(signManifest ? QProcess::ForwardedChannels : QProcess::SeparateChannels);
    first.start(installer,
        { QStringLiteral("--client-update-url"), sandbox.manifestUrl().toString(),
            QStringLiteral("--catalog-url"), sandbox.stallingCatalogUrl().toString() });
    const QString marker = QDir(sandbox.installedDirectory()).filePath(SelfUpdateSandbox::markerName());
    if (signManifest) {
        QVERIFY(first.waitForFinished(60000));
        QCOMPARE(first.exitCode(), 0);
        // The relaunched installer asks for the catalog, which never arrives: it stays until ended here.
        QTRY_VERIFY_WITH_TIMEOUT(sandbox.catalogWasRequested(), 60000);
        const RunningProcess relaunched = findRunningProcess(installer);
        QVERIFY(relaunched.pid > 0);
        QVERIFY(terminateProcess(relaunched.pid));
        QVERIFY(QFileInfo::exists(marker));
        return;
    }
    // No hand-off: the same process goes on to the catalog.
    QTRY_VERIFY_WITH_TIMEOUT(sandbox.catalogWasRequested(), 60000);
    QCOMPARE(first.state(), QProcess::Running);
    QVERIFY(terminateProcess(first.processId()));
    QVERIFY(first.waitForFinished(30000));
    const QString log = QString::fromLocal8Bit(first.readAllStandardError());
    QVERIFY2(log.count(QStringLiteral("Client self-update check failed")) == 1
            && log.contains(QStringLiteral("Client update manifest signature is missing")),
        qPrintable(log));
    QVERIFY(!QFileInfo::exists(marker));
}

QTEST_GUILESS_MAIN(TestSignedSelfUpdate)
#include "tst_signedselfupdate.moc"
