#include "catalog/catalogjson.h"
#include "catalog/packagecatalog.h"
#include "support/testcatalog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace vexa;

namespace {

QJsonObject package(const QString &id, const QStringList &dependencies = {}, const QString &displayName = {})
{
    QJsonObject extra;
    if (!dependencies.isEmpty())
        extra.insert(QStringLiteral("dependencies"), QJsonArray::fromStringList(dependencies));
    return testPackageEntry(id, displayName.isEmpty() ? id.toUpper() : displayName, extra);
}

PackageCatalog load(const QByteArray &data)
{
    PackageCatalog catalog;
    loadTestCatalog(data, catalog);
    return catalog;
}

// Catalog order z, y, x, w, cyc1, cyc2, solo: x needs y; w needs x and an id the catalog lacks;
// cyc1 and cyc2 need each other.
PackageCatalog graphCatalog()
{
    return load(testCatalogDocument({ package(QStringLiteral("z")), package(QStringLiteral("y")),
        package(QStringLiteral("x"), { QStringLiteral("y") }),
        package(QStringLiteral("w"), { QStringLiteral("x"), QStringLiteral("missing") }),
        package(QStringLiteral("cyc1"), { QStringLiteral("cyc2") }),
        package(QStringLiteral("cyc2"), { QStringLiteral("cyc1") }),
        package(QStringLiteral("solo"), { QStringLiteral("missing"), QStringLiteral("missing2") }) }));
}

QSet<QString> idSet(const QStringList &ids)
{
    return QSet<QString>(ids.cbegin(), ids.cend());
}

QVariant fieldValue(const PackageDefinition &p, const QString &name)
{
    const QHash<QString, QVariant> fields {
        { QStringLiteral("package_id"), p.package_id },
        { QStringLiteral("display_name"), p.display_name },
        { QStringLiteral("internal_version_code"), p.internal_version_code },
        { QStringLiteral("payload_url"), p.payload_url },
        { QStringLiteral("payload_archive"), p.payload_archive },
        { QStringLiteral("sha256"), p.sha256 },
        { QStringLiteral("description"), p.description },
        { QStringLiteral("group"), p.group },
        { QStringLiteral("dependencies"), p.dependencies },
        { QStringLiteral("owned_paths"), p.owned_paths },
        { QStringLiteral("cmake"), QJsonDocument(p.cmake).toJson(QJsonDocument::Compact) },
        { QStringLiteral("usage"), QJsonDocument(p.usage).toJson(QJsonDocument::Compact) },
        { QStringLiteral("default_selected"), p.default_selected },
        { QStringLiteral("size_bytes"), p.size_bytes },
    };
    return fields.value(name);
}

QByteArray compactJson(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).toJson(QJsonDocument::Compact);
}

} // namespace

class TestPackageCatalog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rejectsBadDocuments_data();
    void rejectsBadDocuments();
    void readsPackageKeysLeniently_data();
    void readsPackageKeysLeniently();
    void keepsCatalogLevelValues();
    void loadingReplacesEarlierContent();
    void positionsOfIds();
    void dependencyClosure_data();
    void dependencyClosure();
    void topologicalOrder_data();
    void topologicalOrder();
    void dependentsOf_data();
    void dependentsOf();
    void labels();
};

void TestPackageCatalog::rejectsBadDocuments_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("message");

    const auto entry = [](const char *json) { return QJsonDocument::fromJson(QByteArray(json)).object(); };
    const auto parserText = [](const QByteArray &data) {
        QJsonParseError error;
        QJsonDocument::fromJson(data, &error);
        return error.errorString();
    };

    QTest::newRow("truncated document") << QByteArray("{\"packages\": [") << parserText("{\"packages\": [");
    QTest::newRow("empty bytes") << QByteArray() << parserText(QByteArray());
    QTest::newRow("top-level array") << QByteArray("[{\"package_id\":\"a\"}]")
                                     << QStringLiteral("Catalog JSON is not an object.");

    const QString noPackages = QStringLiteral("Catalog JSON does not contain any packages.");
    QTest::newRow("packages missing") << QByteArray("{\"repository_base_url\":\"x\"}") << noPackages;
    QTest::newRow("packages empty array") << QByteArray("{\"packages\":[]}") << noPackages;
    QTest::newRow("packages an object") << QByteArray("{\"packages\":{\"package_id\":\"a\"}}") << noPackages;
    QTest::newRow("packages a string") << QByteArray("{\"packages\":\"a\"}") << noPackages;

    const QString missing = QStringLiteral("Catalog contains a package with missing required fields.");
    QTest::newRow("entry not an object") << QByteArray("{\"packages\":[1]}") << missing;
    QTest::newRow("display_name missing")
        << testCatalogDocument({ entry(R"({"package_id":"a"})") }) << missing;
    QTest::newRow("package_id not a string")
        << testCatalogDocument({ entry(R"({"package_id":7,"display_name":"A"})") }) << missing;
    QTest::newRow("missing fields win over bad code and duplicate") << testCatalogDocument(
        { package(QStringLiteral("a")), entry(R"({"package_id":"a","internal_version_code":0})") })
                                                                    << missing;

    QTest::newRow("code zero") << testCatalogDocument(
        { entry(R"({"package_id":"a","display_name":"A","internal_version_code":0})") })
                               << QStringLiteral("Catalog package a has an invalid internal_version_code 0.");
    QTest::newRow("code negative") << testCatalogDocument(
        { entry(R"({"package_id":"neg","display_name":"N","internal_version_code":-4})") })
                                   << QStringLiteral(
                                          "Catalog package neg has an invalid internal_version_code -4.");
    QTest::newRow("percent sign in the id stays text")
        << testCatalogDocument(
               { entry(R"({"package_id":"p%1","display_name":"P","internal_version_code":0})") })
        << QStringLiteral("Catalog package p%1 has an invalid internal_version_code 0.");
    QTest::newRow("duplicate with code zero reports the code")
        << testCatalogDocument({ package(QStringLiteral("a")),
               entry(R"({"package_id":"a","display_name":"A2","internal_version_code":0})") })
        << QStringLiteral("Catalog package a has an invalid internal_version_code 0.");
    QTest::newRow("duplicate id") << testCatalogDocument(
        { package(QStringLiteral("a")), package(QStringLiteral("b")), package(QStringLiteral("a")) })
                                  << QStringLiteral("Catalog contains duplicate package_id 'a'.");

    QTest::newRow("parent is itself")
        << testCatalogDocument({ entry(R"({"package_id":"p","display_name":"P","parent_package_id":"p"})") })
        << QStringLiteral("Catalog package p cannot parent itself.");
    QTest::newRow("parent missing") << testCatalogDocument(
        { entry(R"({"package_id":"p","display_name":"P","parent_package_id":"gone"})") })
                                    << QStringLiteral(
                                           "Catalog package p references missing parent_package_id gone.");
    QTest::newRow("parent id differs only in case")
        << testCatalogDocument({ package(QStringLiteral("a")),
               entry(R"({"package_id":"p","display_name":"P","parent_package_id":"A"})") })
        << QStringLiteral("Catalog package p references missing parent_package_id A.");
    QTest::newRow("two-package cycle named at the second")
        << testCatalogDocument({ entry(R"({"package_id":"P","display_name":"P","parent_package_id":"Q"})"),
               entry(R"({"package_id":"Q","display_name":"Q","parent_package_id":"P"})") })
        << QStringLiteral("Catalog parent_package_id chain forms a cycle at Q.");
    QTest::newRow("self parent reached first through a chain")
        << testCatalogDocument({ entry(R"({"package_id":"a","display_name":"A","parent_package_id":"b"})"),
               entry(R"({"package_id":"b","display_name":"B","parent_package_id":"b"})") })
        << QStringLiteral("Catalog parent_package_id chain forms a cycle at b.");
    QTest::newRow("cycle further up the chain")
        << testCatalogDocument({ entry(R"({"package_id":"a","display_name":"A","parent_package_id":"b"})"),
               entry(R"({"package_id":"b","display_name":"B","parent_package_id":"c"})"),
               entry(R"({"package_id":"c","display_name":"C","parent_package_id":"d"})"),
               entry(R"({"package_id":"d","display_name":"D","parent_package_id":"b"})") })
        << QStringLiteral("Catalog parent_package_id chain forms a cycle at b.");
}

void TestPackageCatalog::rejectsBadDocuments()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, message);

    PackageCatalog catalog;
    QString errorText;
    QVERIFY(!loadFromJson(data, catalog, errorText));
    QCOMPARE(errorText, message);
}

void TestPackageCatalog::readsPackageKeysLeniently_data()
{
    QTest::addColumn<QByteArray>("extraKeys");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("code missing gives 1") << QByteArray() << "internal_version_code" << QVariant(1);
    QTest::newRow("code integral") << QByteArray(R"("internal_version_code": 12)") << "internal_version_code"
                                   << QVariant(12);
    QTest::newRow("code written as 3.0")
        << QByteArray(R"("internal_version_code": 3.0)") << "internal_version_code" << QVariant(3);
    QTest::newRow("code as digit string gives 1")
        << QByteArray(R"("internal_version_code": "7")") << "internal_version_code" << QVariant(1);
    QTest::newRow("code fraction gives 1")
        << QByteArray(R"("internal_version_code": 2.5)") << "internal_version_code" << QVariant(1);
    QTest::newRow("code beyond 32 bits gives 1")
        << QByteArray(R"("internal_version_code": 2147483648)") << "internal_version_code" << QVariant(1);

    QTest::newRow("sha256 trimmed and lower-cased")
        << QByteArray(R"("sha256": "  ABCDEF0123  ")") << "sha256" << QVariant(QStringLiteral("abcdef0123"));
    QTest::newRow("payload_url trimmed") << QByteArray(R"("payload_url": " http://h/a.zip ")")
                                         << "payload_url" << QVariant(QStringLiteral("http://h/a.zip"));
    QTest::newRow("other strings kept as they are")
        << QByteArray(R"("payload_archive": " a.zip ")") << "payload_archive"
        << QVariant(QStringLiteral(" a.zip "));
    QTest::newRow("display_name not trimmed") << QByteArray(R"("display_name": " Spaced ")") << "display_name"
                                              << QVariant(QStringLiteral(" Spaced "));
    QTest::newRow("non-string text reads empty")
        << QByteArray(R"("description": 5)") << "description" << QVariant(QString());

    QTest::newRow("dependency string trimmed") << QByteArray(R"("dependencies": "  b  ")") << "dependencies"
                                               << QVariant(QStringList { QStringLiteral("b") });
    QTest::newRow("blank dependency string gives none")
        << QByteArray(R"("dependencies": "   ")") << "dependencies" << QVariant(QStringList());
    QTest::newRow("mixed dependency array keeps names")
        << QByteArray(R"("dependencies": ["b", "", 5, " c ", null, "b"])") << "dependencies"
        << QVariant(QStringList { QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("b") });
    QTest::newRow("dependency object gives none")
        << QByteArray(R"("dependencies": {"b": 1})") << "dependencies" << QVariant(QStringList());
    QTest::newRow("owned_paths follow the same rule")
        << QByteArray(R"("owned_paths": [" qt ", "", "bin/x"])") << "owned_paths"
        << QVariant(QStringList { QStringLiteral("qt"), QStringLiteral("bin/x") });

    QTest::newRow("size from number")
        << QByteArray(R"("size_bytes": 1234)") << "size_bytes" << QVariant(qint64(1234));
    QTest::newRow("size beyond 32 bits from string")
        << QByteArray(R"("size_bytes": "12345678901")") << "size_bytes" << QVariant(qint64(12345678901));
    QTest::newRow("size from non-numeric string")
        << QByteArray(R"("size_bytes": "12kB")") << "size_bytes" << QVariant(qint64(0));
    QTest::newRow("size from boolean")
        << QByteArray(R"("size_bytes": true)") << "size_bytes" << QVariant(qint64(0));
    QTest::newRow("size from array") << QByteArray(R"("size_bytes": [5])") << "size_bytes"
                                     << QVariant(qint64(0));

    QTest::newRow("selected only by true")
        << QByteArray(R"("default_selected": true)") << "default_selected" << QVariant(true);
    QTest::newRow("selected string is false")
        << QByteArray(R"("default_selected": "true")") << "default_selected" << QVariant(false);
    QTest::newRow("selected number is false")
        << QByteArray(R"("default_selected": 1)") << "default_selected" << QVariant(false);

    QTest::newRow("cmake missing is normalised")
        << QByteArray() << "cmake"
        << QVariant(compactJson(R"({"module_paths":[],"prefix_paths":[],"variables":{}})"));
    QTest::newRow("cmake not an object is normalised")
        << QByteArray(R"("cmake": [1])") << "cmake"
        << QVariant(compactJson(R"({"module_paths":[],"prefix_paths":[],"variables":{}})"));
    QTest::newRow("cmake lists read by the string-list rule")
        << QByteArray(R"("cmake": {"prefix_paths": " qt ", "module_paths": ["a", 1, ""], "variables": [1],
                                   "extra": {"kept": true}})")
        << "cmake"
        << QVariant(compactJson(
               R"({"extra":{"kept":true},"module_paths":["a"],"prefix_paths":["qt"],"variables":{}})"));
    QTest::newRow("cmake optional lists appear only when present")
        << QByteArray(
               R"("cmake": {"config_packages": null, "targets": " Qt6::Core ", "variables": {"A": "1"}})")
        << "cmake"
        << QVariant(compactJson(
               R"({"config_packages":[],"module_paths":[],"prefix_paths":[],"targets":["Qt6::Core"],"variables":{"A":"1"}})"));
    QTest::newRow("usage kept as it is") << QByteArray(R"("usage": {"summary": " s ", "x": [1]})") << "usage"
                                         << QVariant(compactJson(R"({"summary":" s ","x":[1]})"));
    QTest::newRow("usage not an object reads empty")
        << QByteArray(R"("usage": "text")") << "usage" << QVariant(compactJson("{}"));
}

void TestPackageCatalog::readsPackageKeysLeniently()
{
    QFETCH(QByteArray, extraKeys);
    QFETCH(QString, field);
    QFETCH(QVariant, expected);

    // A key given in extraKeys comes after the defaults, and JSON objects keep the last duplicate.
    QByteArray entry = R"({"package_id": "p", "display_name": "P")";
    if (!extraKeys.isEmpty())
        entry += ", " + extraKeys;
    entry += "}";
    const QByteArray data = "{\"packages\": [" + entry + "]}";

    PackageCatalog catalog;
    QString errorText;
    QVERIFY2(loadFromJson(data, catalog, errorText), qPrintable(errorText));
    QCOMPARE(catalog.packages().size(), 1);
    QCOMPARE(fieldValue(catalog.packages().first(), field), expected);
}

void TestPackageCatalog::keepsCatalogLevelValues()
{
    QJsonObject first = package(QStringLiteral("a"));
    first.insert(QStringLiteral("group"), QStringLiteral("Libraries"));
    QJsonObject second = package(QStringLiteral("A"));
    QJsonObject third = package(QStringLiteral("b"));
    third.insert(QStringLiteral("group"), QStringLiteral("libraries"));
    QJsonObject fourth = package(QStringLiteral("c"));
    fourth.insert(QStringLiteral("group"), QStringLiteral("Libraries"));
    fourth.insert(QStringLiteral("parent_package_id"), QStringLiteral("a"));

    PackageCatalog catalog;
    QString errorText;
    QVERIFY2(
        loadFromJson(testCatalogDocument({ first, second, third, fourth },
                         { { QStringLiteral("repository_base_url"), QStringLiteral("  https://h/repo/  ") },
                             { QStringLiteral("schema_version"), 9 } }),
            catalog, errorText),
        qPrintable(errorText));

    QCOMPARE(catalog.repositoryBaseUrl(), QStringLiteral("https://h/repo/"));
    QCOMPARE(catalog.groups(),
        QStringList({ QStringLiteral("Libraries"), QString(), QStringLiteral("libraries") }));
    // Ids differ by case only, so both are kept and found separately.
    QCOMPARE(catalog.packages().size(), 4);
    QVERIFY(catalog.contains(QStringLiteral("A")));
    QVERIFY(!catalog.contains(QStringLiteral("B")));
    QVERIFY(catalog.findPackage(QStringLiteral("a")));
    QCOMPARE(catalog.findPackage(QStringLiteral("a"))->group, QStringLiteral("Libraries"));
    QCOMPARE(catalog.findPackage(QStringLiteral("c"))->parent_package_id, QStringLiteral("a"));
    QCOMPARE(catalog.findPackage(QStringLiteral("nope")), nullptr);

    QVERIFY(loadFromJson(testCatalogDocument({ package(QStringLiteral("x")) },
                             { { QStringLiteral("repository_base_url"), QJsonArray { 1 } } }),
        catalog, errorText));
    QCOMPARE(catalog.repositoryBaseUrl(), QString());
}

void TestPackageCatalog::loadingReplacesEarlierContent()
{
    PackageCatalog catalog;
    QString errorText;
    QVERIFY(loadFromJson(testCatalogDocument({ package(QStringLiteral("old")) },
                             { { QStringLiteral("repository_base_url"), QStringLiteral("/old") } }),
        catalog, errorText));
    QVERIFY(loadFromJson(testCatalogDocument({ package(QStringLiteral("new")) }), catalog, errorText));
    QCOMPARE(catalog.packages().size(), 1);
    QVERIFY(!catalog.contains(QStringLiteral("old")));
    QCOMPARE(catalog.repositoryBaseUrl(), QString());
    QCOMPARE(catalog.groups(), QStringList { QString() });

    QVERIFY(!loadFromJson(QByteArray("[]"), catalog, errorText));
    QVERIFY(catalog.packages().isEmpty());
    QVERIFY(!catalog.contains(QStringLiteral("new")));
}

// Ids are found by their text, whether or not they share the catalog's own string.
void TestPackageCatalog::positionsOfIds()
{
    PackageCatalog catalog = graphCatalog();
    const QList<PackageDefinition> old = catalog.packages();
    for (qsizetype i = 0; i < old.size(); ++i) {
        const QString &id = old.at(i).package_id;
        QCOMPARE(catalog.positionOf(id), i);
        QCOMPARE(catalog.positionOf(QString(id.constData(), id.size())), i);
        // The same characters, one fewer: another id, or none.
        QVERIFY(catalog.positionOf(QString::fromRawData(id.constData(), id.size() - 1)) != i);
    }
    QCOMPARE(catalog.positionOf(QStringLiteral("missing")), -1);
    // A new catalog knows the old one's strings by their text only.
    catalog = load(testCatalogDocument({ package(QStringLiteral("solo")), package(QStringLiteral("z")) }));
    QCOMPARE(catalog.positionOf(old.first().package_id), 1);
    QCOMPARE(catalog.positionOf(old.last().package_id), 0);
    QCOMPARE(catalog.positionOf(old.at(1).package_id), -1);
}

void TestPackageCatalog::dependencyClosure_data()
{
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QStringList>("closure");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("empty") << QStringList() << QStringList() << QStringList();
    QTest::newRow("no dependencies") << QStringList { "z" } << QStringList { "z" } << QStringList();
    QTest::newRow("direct dependency") << QStringList { "x" } << QStringList { "x", "y" } << QStringList();
    QTest::newRow("transitive with a missing entry")
        << QStringList { "w" } << QStringList { "w", "x", "y" }
        << QStringList { "W [iv1] depends on missing catalog entry missing." };
    QTest::newRow("missing entry reported once per package naming it")
        << QStringList { "w", "solo" } << QStringList { "w", "x", "y", "solo" }
        << QStringList { "SOLO [iv1] depends on missing catalog entry missing.",
               "SOLO [iv1] depends on missing catalog entry missing2.",
               "W [iv1] depends on missing catalog entry missing." };
    QTest::newRow("unknown input stays") << QStringList { "ghost" } << QStringList { "ghost" }
                                         << QStringList { "Unknown package referenced: ghost" };
    QTest::newRow("cycle terminates")
        << QStringList { "cyc1" } << QStringList { "cyc1", "cyc2" } << QStringList();
    QTest::newRow("ids are case-sensitive")
        << QStringList { "X" } << QStringList { "X" } << QStringList { "Unknown package referenced: X" };
}

void TestPackageCatalog::dependencyClosure()
{
    QFETCH(QStringList, input);
    QFETCH(QStringList, closure);
    QFETCH(QStringList, errors);

    const PackageCatalog catalog = graphCatalog();
    QStringList reported;
    QCOMPARE(catalog.dependencyClosure(idSet(input), &reported), idSet(closure));
    // Message order follows set iteration and is not defined.
    reported.sort();
    QCOMPARE(reported, errors);
    QCOMPARE(catalog.dependencyClosure(idSet(input)), idSet(closure));
}

void TestPackageCatalog::topologicalOrder_data()
{
    QTest::addColumn<QByteArray>("catalog");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("order");

    const QByteArray zyx = testCatalogDocument({ package(QStringLiteral("Z")), package(QStringLiteral("Y")),
        package(QStringLiteral("X"), { QStringLiteral("Y") }) });
    QTest::newRow("dependency first, ties by catalog order")
        << zyx << QStringList { "X", "Y", "Z" } << QStringList { "Z", "Y", "X" };
    QTest::newRow("dependency outside the set is left out")
        << zyx << QStringList { "X", "Z" } << QStringList { "Z", "X" };
    QTest::newRow("unknown ids last, case-insensitively sorted")
        << zyx << QStringList { "X", "zz", "Yy" } << QStringList { "X", "Yy", "zz" };
    QTest::newRow("empty set") << zyx << QStringList() << QStringList();

    const QByteArray chain = testCatalogDocument({ package(QStringLiteral("a"), { QStringLiteral("b") }),
        package(QStringLiteral("b"), { QStringLiteral("c") }), package(QStringLiteral("c")) });
    QTest::newRow("later dependency pulled ahead")
        << chain << QStringList { "a", "b", "c" } << QStringList { "c", "b", "a" };
    QTest::newRow("no walking through a dependency outside the set")
        << chain << QStringList { "a", "c" } << QStringList { "a", "c" };

    const QByteArray cycle = testCatalogDocument({ package(QStringLiteral("p"), { QStringLiteral("q") }),
        package(QStringLiteral("q"), { QStringLiteral("p") }), package(QStringLiteral("r")) });
    QTest::newRow("cycle places the second reached first")
        << cycle << QStringList { "p", "q", "r" } << QStringList { "q", "p", "r" };
}

void TestPackageCatalog::topologicalOrder()
{
    QFETCH(QByteArray, catalog);
    QFETCH(QStringList, ids);
    QFETCH(QStringList, order);

    QCOMPARE(load(catalog).topologicalOrder(idSet(ids)), order);
}

void TestPackageCatalog::dependentsOf_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("within");
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("sorted case-sensitively")
        << "core" << QStringList { "beta", "alpha", "Gamma", "core", "ghost" }
        << QStringList { "Gamma [iv1]", "alpha [iv2]", "beta [iv1]" };
    QTest::newRow("only members of the set")
        << "core" << QStringList { "beta" } << QStringList { "beta [iv1]" };
    QTest::newRow("only direct dependents")
        << "leaf" << QStringList { "alpha", "beta", "core" } << QStringList { "core [iv1]" };
    QTest::newRow("exact id match") << "Core" << QStringList { "alpha", "beta", "Gamma" } << QStringList();
}

void TestPackageCatalog::dependentsOf()
{
    QFETCH(QString, id);
    QFETCH(QStringList, within);
    QFETCH(QStringList, labels);

    QJsonObject alpha = package(QStringLiteral("alpha"), { QStringLiteral("core") }, QStringLiteral("alpha"));
    alpha.insert(QStringLiteral("internal_version_code"), 2);
    const PackageCatalog catalog = load(testCatalogDocument(
        { alpha, package(QStringLiteral("beta"), { QStringLiteral("core") }, QStringLiteral("beta")),
            package(QStringLiteral("Gamma"), { QStringLiteral("core") }, QStringLiteral("Gamma")),
            package(QStringLiteral("core"), { QStringLiteral("leaf") }, QStringLiteral("core")),
            package(QStringLiteral("leaf"), {}, QStringLiteral("leaf")) }));
    QCOMPARE(catalog.dependentsOf(id, idSet(within)), labels);
}

void TestPackageCatalog::labels()
{
    PackageDefinition openssl;
    openssl.display_name = QStringLiteral("OpenSSL");
    openssl.version = QStringLiteral("3.0.13");
    openssl.internal_version_code = 3;
    QCOMPARE(displayLabel(openssl), QStringLiteral("OpenSSL [iv3]"));
    QCOMPARE(versionLabel(openssl), QStringLiteral("3.0.13 / iv3"));
    QCOMPARE(versionLabel(PackageDefinition()), QStringLiteral(" / iv1"));

    // A percent sign in a name is text, never a placeholder for the code that follows.
    PackageDefinition percent;
    percent.display_name = QStringLiteral("Pkg %2%1");
    percent.version = QStringLiteral("1%1");
    percent.internal_version_code = 3;
    QCOMPARE(displayLabel(percent), QStringLiteral("Pkg %2%1 [iv3]"));
    QCOMPARE(versionLabel(percent), QStringLiteral("1%1 / iv3"));

    QVERIFY(isSupportPackage(QStringLiteral("com.company.vexa.cmake_support")));
    QVERIFY(!isSupportPackage(QStringLiteral("com.company.vexa.CMake_support")));
    QVERIFY(!isSupportPackage(QStringLiteral(" com.company.vexa.cmake_support")));
}

QTEST_GUILESS_MAIN(TestPackageCatalog)
#include "tst_packagecatalog.moc"
