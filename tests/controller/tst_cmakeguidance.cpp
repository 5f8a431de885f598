#include "controller/cmakeguidance.h"

#include "controllersandbox.h"

#include <QJsonObject>
#include <QTest>

using namespace vexa;

class TestCmakeGuidance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void catalogUsageText_data();
    void catalogUsageText();
    void helpTextSelection_data();
    void helpTextSelection();
    void builtInTextsWordForWord();
    void guidancePackage_data();
    void guidancePackage();
};

namespace {

PackageDefinition packageWith(const QString &product, const QJsonObject &usage = {}, const QString &id = {})
{
    PackageDefinition package;
    package.package_id = id.isEmpty() ? QStringLiteral("com.example.package") : id;
    package.display_name = QStringLiteral("Example");
    package.product = product;
    package.usage = usage;
    return package;
}

const QString GenericStart = QStringLiteral("This package does not have a custom CMake hint yet.");

} // namespace

void TestCmakeGuidance::catalogUsageText_data()
{
    QTest::addColumn<QJsonObject>("usage");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no usage object") << QJsonObject() << QString();
    QTest::newRow("all three, trimmed, in order")
        << QJsonObject { { QStringLiteral("notes"), QStringLiteral("  Mind the DLLs. ") },
               { QStringLiteral("cmake_snippet"), QStringLiteral("\nfind_package(Foo)\n") },
               { QStringLiteral("summary"), QStringLiteral(" Foo in a line. ") } }
        << QStringLiteral("Foo in a line.\n\nTypical CMake:\nfind_package(Foo)\n\nMind the DLLs.");
    QTest::newRow("snippet only has no title line") << QJsonObject {
        { QStringLiteral("cmake_snippet"), QStringLiteral("find_package(Foo CONFIG REQUIRED)") }
    } << QStringLiteral("Typical CMake:\nfind_package(Foo CONFIG REQUIRED)");
    QTest::newRow("summary and notes without snippet") << QJsonObject {
        { QStringLiteral("summary"), QStringLiteral("S") }, { QStringLiteral("notes"), QStringLiteral("N") }
    } << QStringLiteral("S\n\nN");
    QTest::newRow("non-string values read as empty") << QJsonObject { { QStringLiteral("summary"), 42 },
        { QStringLiteral("cmake_snippet"), QJsonObject() }, { QStringLiteral("notes"), true } }
                                                     << QString();
    QTest::newRow("blank values read as empty")
        << QJsonObject { { QStringLiteral("summary"), QStringLiteral("   ") },
               { QStringLiteral("notes"), QStringLiteral("\t\n") } }
        << QString();
    QTest::newRow("other keys ignored") << QJsonObject { { QStringLiteral("title"), QStringLiteral("T") },
        { QStringLiteral("notes"), QStringLiteral("N") } }
                                        << QStringLiteral("N");
}

void TestCmakeGuidance::catalogUsageText()
{
    QFETCH(QJsonObject, usage);
    QFETCH(QString, expected);
    QCOMPARE(vexa::catalogUsageText(packageWith(QStringLiteral("Qt"), usage)), expected);
}

void TestCmakeGuidance::helpTextSelection_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("packageId");
    QTest::addColumn<QJsonObject>("usage");
    QTest::addColumn<QString>("expectedStart");

    const QJsonObject snippet { { QStringLiteral("cmake_snippet"), QStringLiteral("find_package(Mine)") } };
    QTest::newRow("catalog usage wins over product") << QStringLiteral("Qt") << QString() << snippet
                                                     << QStringLiteral("Typical CMake:\nfind_package(Mine)");
    QTest::newRow("catalog usage wins over support") << QStringLiteral("VexaCMakeSupport") << SupportPackageId
                                                     << snippet << QStringLiteral("Typical CMake:");
    QTest::newRow("product Qt") << QStringLiteral("Qt") << QString() << QJsonObject()
                                << QStringLiteral("Qt 6\n\n");
    QTest::newRow("product OpenCV") << QStringLiteral("OpenCV") << QString() << QJsonObject()
                                    << QStringLiteral("OpenCV\n\n");
    QTest::newRow("product OpenSSL") << QStringLiteral("OpenSSL") << QString() << QJsonObject()
                                     << QStringLiteral("OpenSSL\n\n");
    QTest::newRow("product KF6") << QStringLiteral("KF6SyntaxHighlighting") << QString() << QJsonObject()
                                 << QStringLiteral("KF6 Syntax Highlighting\n\n");
    QTest::newRow("product OnnxRuntime")
        << QStringLiteral("OnnxRuntime") << QString() << QJsonObject() << QStringLiteral("OnnxRuntime\n\n");
    QTest::newRow("product nlohmann_json") << QStringLiteral("nlohmann_json") << QString() << QJsonObject()
                                           << QStringLiteral("nlohmann_json\n\n");
    QTest::newRow("product CMake") << QStringLiteral("CMake") << QString() << QJsonObject()
                                   << QStringLiteral("CMake Tooling\n\n");
    QTest::newRow("product Ninja") << QStringLiteral("Ninja") << QString() << QJsonObject()
                                   << QStringLiteral("Ninja Tooling\n\n");
    QTest::newRow("product CUDA") << QStringLiteral("CUDA") << QString() << QJsonObject()
                                  << QStringLiteral("CUDA Toolkit\n\n");
    QTest::newRow("product table before support") << QStringLiteral("CMake") << SupportPackageId
                                                  << QJsonObject() << QStringLiteral("CMake Tooling\n\n");
    QTest::newRow("support package") << QStringLiteral("VexaCMakeSupport") << SupportPackageId
                                     << QJsonObject() << QStringLiteral("Vexa CMake Support\n\n");
    QTest::newRow("support id is case-sensitive")
        << QString() << SupportPackageId.toUpper() << QJsonObject() << GenericStart;
    QTest::newRow("lower-case qt is generic")
        << QStringLiteral("qt") << QString() << QJsonObject() << GenericStart;
    QTest::newRow("padded product is generic")
        << QStringLiteral(" Qt") << QString() << QJsonObject() << GenericStart;
    QTest::newRow("unknown product") << QStringLiteral("Boost") << QString() << QJsonObject() << GenericStart;
    QTest::newRow("blank usage falls through")
        << QStringLiteral("Ninja") << QString()
        << QJsonObject { { QStringLiteral("summary"), QStringLiteral(" ") } }
        << QStringLiteral("Ninja Tooling\n\n");
}

void TestCmakeGuidance::helpTextSelection()
{
    QFETCH(QString, product);
    QFETCH(QString, packageId);
    QFETCH(QJsonObject, usage);
    QFETCH(QString, expectedStart);
    const QString text = packageHelpText(packageWith(product, usage, packageId));
    QVERIFY2(text.startsWith(expectedStart), qPrintable(text));
}

void TestCmakeGuidance::builtInTextsWordForWord()
{
    const QStringList products { QStringLiteral("Qt"), QStringLiteral("OpenCV"), QStringLiteral("OpenSSL"),
        QStringLiteral("KF6SyntaxHighlighting"), QStringLiteral("OnnxRuntime"),
        QStringLiteral("nlohmann_json"), QStringLiteral("CMake"), QStringLiteral("Ninja"),
        QStringLiteral("CUDA") };
    QString all;
    for (const QString &product : products)
        all += QStringLiteral("=== product %1\n%2\n").arg(product, packageHelpText(packageWith(product)));
    all += QStringLiteral("=== support package\n%1\n")
               .arg(packageHelpText(packageWith(QStringLiteral("VexaCMakeSupport"), {}, SupportPackageId)));
    all += QStringLiteral("=== generic\n%1\n").arg(packageHelpText(packageWith(QStringLiteral("qt"))));
    QVERIFY(matchesReference(QStringLiteral("guidance-texts.txt"), all));
}

void TestCmakeGuidance::guidancePackage_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QStringList>("target");
    QTest::addColumn<QString>("shown");

    const QStringList chain { ids::Support, ids::Ninja, ids::Top, ids::Mid, ids::Base };
    QTest::newRow("the package picked") << ids::Qt << chain << ids::Qt;
    QTest::newRow("the package picked, outside the selection") << ids::Json << QStringList() << ids::Json;
    // Dependencies come first and catalog order breaks ties, so the top of the selection shows.
    QTest::newRow("nothing picked: top of the selection")
        << QString() << QStringList { ids::Support, ids::Ninja } << ids::Ninja;
    QTest::newRow("unknown pick: top of the selection")
        << QStringLiteral("no.such.package") << chain << ids::Top;
    QTest::newRow("nothing picked, nothing selected") << QString() << QStringList() << QString();
    QTest::newRow("unknown pick, nothing selected")
        << QStringLiteral("no.such.package") << QStringList() << QString();
    // Ids the catalog does not know sort after the known ones.
    QTest::newRow("top of the selection unknown")
        << QString() << QStringList { ids::Ninja, QStringLiteral("zz") } << QString();
}

void TestCmakeGuidance::guidancePackage()
{
    QFETCH(QString, selected);
    QFETCH(QStringList, target);
    QFETCH(QString, shown);

    const PackageCatalog catalog = standardCatalog();
    const QString id = guidancePackageId(catalog, selected, QSet<QString>(target.cbegin(), target.cend()));
    QCOMPARE(id, shown);
    const QString text = guidanceText(catalog, id);
    if (shown.isEmpty())
        QCOMPARE(text, QStringLiteral("Select a package card to see CMake usage guidance here."));
    else
        QCOMPARE(text, packageHelpText(*catalog.findPackage(shown)));
}

QTEST_GUILESS_MAIN(TestCmakeGuidance)
#include "tst_cmakeguidance.moc"
