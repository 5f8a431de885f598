#include "app/commandline.h"
#include "helpexpectations.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QtTest>

using namespace vexa;

namespace {

// Help output wraps long descriptions; compare texts with their white space runs folded.
QString folded(const QString &text)
{
    return text.simplified();
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpListsTheOptionsInOrder();
    void options_data();
    void options();
    void rejectedArguments_data();
    void rejectedArguments();
    void answeredWithoutDisplay_data();
    void answeredWithoutDisplay();
};

void TestCommandLine::helpListsTheOptionsInOrder()
{
    QCommandLineParser parser;
    configureCommandLineParser(parser);
    const QString help = folded(parser.helpText());

    QVERIFY(help.contains(QStringLiteral("Custom offline Vexa installer.")));
    const QString outOfOrder
        = firstEntryOutOfOrder(help, QStringList { QStringLiteral("-h, --help") } + expectedHelpOptions());
    QVERIFY2(outOfOrder.isEmpty(), qPrintable(outOfOrder + QStringLiteral("\n in: ") + help));
    QVERIFY(!help.contains(QStringLiteral("--version")));
    QVERIFY(!help.contains(QStringLiteral("Arguments:")));
    // The flag takes no value.
    QVERIFY(!help.contains(QStringLiteral("--skip-self-update <")));
}

void TestCommandLine::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("repositoryDir");
    QTest::addColumn<QString>("catalogUrl");
    QTest::addColumn<QString>("clientUpdateUrl");
    QTest::addColumn<bool>("clientUpdateUrlGiven");
    QTest::addColumn<bool>("skipSelfUpdate");
    QTest::addColumn<QString>("catalogSource");

    const QString dir = QStringLiteral("/srv/vexa repo");
    const QString url = QStringLiteral("https://packages.example/vexa/catalog.json");

    QTest::newRow("nothing given") << QStringList() << QString() << QString() << QString() << false << false
                                   << QString();
    QTest::newRow("repository directory only") << QStringList { QStringLiteral("--repository-dir"), dir }
                                               << dir << QString() << QString() << false << false << dir;
    QTest::newRow("catalog url only") << QStringList { QStringLiteral("--catalog-url=") + url } << QString()
                                      << url << QString() << false << false << url;
    QTest::newRow("both given, the url wins")
        << QStringList { QStringLiteral("--repository-dir"), dir, QStringLiteral("--catalog-url"), url }
        << dir << url << QString() << false << false << url;
    QTest::newRow("both given, url first, the url still wins")
        << QStringList { QStringLiteral("--catalog-url"), url, QStringLiteral("--repository-dir"), dir }
        << dir << url << QString() << false << false << url;
    QTest::newRow("blank url does not discard the directory")
        << QStringList { QStringLiteral("--catalog-url"), QStringLiteral("  "),
               QStringLiteral("--repository-dir"), dir }
        << dir << QStringLiteral("  ") << QString() << false << false << dir;
    QTest::newRow("values are passed on untouched")
        << QStringList { QStringLiteral("--repository-dir"), QStringLiteral("  ./repo  ") }
        << QStringLiteral("  ./repo  ") << QString() << QString() << false << false
        << QStringLiteral("  ./repo  ");
    QTest::newRow("client update options")
        << QStringList { QStringLiteral("--client-update-url"),
               QStringLiteral("C:/updates/client-manifest.json"), QStringLiteral("--skip-self-update") }
        << QString() << QString() << QStringLiteral("C:/updates/client-manifest.json") << true << true
        << QString();
    QTest::newRow("empty client update url is still given")
        << QStringList { QStringLiteral("--client-update-url="), QStringLiteral("--repository-dir"), dir }
        << dir << QString() << QString() << true << false << dir;
    QTest::newRow("positional arguments are ignored")
        << QStringList { QStringLiteral("stray"), QStringLiteral("--repository-dir"), dir } << dir
        << QString() << QString() << false << false << dir;
}

void TestCommandLine::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, repositoryDir);
    QFETCH(QString, catalogUrl);
    QFETCH(QString, clientUpdateUrl);
    QFETCH(bool, clientUpdateUrlGiven);
    QFETCH(bool, skipSelfUpdate);
    QFETCH(QString, catalogSource);

    QCommandLineParser parser;
    configureCommandLineParser(parser);
    arguments.prepend(QStringLiteral("CompanyVexaInstaller"));
    QVERIFY2(parser.parse(arguments), qPrintable(parser.errorText()));

    const StartupOptions options = readStartupOptions(parser);
    QCOMPARE(options.repositoryDir, repositoryDir);
    QCOMPARE(options.catalogUrl, catalogUrl);
    QCOMPARE(options.clientUpdateUrl, clientUpdateUrl);
    QCOMPARE(options.clientUpdateUrlGiven, clientUpdateUrlGiven);
    QCOMPARE(options.skipSelfUpdate, skipSelfUpdate);
    QCOMPARE(catalogSourceString(options), catalogSource);
}

void TestCommandLine::rejectedArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    QTest::newRow("unknown option") << QStringList { QStringLiteral("--bogus") }
                                    << QStringLiteral("Unknown option 'bogus'.");
    QTest::newRow("no version option")
        << QStringList { QStringLiteral("--version") } << QStringLiteral("Unknown option 'version'.");
    QTest::newRow("directory without its value") << QStringList { QStringLiteral("--repository-dir") }
                                                 << QStringLiteral("Missing value after '--repository-dir'.");
    QTest::newRow("flag with a value") << QStringList { QStringLiteral("--skip-self-update=yes") }
                                       << QStringLiteral("Unexpected value after '--skip-self-update'.");
}

void TestCommandLine::rejectedArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);

    QCommandLineParser parser;
    configureCommandLineParser(parser);
    arguments.prepend(QStringLiteral("CompanyVexaInstaller"));
    QVERIFY(!parser.parse(arguments));
    QCOMPARE(parser.errorText(), error);
}

void TestCommandLine::answeredWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("answered");

    QTest::newRow("help") << QStringList { QStringLiteral("--help") } << true;
    QTest::newRow("short help among other options")
        << QStringList { QStringLiteral("--skip-self-update"), QStringLiteral("-h") } << true;
    QTest::newRow("unknown option") << QStringList { QStringLiteral("--bogus") } << true;
    QTest::newRow("missing value") << QStringList { QStringLiteral("--repository-dir") } << true;
    QTest::newRow("an ordinary start")
        << QStringList { QStringLiteral("--repository-dir"), QStringLiteral("/srv/vexa") } << false;
    QTest::newRow("no arguments") << QStringList() << false;
    QTest::newRow("help including Qt's options") << QStringList { QStringLiteral("--help-all") } << false;
    QTest::newRow("Qt's platform option")
        << QStringList { QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--help") }
        << false;
    QTest::newRow("Qt's style option with its value")
        << QStringList { QStringLiteral("--style=Fusion"), QStringLiteral("--bogus") } << false;
    QTest::newRow("after --, a Qt option name is only an argument")
        << QStringList { QStringLiteral("--bogus"), QStringLiteral("--"), QStringLiteral("-style") } << true;
}

void TestCommandLine::answeredWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, answered);

    QCommandLineParser parser;
    configureCommandLineParser(parser);
    arguments.prepend(QStringLiteral("CompanyVexaInstaller"));
    QCOMPARE(vexa::answeredWithoutDisplay(parser, arguments), answered);
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
