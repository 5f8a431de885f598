#include "cli/commonoptions.h"
#include "cli/terminaltext.h"
#include "platform/defaultroot.h"
#include "support/testenvironment.h"

#include <QCommandLineParser>
#include <QTest>

using namespace vexa;

// The pieces every vexa command shares: what reaches a terminal, and the catalog and root options.
class TestCliSupport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void terminalText_data();
    void terminalText();
    void catalogAndRoot_data();
    void catalogAndRoot();
};

void TestCliSupport::terminalText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain text and line breaks stay") << "Installing Qt 6 [iv2]...\n\tdone"
                                                     << "Installing Qt 6 [iv2]...\n\tdone";
    QTest::newRow("an escape sequence") << "red\x1b[31m"
                                        << "red\\x1B[31m";
    QTest::newRow("carriage return and DEL") << "a\rb\x7f"
                                             << "a\\x0Db\\x7F";
    QTest::newRow("C1 control sequence introducer") << QString(QChar(0x9b)) + "2J"
                                                    << "\\x9B2J";
    QTest::newRow("right-to-left override") << QString(QChar(0x202e)) + "txt.exe"
                                            << "\\u202Etxt.exe";
}

void TestCliSupport::terminalText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(terminalSafe(text), shown);
}

void TestCliSupport::catalogAndRoot_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("vexaRoot");
    QTest::addColumn<QString>("catalogSource");
    QTest::addColumn<QString>("root");
    QTest::addColumn<bool>("ok");

    const QString home = DefaultRootPath();
    QTest::newRow("defaults") << QStringList {} << QByteArray() << "" << home << true;
    QTest::newRow("VEXA_ROOT when --root is not given")
        << QStringList {} << QByteArray(" /srv//vexa/./ci ") << ""
        << "/srv/vexa/ci" << true;
    QTest::newRow("blank VEXA_ROOT falls back to the default")
        << QStringList {} << QByteArray("  ") << "" << home << true;
    QTest::newRow("--root wins and is cleaned")
        << QStringList { "--root", "/opt/a/../vexa/" } << QByteArray("/srv/vexa") << ""
        << "/opt/vexa" << true;
    QTest::newRow("--root given blank") << QStringList { "--root", " " } << QByteArray() << ""
                                        << "" << false;
    QTest::newRow("catalog URL wins over the repository directory")
        << QStringList { "--repository-dir", "/repo", "--catalog-url", "https://example.com/c/" }
        << QByteArray() << "https://example.com/c/" << home << true;
    QTest::newRow("blank catalog URL keeps the repository directory")
        << QStringList { "--repository-dir", "/repo", "--catalog-url", "" } << QByteArray() << "/repo" << home
        << true;
}

void TestCliSupport::catalogAndRoot()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, vexaRoot);
    QFETCH(QString, catalogSource);
    QFETCH(QString, root);
    QFETCH(bool, ok);
    const ScopedEnvironmentVariable variable(
        "VEXA_ROOT", vexaRoot.isNull() ? std::nullopt : std::optional<QByteArray>(vexaRoot));
    QCommandLineParser parser;
    parser.addOptions(catalogAndRootOptions());
    QVERIFY(parser.parse(QStringList { QStringLiteral("vexa list") } + arguments));

    CatalogAndRoot options;
    QString errorText;
    QCOMPARE(readCatalogAndRoot(parser, options, errorText), ok);
    if (!ok) {
        QCOMPARE(errorText, QStringLiteral("--root names no directory."));
        return;
    }
    QCOMPARE(options.catalogSource, catalogSource);
    QCOMPARE(options.root, root);
}

QTEST_GUILESS_MAIN(TestCliSupport)
#include "tst_clisupport.moc"
