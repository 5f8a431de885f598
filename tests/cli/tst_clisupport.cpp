#include "cli/commonoptions.h"
#include "cli/orderedjson.h"
#include "platform/defaultroot.h"
#include "support/testenvironment.h"

#include <QCommandLineParser>
#include <QTest>

using namespace vexa;

// The pieces every vexa command shares: the catalog and root options, and JSON written back in its
// author's order.
class TestCliSupport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void catalogAndRoot_data();
    void catalogAndRoot();
    void orderedJson_data();
    void orderedJson();
};

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

void TestCliSupport::orderedJson_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("keys keep their order, scalar arrays stay on one line")
        << QByteArray(R"({"z": 1, "a": [ "x",2 ,true,null], "m": {"b": [], "a": {}}})")
        << QByteArray("{\n  \"z\": 1,\n  \"a\": [\"x\", 2, true, null],\n  \"m\": {\n    \"b\": [],\n    "
                      "\"a\": {}\n  }\n}");
    QTest::newRow("arrays of objects take a line each")
        << QByteArray(R"({"p": [{"id": "a"}, {"id": "b"}]})")
        << QByteArray("{\n  \"p\": [\n    {\n      \"id\": \"a\"\n    },\n"
                      "    {\n      \"id\": \"b\"\n    }\n  ]\n}");
    QTest::newRow("escapes and characters beyond ASCII")
        << QByteArray(R"({"s": "a\"b\\c\/d\n\u0001\u00e9\ud83d\ude00"})")
        << QByteArray("{\n  \"s\": \"a\\\"b\\\\c/d\\n\\u0001\xc3\xa9\xf0\x9f\x98\x80\"\n}");
    QTest::newRow("a repeated key is refused")
        << QByteArray(R"({"a": 1, "b": {"c": 1, "c": 2}})") << QByteArray();
    QTest::newRow("not an object") << QByteArray("[1]") << QByteArray();
}

void TestCliSupport::orderedJson()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, written);
    OrderedJson value;
    QString errorText;
    QCOMPARE(readOrderedJsonObject(input, value, errorText), !written.isEmpty());
    if (!written.isEmpty())
        QCOMPARE(orderedJsonText(value), written);
    else
        QVERIFY(!errorText.isEmpty());
}

QTEST_GUILESS_MAIN(TestCliSupport)
#include "tst_clisupport.moc"
