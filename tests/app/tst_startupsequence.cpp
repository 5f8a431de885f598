#include "app/commandline.h"
#include "app/startupsequence.h"
#include "app/startupwindow.h"
#include "platform/defaultroot.h"

#include "support/testcatalog.h"
#include "support/testenvironment.h"
#include "support/testfiles.h"
#include "support/testhttpserver.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QQuickWindow>
#include <QSplashScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace vexa;

namespace {

const QString SampleRepository = QStringLiteral(VEXA_SOURCE_DIR "/examples/repository");

QByteArray minimalCatalog()
{
    return testCatalogDocument(
        { testPackageEntry(QStringLiteral("com.company.vexa.ninja"), QStringLiteral("Ninja")) });
}

QString cleanAbsolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QApplication &application()
{
    return *qobject_cast<QApplication *>(QCoreApplication::instance());
}

// Stands in for the message box: records what would have been shown and whether the start-up window
// was still visible at that moment.
struct RecordedMessages
{
    QStringList titles;
    QStringList texts;
    QList<bool> splashVisible;

    CriticalMessagePresenter presenter(const QSplashScreen &splash)
    {
        return [this, &splash](const QString &title, const QString &text) {
            titles << title;
            texts << text;
            splashVisible << splash.isVisible();
        };
    }
};

// Closes the main window once it is on screen, as a person ends the installer, so that the start-up
// sequence returns from its event loop. Records the title of the window it closed.
class MainWindowCloser : public QObject
{
public:
    MainWindowCloser() { startTimer(10); }
    QString closedTitle;

protected:
    void timerEvent(QTimerEvent *) override
    {
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            if (qobject_cast<QQuickWindow *>(window) && window->isExposed() && closedTitle.isEmpty()) {
                closedTitle = window->title();
                window->close();
            }
        }
    }
};

QStringList shownMessages(const QSignalSpy &spy)
{
    QStringList messages;
    for (const QList<QVariant> &arguments : spy)
        messages << arguments.at(0).toString();
    return messages;
}

} // namespace

class TestStartupSequence : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sampleRepositoryStartsCleanly();
    void unresolvableSourceReportsTheLocateFailure_data();
    void unresolvableSourceReportsTheLocateFailure();
    void invalidCatalogReportsTheParseFailure();
    void blankSourceFallsBackAndKeepsWhatWasFound();
    void catalogUrlWinsOverRepositoryDirectory();
    void unreachableCatalogUrlReportsWhatWasTried();
};

void TestStartupSequence::sampleRepositoryStartsCleanly()
{
    const std::unique_ptr<QSplashScreen> splash = createStartupWindow();
    QSignalSpy shown(splash.get(), &QSplashScreen::messageChanged);
    RecordedMessages messages;
    StartupOptions options;
    options.repositoryDir = SampleRepository;

    MainWindowCloser closer;
    QCOMPARE(runStartupSequence(application(), *splash, options, messages.presenter(*splash)), 0);
    QVERIFY(messages.texts.isEmpty());
    QVERIFY(!splash->isVisible());
    QCOMPARE(closer.closedTitle, QStringLiteral("Kestrow Vexa Installer"));

    const QString catalogFile = SampleRepository + QStringLiteral("/catalog.json");
    const QStringList expected = {
        QStringLiteral("Starting installer..."),
        startupStatusText(QStringLiteral("Resolving package repository..."), SampleRepository),
        QStringLiteral("Loading package catalog from %1...").arg(catalogFile),
        startupStatusText(QStringLiteral("Parsing package catalog..."), catalogFile),
        startupStatusText(QStringLiteral("Scanning installed packages..."), DefaultRootPath()),
        QStringLiteral("Starting user interface..."),
    };
    QCOMPARE(shownMessages(shown), expected);
}

void TestStartupSequence::unresolvableSourceReportsTheLocateFailure_data()
{
    QTest::addColumn<QString>("subdirectory");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QStringList>("tried");

    QTest::newRow("missing directory") << QStringLiteral("missing") << false << QStringList { QString() };
    QTest::newRow("directory without a catalog")
        << QStringLiteral("empty") << true
        << QStringList { QStringLiteral("/catalog.json"), QStringLiteral("/catalog/packages.json"),
               QStringLiteral("/*.json (sidecars)") };
}

void TestStartupSequence::unresolvableSourceReportsTheLocateFailure()
{
    QFETCH(QString, subdirectory);
    QFETCH(bool, create);
    QFETCH(QStringList, tried);

    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString directory = temporary.filePath(subdirectory);
    if (create)
        QVERIFY(QDir().mkpath(directory));
    for (QString &entry : tried)
        entry.prepend(directory);

    const std::unique_ptr<QSplashScreen> splash = createStartupWindow();
    RecordedMessages messages;
    StartupOptions options;
    options.repositoryDir = directory;

    QCOMPARE(runStartupSequence(application(), *splash, options, messages.presenter(*splash)), 1);
    QCOMPARE(messages.titles, QStringList { QStringLiteral("Catalog error") });
    QCOMPARE(messages.texts.value(0),
        QStringLiteral("Failed to locate a catalog from %1.\n\nTried:\n%2")
            .arg(directory, tried.join(QLatin1Char('\n'))));
    QCOMPARE(messages.splashVisible, QList<bool> { false });
}

void TestStartupSequence::invalidCatalogReportsTheParseFailure()
{
    QTemporaryDir repository;
    QVERIFY(repository.isValid());
    const QString catalogFile = cleanAbsolute(repository.filePath(QStringLiteral("catalog.json")));
    QVERIFY(writeTestFile(catalogFile, QByteArray(R"({"packages": []})")));

    const std::unique_ptr<QSplashScreen> splash = createStartupWindow();
    QSignalSpy shown(splash.get(), &QSplashScreen::messageChanged);
    RecordedMessages messages;
    StartupOptions options;
    options.repositoryDir = repository.path();

    QCOMPARE(runStartupSequence(application(), *splash, options, messages.presenter(*splash)), 1);
    QCOMPARE(messages.titles, QStringList { QStringLiteral("Catalog error") });
    QCOMPARE(messages.texts.value(0),
        QStringLiteral("Failed to parse catalog from %1.\n\nCatalog JSON does not contain any packages.")
            .arg(catalogFile));
    QCOMPARE(messages.splashVisible, QList<bool> { false });
    QCOMPARE(shownMessages(shown).constLast(),
        startupStatusText(QStringLiteral("Parsing package catalog..."), catalogFile));
}

void TestStartupSequence::blankSourceFallsBackAndKeepsWhatWasFound()
{
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString repository = cleanAbsolute(temporary.path());
    QVERIFY(writeTestFile(repository + QStringLiteral("/catalog.json"), minimalCatalog()));
    const ScopedEnvironmentVariable repositoryVariable("VEXA_REPOSITORY_DIR", repository.toUtf8());

    const std::unique_ptr<QSplashScreen> splash = createStartupWindow();
    QSignalSpy shown(splash.get(), &QSplashScreen::messageChanged);
    RecordedMessages messages;
    LoadedCatalog loaded;
    QVERIFY(loadStartupCatalog(
        application(), *splash, QStringLiteral("   "), loaded, messages.presenter(*splash)));

    QCOMPARE(shownMessages(shown).value(0),
        QStringLiteral("Resolving package repository...\nUsing the configured default repository source."));
    // A refresh must reload from what was found, not from the blank the user gave.
    QCOMPARE(loaded.catalogSource, repository + QStringLiteral("/catalog.json"));
    QCOMPARE(loaded.repositoryBase, repository);
}

void TestStartupSequence::catalogUrlWinsOverRepositoryDirectory()
{
    QTemporaryDir served;
    QVERIFY(served.isValid());
    QVERIFY(writeTestFile(served.filePath(QStringLiteral("repo/catalog.json")), minimalCatalog()));
    TestHttpServer server(served.path());
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    StartupOptions options;
    options.repositoryDir = served.filePath(QStringLiteral("no-such-directory"));
    options.catalogUrl = server.url(QStringLiteral("/repo/catalog.json")).toString();

    const std::unique_ptr<QSplashScreen> splash = createStartupWindow();
    QSignalSpy shown(splash.get(), &QSplashScreen::messageChanged);
    RecordedMessages messages;
    LoadedCatalog loaded;
    QVERIFY(loadStartupCatalog(
        application(), *splash, catalogSourceString(options), loaded, messages.presenter(*splash)));

    QVERIFY(messages.texts.isEmpty());
    QCOMPARE(server.requestLog(), QStringList { QStringLiteral("/repo/catalog.json") });
    QCOMPARE(loaded.repositoryBase, server.baseUrl() + QStringLiteral("/repo/"));
    QCOMPARE(loaded.catalogSource, options.catalogUrl);
    QVERIFY(shownMessages(shown).contains(
        QStringLiteral("Downloading package catalog from %1...").arg(options.catalogUrl)));

    // The whole sequence takes the same road and ends well although the directory does not exist.
    server.clearRequestLog();
    const std::unique_ptr<QSplashScreen> secondSplash = createStartupWindow();
    MainWindowCloser closer;
    QCOMPARE(runStartupSequence(application(), *secondSplash, options, messages.presenter(*secondSplash)), 0);
    QVERIFY(messages.texts.isEmpty());
    // The self-update check looks for the client manifest beside the catalog first; start-up then loads
    // the catalog once, and the controller's first refresh reloads it from the same URL.
    QCOMPARE(server.requestLog(),
        QStringList({ QStringLiteral("/repo/client/client-manifest.json"), QStringLiteral("/repo/catalog.json"),
            QStringLiteral("/repo/catalog.json") }));
}

void TestStartupSequence::unreachableCatalogUrlReportsWhatWasTried()
{
    QTemporaryDir served;
    QVERIFY(served.isValid());
    TestHttpServer server(served.path());
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    StartupOptions options;
    options.catalogUrl = server.url(QStringLiteral("/missing/catalog.json")).toString();
    const std::unique_ptr<QSplashScreen> splash = createStartupWindow();
    RecordedMessages messages;

    QCOMPARE(runStartupSequence(application(), *splash, options, messages.presenter(*splash)), 1);
    QCOMPARE(messages.titles, QStringList { QStringLiteral("Catalog error") });
    QCOMPARE(messages.splashVisible, QList<bool> { false });
    const QString text = messages.texts.value(0);
    const QString expectedStart
        = QStringLiteral("Failed to locate a catalog from %1.\n\nTried:\n%1\n%2\n\nLast error:\n")
              .arg(options.catalogUrl, server.baseUrl() + QStringLiteral("/missing/vexa-package-names.txt"));
    QVERIFY2(text.startsWith(expectedStart), qPrintable(text));
}

QTEST_MAIN(TestStartupSequence)
#include "tst_startupsequence.moc"
