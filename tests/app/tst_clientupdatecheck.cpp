#include "app/clientupdatecheck.h"
#include "app/startupwindow.h"

#include "support/testenvironment.h"
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
    void runsUnlessSkipped_data();
    void runsUnlessSkipped();
};

void TestClientUpdateCheck::runsUnlessSkipped_data()
{
    QTest::addColumn<bool>("skip");
    QTest::addColumn<bool>("emptyLocationGiven");
    QTest::newRow("no option: the configured manifest is checked") << false << false;
    QTest::newRow("--skip-self-update") << true << false;
    QTest::newRow("empty --client-update-url") << false << true;
}

void TestClientUpdateCheck::runsUnlessSkipped()
{
    QFETCH(bool, skip);
    QFETCH(bool, emptyLocationGiven);
    // A newer client whose helper is missing: a check fails, and only a warning shows it.
    QTemporaryDir directory;
    QVERIFY(writeTestFile(
        directory.filePath("client-manifest.json"), R"({"version": "2.0", "archive_url": "c.zip"})"));
    const ScopedEnvironmentVariable location(
        "VEXA_CLIENT_UPDATE_URL", QFile::encodeName(directory.filePath("client-manifest.json")));
    StartupOptions options;
    options.skipSelfUpdate = skip;
    options.clientUpdateUrlGiven = emptyLocationGiven;
    const ClientUpdateContext context { directory.path(), { "Installer", "Helper" }, 1, 5000, 5000 };

    if (!skip && !emptyLocationGiven) {
        QTest::ignoreMessage(QtWarningMsg,
            qPrintable(QString(
                "Client self-update check failed: \"Client update 2.0 is available, but %1 is missing.\"")
                           .arg(directory.filePath("Helper"))));
    }
    QTest::failOnWarning(QRegularExpression("."));
    const std::unique_ptr<QSplashScreen> splash = createStartupWindow();
    QVERIFY(!startClientUpdateIfOffered(*qApp, *splash, options, context));
}

QTEST_MAIN(TestClientUpdateCheck)
#include "tst_clientupdatecheck.moc"
