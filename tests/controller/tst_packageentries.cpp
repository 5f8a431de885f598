#include "controller/installercontroller.h"
#include "controller/packageentries.h"

#include "controllersandbox.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using namespace vexa;

class TestPackageEntries : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void actionKey_data();
    void actionKey();
    void matchesSearch_data();
    void matchesSearch();
    void fullListIsGroupedTree();
    void search_data();
    void search();
    void searchWithoutMatchStillEmits();
    void rowKeys_data();
    void rowKeys();
    void headerOnlyPackage();
    void activeRow();
    void reloadedCatalogRebuildsRows();
};

namespace {

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

void TestPackageEntries::matchesSearch_data()
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

void TestPackageEntries::matchesSearch()
{
    QFETCH(QString, search);
    QFETCH(bool, matches);
    PackageDefinition package;
    package.package_id = QStringLiteral("com.example.ssl");
    package.display_name = QStringLiteral("OpenSSL Runtime");
    package.product = QStringLiteral("OpenSSL");
    package.version = QStringLiteral("3.0.13");
    package.internal_version_code = 3;
    package.toolchain = QStringLiteral("msvc2022_64");
    package.platform = QStringLiteral("windows-x64");
    package.description = QStringLiteral("TLS for everyone");
    QCOMPARE(vexa::matchesSearch(package, search), matches);
}

void TestPackageEntries::fullListIsGroupedTree()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);

    // qt.gui names the group "Qt Addons" but is listed under its parent; that group gets no header.
    const QStringList expected { QStringLiteral("group:Vexa"),
        QStringLiteral("package:com.company.vexa.cmake_support@0"), QStringLiteral("group:Tools"),
        QStringLiteral("package:tool.ninja@0"), QStringLiteral("group:Libraries"),
        QStringLiteral("package:lib.base@0"), QStringLiteral("package:lib.mid@0"),
        QStringLiteral("package:lib.json@0"), QStringLiteral("group:Frameworks"),
        QStringLiteral("package:app.top@0"), QStringLiteral("package:qt@0"),
        QStringLiteral("package:qt.core@1"), QStringLiteral("package:qt.core.extra@2"),
        QStringLiteral("package:qt.gui@1") };
    QCOMPARE(entryShape(controller->packageEntries()), expected);
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
    QTest::newRow("blanks around the text are trimmed") << QStringLiteral("  qt core\t") << extrasTree;
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
}

void TestPackageEntries::search()
{
    QFETCH(QString, search);
    QFETCH(QStringList, shape);

    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);
    controller->setSearchText(search);
    QCOMPARE(entryShape(controller->packageEntries()), shape);

    controller->setSearchText(QString());
    QCOMPARE(entryShape(controller->packageEntries()).size(), 14);
}

void TestPackageEntries::searchWithoutMatchStillEmits()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);
    QSignalSpy entriesChanged(controller.get(), &InstallerController::packageEntriesChanged);

    controller->setSearchText(QStringLiteral("no such package"));
    QCOMPARE(entriesChanged.count(), 1);
    QVERIFY(controller->packageEntries().isEmpty());
}

void TestPackageEntries::rowKeys_data()
{
    QTest::addColumn<QStringList>("toggles");
    QTest::addColumn<QString>("packageId");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("checked");

    // The root holds lib.base and lib.json up to date and qt at an older build.
    QTest::newRow("neither installed nor selected")
        << QStringList() << ids::Top << QStringLiteral("Available") << QStringLiteral("Skip") << false;
    QTest::newRow("selected, not installed")
        << QStringList { QStringLiteral("+tool.ninja") } << ids::Ninja << QStringLiteral("Available")
        << QStringLiteral("Install") << true;
    QTest::newRow("pulled in as dependency")
        << QStringList { QStringLiteral("+app.top") } << ids::Mid << QStringLiteral("Available")
        << QStringLiteral("Install") << true;
    QTest::newRow("installed, kept") << QStringList() << ids::Base << QStringLiteral("Installed")
                                     << QStringLiteral("Keep") << true;
    QTest::newRow("installed, deselected")
        << QStringList { QStringLiteral("-lib.json") } << ids::Json << QStringLiteral("Installed")
        << QStringLiteral("Remove") << false;
    QTest::newRow("stale, kept") << QStringList() << ids::Qt << QStringLiteral("Installed")
                                 << QStringLiteral("Upgrade") << true;
    QTest::newRow("stale, deselected") << QStringList { QStringLiteral("-qt") } << ids::Qt
                                       << QStringLiteral("Installed") << QStringLiteral("Remove") << false;
    QTest::newRow("installed dependency of a new package")
        << QStringList { QStringLiteral("+app.top") } << ids::Base << QStringLiteral("Installed")
        << QStringLiteral("Keep") << true;
}

void TestPackageEntries::rowKeys()
{
    QFETCH(QStringList, toggles);
    QFETCH(QString, packageId);
    QFETCH(QString, status);
    QFETCH(QString, action);
    QFETCH(bool, checked);

    ControllerSandbox sandbox;
    auto controller = standardController(sandbox, { ids::Base, ids::Json, ids::Qt }, { ids::Qt });
    QVERIFY(controller);
    applyToggles(*controller, toggles);

    const QVariantMap row = packageRowById(controller->packageEntries(), packageId);
    QVERIFY(!row.isEmpty());
    QCOMPARE(row.value(QStringLiteral("status")).toString(), status);
    QCOMPARE(row.value(QStringLiteral("statusKey")).toString(), status.toLower());
    QCOMPARE(row.value(QStringLiteral("action")).toString(), action);
    QCOMPARE(row.value(QStringLiteral("actionKey")).toString(), action.toLower());
    QCOMPARE(row.value(QStringLiteral("checked")).toBool(), checked);
}

void TestPackageEntries::headerOnlyPackage()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);

    const QVariantMap json = packageRowById(controller->packageEntries(), ids::Json);
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

    const QVariantMap base = packageRowById(controller->packageEntries(), ids::Base);
    QCOMPARE(base.value(QStringLiteral("toolchain")).toString(), QStringLiteral("mingw_64"));
    QCOMPARE(base.value(QStringLiteral("meta")).toString(), QStringLiteral("BaseRuntime | 1.0 | mingw_64"));
    QCOMPARE(base.value(QStringLiteral("internalVersion")).toString(), QStringLiteral("iv4"));

    const QVariantMap header = controller->packageEntries().constFirst().toMap();
    QCOMPARE(header,
        (QVariantMap { { QStringLiteral("kind"), QStringLiteral("group") },
            { QStringLiteral("groupName"), QStringLiteral("Vexa") } }));
}

void TestPackageEntries::activeRow()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);

    // The default selection's top package (last in dependency order) is shown until the user picks one.
    QCOMPARE(activeRows(controller->packageEntries()), 1);
    controller->selectPackage(ids::QtExtra);
    QCOMPARE(activeRows(controller->packageEntries()), 1);
    QVERIFY(
        packageRowById(controller->packageEntries(), ids::QtExtra).value(QStringLiteral("active")).toBool());

    // A filter that hides the active package leaves no active row.
    controller->setSearchText(QStringLiteral("mingw"));
    QCOMPARE(activeRows(controller->packageEntries()), 0);

    // Nothing picked and nothing selected: no row is active.
    ControllerSandbox emptySandbox;
    QList<QJsonObject> noDefaults = standardPackages();
    for (QJsonObject &package : noDefaults)
        package.remove(QStringLiteral("default_selected"));
    QVERIFY(emptySandbox.writeCatalog(noDefaults));
    auto idle = emptySandbox.makeController();
    QVERIFY(idle);
    QCOMPARE(activeRows(idle->packageEntries()), 0);
    QCOMPARE(
        idle->cmakeHelpText(), QStringLiteral("Select a package card to see CMake usage guidance here."));
}

void TestPackageEntries::reloadedCatalogRebuildsRows()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);
    controller->setSearchText(QStringLiteral("runtime"));
    QCOMPARE(entryShape(controller->packageEntries()),
        (QStringList { QStringLiteral("group:Libraries"), QStringLiteral("package:lib.base@0") }));

    // Same ids, new texts: rows and search follow the reloaded catalog, never the rows built before.
    QList<QJsonObject> packages = standardPackages();
    for (QJsonObject &package : packages) {
        if (package.value(QLatin1String("package_id")).toString() == ids::Base)
            package.insert(QStringLiteral("display_name"), QStringLiteral("Foundation"));
        if (package.value(QLatin1String("package_id")).toString() == ids::Json)
            package.insert(QStringLiteral("description"), QStringLiteral("Runtime-free JSON"));
    }
    QVERIFY(sandbox.writeCatalog(packages));
    controller->refresh();

    QCOMPARE(entryShape(controller->packageEntries()),
        (QStringList { QStringLiteral("group:Libraries"), QStringLiteral("package:lib.base@0"),
            QStringLiteral("package:lib.json@0") }));
    QCOMPARE(
        packageRowById(controller->packageEntries(), ids::Base).value(QStringLiteral("title")).toString(),
        QStringLiteral("Foundation"));
}

QTEST_GUILESS_MAIN(TestPackageEntries)
#include "tst_packageentries.moc"
