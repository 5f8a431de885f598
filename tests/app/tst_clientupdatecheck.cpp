#include "app/appidentity.h"
#include "app/clientupdatecheck.h"
#include "app/startupwindow.h"
#include "update/clientversion.h"

#include "support/testfiles.h"

#include <QApplication>
#include <QSplashScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace vexa;

// Start-up's side of the self-update: when the check runs and what a failed check leaves behind.
class TestClientUpdateCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reportsTheInstallersOwnVersion();
    void runsUnlessSkipped_data();
    void runsUnlessSkipped();
};

void TestClientUpdateCheck::reportsTheInstallersOwnVersion()
{
    QCOMPARE(installerClientVersion(), ApplicationVersion);
}

void TestClientUpdateCheck::runsUnlessSkipped_data()
{
    QTest::addColumn<bool>("skip");
    QTest::addColumn<bool>("emptyLocationGiven");
    QTest::addColumn<bool>("checked");
    QTest::newRow("no option: the configured manifest is checked") << false << false << true;
    QTest::newRow("--skip-self-update") << true << false << false;
    QTest::newRow("empty --client-update-url") << false << true << false;
}

void TestClientUpdateCheck::runsUnlessSkipped()
{
    QFETCH(bool, skip);
    QFETCH(bool, emptyLocationGiven);
    QFETCH(bool, checked);
    // A newer client whose helper is missing: the check fails, which only a warning shows.
    QTemporaryDir directory;
    const QString manifest = directory.filePath(QStringLiteral("client-manifest.json"));
    QVERIFY(writeTestFile(manifest, R"({"version": "2.0", "archive_url": "client.zip"})"));
    qputenv("VEXA_CLIENT_UPDATE_URL", manifest.toLocal8Bit());
    StartupOptions options;
    options.skipSelfUpdate = skip;
    options.clientUpdateUrlGiven = emptyLocationGiven;
    ClientUpdateContext context;
    context.programDirectory = directory.path();
    context.names = { QStringLiteral("Installer"), QStringLiteral("Helper") };

    if (checked) {
        QTest::ignoreMessage(QtWarningMsg,
            qPrintable(QStringLiteral(
                "Client self-update check failed: \"Client update 2.0 is available, but %1 is missing.\"")
                           .arg(directory.filePath(QStringLiteral("Helper")))));
    }
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    const std::unique_ptr<QSplashScreen> splash = createStartupWindow();
    QVERIFY(!startClientUpdateIfOffered(*qApp, *splash, options, context));
    qputenv("VEXA_CLIENT_UPDATE_URL", QByteArray());
}

QTEST_MAIN(TestClientUpdateCheck)
#include "tst_clientupdatecheck.moc"
