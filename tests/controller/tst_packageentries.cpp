#include "controller/packageentries.h"

#include "controllersandbox.h"
#include "support/testcatalog.h"

#include <QTest>

using namespace vexa;

class TestPackageEntries : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void actionKey_data();
    void actionKey();
    void searchedFields_data();
    void searchedFields();
    void fullListIsGroupedTree();
    void search_data();
    void search();
    void rowKeys_data();
    void rowKeys();
    void headerOnlyPackage();
    void activeRow();
};

namespace {

// The rows for holding `selection` (with its dependencies) in a root in `state`, as the controller
// asks for them: the plan's target shows as ticked.
QVariantList rowsFor(PackageRowBuilder &builder, const PackageCatalog &catalog, const InstalledState &state,
    const QStringList &selection, const QString &selectedPackageId = {}, const QString &searchText = {})
{
    const ChangePlan plan = computePlan(catalog, state, QSet<QString>(selection.cbegin(), selection.cend()));
    return builder.rows({ state, plan, plan.target, selectedPackageId, searchText });
}

const QStringList Defaults { ids::Support, ids::Ninja };

int activeRows(const QVariantList &entries)
{
    int count = 0;
    for (const QVariant &entry : entries)
        count += entry.toMap().value(QStringLiteral("active")).toBool() ? 1 : 0;
    return count;
}

} // namespace

void TestPackageEntries::actionKey_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("key");
    QTest::newRow("Upgrade") << QStringLiteral("Upgrade") << QStringLiteral("upgrade");
    QTest::newRow("Install") << QStringLiteral("Install") << QStringLiteral("install");
    QTest::newRow("Remove") << QStringLiteral("Remove") << QStringLiteral("remove");
    QTest::newRow("Keep") << QStringLiteral("Keep") << QStringLiteral("keep");
    QTest::newRow("Skip") << QStringLiteral("Skip") << QStringLiteral("skip");
    QTest::newRow("case-sensitive") << QStringLiteral("install") << QStringLiteral("skip");
    QTest::newRow("empty") << QString() << QStringLiteral("skip");
}

void TestPackageEntries::actionKey()
{
    QFETCH(QString, action);
    QFETCH(QString, key);
    QCOMPARE(vexa::actionKey(action), key);
}

void TestPackageEntries::searchedFields_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("matches");

    // The package: "OpenSSL Runtime", product OpenSSL, 3.0.13 / iv3, toolchain msvc2022_64.
    QTest::newRow("empty matches all") << QString() << true;
    QTest::newRow("display name, other case") << QStringLiteral("openssl runtime") << true;
    QTest::newRow("capitals") << QStringLiteral("OPENSSL") << true;
    QTest::newRow("version label") << QStringLiteral("3.0.13 / iv3") << true;
    QTest::newRow("iv code") << QStringLiteral("iv3") << true;
    QTest::newRow("other iv code") << QStringLiteral("iv4") << false;
    QTest::newRow("toolchain") << QStringLiteral("MSVC2022") << true;
    QTest::newRow("toolchain and code") << QStringLiteral("msvc2022_64 3") << true;
    QTest::newRow("description") << QStringLiteral("tls for") << true;
    QTest::newRow("across fields") << QStringLiteral("runtime openssl") << true;
    QTest::newRow("platform is not searched") << QStringLiteral("windows") << false;
    QTest::newRow("id is not searched") << QStringLiteral("com.example") << false;
    QTest::newRow("no wildcards") << QStringLiteral("open*") << false;
}

void TestPackageEntries::searchedFields()
{
    QFETCH(QString, search);
    QFETCH(bool, matches);
    const PackageCatalog catalog
        = testCatalog({ testPackageEntry(QStringLiteral("com.example.ssl"), QStringLiteral("OpenSSL Runtime"),
            { { QStringLiteral("product"), QStringLiteral("OpenSSL") },
                { QStringLiteral("version"), QStringLiteral("3.0.13") },
                { QStringLiteral("internal_version_code"), 3 },
                { QStringLiteral("toolchain"), QStringLiteral("msvc2022_64") },
                { QStringLiteral("platform"), QStringLiteral("windows-x64") },
                { QStringLiteral("description"), QStringLiteral("TLS for everyone") } }) });
    PackageRowBuilder builder(catalog);
    const QVariantList rows = rowsFor(builder, catalog, installedState({}), {}, {}, search);
    QCOMPARE(!packageRowById(rows, QStringLiteral("com.example.ssl")).isEmpty(), matches);
}

void TestPackageEntries::fullListIsGroupedTree()
{
    const PackageCatalog catalog = standardCatalog();
    PackageRowBuilder builder(catalog);

    // qt.gui names the group "Qt Addons" but is listed under its parent; that group gets no header.
    const QStringList expected { QStringLiteral("group:Vexa"),
        QStringLiteral("package:com.company.vexa.cmake_support@0"), QStringLiteral("group:Tools"),
        QStringLiteral("package:tool.ninja@0"), QStringLiteral("group:Libraries"),
        QStringLiteral("package:lib.base@0"), QStringLiteral("package:lib.mid@0"),
        QStringLiteral("package:lib.json@0"), QStringLiteral("group:Frameworks"),
        QStringLiteral("package:app.top@0"), QStringLiteral("package:qt@0"),
        QStringLiteral("package:qt.core@1"), QStringLiteral("package:qt.core.extra@2"),
        QStringLiteral("package:qt.gui@1") };
    QCOMPARE(entryShape(rowsFor(builder, catalog, installedState({}), Defaults)), expected);
}

void TestPackageEntries::search_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("shape");

    const QStringList extrasTree { QStringLiteral("group:Frameworks"), QStringLiteral("package:qt@0"),
        QStringLiteral("package:qt.core@1"), QStringLiteral("package:qt.core.extra@2") };
    QTest::newRow("deep match keeps its ancestors, not their other children")
        << QStringLiteral("concurrent") << extrasTree;
    QTest::newRow("capitals") << QStringLiteral("QT CORE") << extrasTree;
    QTest::newRow("small letters") << QStringLiteral("qt core") << extrasTree;
    QTest::newRow("iv code") << QStringLiteral("iv2")
                             << QStringList { QStringLiteral("group:Libraries"),
                                    QStringLiteral("package:lib.mid@0"), QStringLiteral("group:Frameworks"),
                                    QStringLiteral("package:qt@0") };
    QTest::newRow("toolchain") << QStringLiteral(
        "mingw") << QStringList { QStringLiteral("group:Libraries"), QStringLiteral("package:lib.base@0") };
    QTest::newRow("toolchain with code")
        << QStringLiteral("mingw_64 4")
        << QStringList { QStringLiteral("group:Libraries"), QStringLiteral("package:lib.base@0") };
    QTest::newRow("child in another group shows under its parent")
        << QStringLiteral("qt gui")
        << QStringList { QStringLiteral("group:Frameworks"), QStringLiteral("package:qt@0"),
               QStringLiteral("package:qt.gui@1") };
    QTest::newRow("parent match does not pull children") << QStringLiteral(
        "qt 6") << QStringList { QStringLiteral("group:Frameworks"), QStringLiteral("package:qt@0") };
    QTest::newRow("nothing matches") << QStringLiteral("no such package") << QStringList();
}

void TestPackageEntries::search()
{
    QFETCH(QString, search);
    QFETCH(QStringList, shape);

    const PackageCatalog catalog = standardCatalog();
    PackageRowBuilder builder(catalog);
    QCOMPARE(entryShape(rowsFor(builder, catalog, installedState({}), Defaults, {}, search)), shape);
    // The rows kept from the search never stand in for others.
    QCOMPARE(entryShape(rowsFor(builder, catalog, installedState({}), Defaults)).size(), 14);
}

void TestPackageEntries::rowKeys_data()
{
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<QString>("packageId");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("checked");

    // The root holds lib.base and lib.json up to date and qt at an older build.
    const QStringList held { ids::Base, ids::Json, ids::Qt };
    QTest::newRow("neither installed nor selected")
        << held << ids::Top << QStringLiteral("Available") << QStringLiteral("Skip") << false;
    QTest::newRow("selected, not installed")
        << held + QStringList { ids::Ninja } << ids::Ninja << QStringLiteral("Available")
        << QStringLiteral("Install") << true;
    QTest::newRow("pulled in as dependency")
        << held + QStringList { ids::Top } << ids::Mid << QStringLiteral("Available")
        << QStringLiteral("Install") << true;
    QTest::newRow("installed, kept") << held << ids::Base << QStringLiteral("Installed")
                                     << QStringLiteral("Keep") << true;
    QTest::newRow("installed, deselected")
        << QStringList { ids::Base, ids::Qt } << ids::Json << QStringLiteral("Installed")
        << QStringLiteral("Remove") << false;
    QTest::newRow("stale, kept") << held << ids::Qt << QStringLiteral("Installed")
                                 << QStringLiteral("Upgrade") << true;
    QTest::newRow("stale, deselected") << QStringList { ids::Base, ids::Json } << ids::Qt
                                       << QStringLiteral("Installed") << QStringLiteral("Remove") << false;
    QTest::newRow("installed dependency of a new package")
        << QStringList { ids::Top } << ids::Base << QStringLiteral("Installed") << QStringLiteral("Keep")
        << true;
}

void TestPackageEntries::rowKeys()
{
    QFETCH(QStringList, selection);
    QFETCH(QString, packageId);
    QFETCH(QString, status);
    QFETCH(QString, action);
    QFETCH(bool, checked);

    const PackageCatalog catalog = standardCatalog();
    PackageRowBuilder builder(catalog);
    const InstalledState state = installedState({ ids::Base, ids::Json }, { ids::Qt });
    const QVariantMap row = packageRowById(rowsFor(builder, catalog, state, selection), packageId);
    QVERIFY(!row.isEmpty());
    QCOMPARE(row.value(QStringLiteral("status")).toString(), status);
    QCOMPARE(row.value(QStringLiteral("statusKey")).toString(), status.toLower());
    QCOMPARE(row.value(QStringLiteral("action")).toString(), action);
    QCOMPARE(row.value(QStringLiteral("actionKey")).toString(), action.toLower());
    QCOMPARE(row.value(QStringLiteral("checked")).toBool(), checked);
}

void TestPackageEntries::headerOnlyPackage()
{
    const PackageCatalog catalog = standardCatalog();
    PackageRowBuilder builder(catalog);
    const QVariantList rows = rowsFor(builder, catalog, installedState({}), Defaults);

    const QVariantMap json = packageRowById(rows, ids::Json);
    QCOMPARE(json.size(), 16);
    QCOMPARE(json.value(QStringLiteral("kind")).toString(), QStringLiteral("package"));
    QCOMPARE(json.value(QStringLiteral("packageId")).toString(), ids::Json);
    QCOMPARE(json.value(QStringLiteral("title")).toString(), QStringLiteral("JSON for Modern C++"));
    QCOMPARE(json.value(QStringLiteral("label")).toString(), QStringLiteral("JSON for Modern C++ [iv1]"));
    QCOMPARE(json.value(QStringLiteral("version")).toString(), QStringLiteral("3.11.3"));
    QCOMPARE(json.value(QStringLiteral("internalVersion")).toString(), QStringLiteral("iv1"));
    QCOMPARE(json.value(QStringLiteral("toolchain")).toString(), QStringLiteral("Header Only"));
    QCOMPARE(json.value(QStringLiteral("meta")).toString(), QStringLiteral("nlohmann_json | 3.11.3 | any"));
    QCOMPARE(json.value(QStringLiteral("depth")).toInt(), 0);
    QCOMPARE(json.value(QStringLiteral("description")).toString(), QString());

    const QVariantMap base = packageRowById(rows, ids::Base);
    QCOMPARE(base.value(QStringLiteral("toolchain")).toString(), QStringLiteral("mingw_64"));
    QCOMPARE(base.value(QStringLiteral("meta")).toString(), QStringLiteral("BaseRuntime | 1.0 | mingw_64"));
    QCOMPARE(base.value(QStringLiteral("internalVersion")).toString(), QStringLiteral("iv4"));

    QCOMPARE(rows.constFirst().toMap(),
        (QVariantMap { { QStringLiteral("kind"), QStringLiteral("group") },
            { QStringLiteral("groupName"), QStringLiteral("Vexa") } }));
}

void TestPackageEntries::activeRow()
{
    const PackageCatalog catalog = standardCatalog();
    PackageRowBuilder builder(catalog);
    const InstalledState state = installedState({});

    QCOMPARE(activeRows(rowsFor(builder, catalog, state, Defaults)), 0);
    QVERIFY(packageRowById(rowsFor(builder, catalog, state, Defaults, ids::Ninja), ids::Ninja)
                .value(QStringLiteral("active"))
                .toBool());
    // The same builder moves the mark: the row kept for Ninja is not shown again.
    const QVariantList rows = rowsFor(builder, catalog, state, Defaults, ids::QtExtra);
    QCOMPARE(activeRows(rows), 1);
    QVERIFY(packageRowById(rows, ids::QtExtra).value(QStringLiteral("active")).toBool());

    // A filter that hides the active package leaves no active row.
    QCOMPARE(
        activeRows(rowsFor(builder, catalog, state, Defaults, ids::QtExtra, QStringLiteral("mingw"))), 0);
}

QTEST_GUILESS_MAIN(TestPackageEntries)
#include "tst_packageentries.moc"
