#include "engine/changeplan.h"
#include "statetestroot.h"

#include <QTest>

using namespace vexa;

namespace {

QSet<QString> setOf(const QStringList &ids)
{
    return QSet<QString>(ids.cbegin(), ids.cend());
}

InstalledState stateWith(const QStringList &current, const QStringList &stale, bool needsRepair = false)
{
    InstalledState state;
    state.current = setOf(current);
    state.stale = setOf(stale);
    state.installed = state.current + state.stale;
    state.hasInstalledContent = !state.installed.isEmpty();
    state.needsRepair = needsRepair;
    for (const QString &id : state.installed) {
        InstalledPackageRecord record;
        record.packageId = id;
        record.ownedPaths = { id + QStringLiteral("/files") };
        state.records.insert(id, record);
    }
    return state;
}

} // namespace

class TestChangePlan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void plan_data();
    void plan();
    void selectionWarnings_data();
    void selectionWarnings();
    void initialSelection_data();
    void initialSelection();
    void actionNames_data();
    void actionNames();

private:
    PackageCatalog m_catalog;
};

void TestChangePlan::initTestCase()
{
    QVERIFY(loadStateTestCatalog(m_catalog));
}

// Catalog order is support, ninja, qt6, opencv, openssl, zlib, docs; qt6 needs openssl and zlib,
// opencv needs qt6, openssl needs zlib.
void TestChangePlan::plan_data()
{
    QTest::addColumn<QStringList>("current");
    QTest::addColumn<QStringList>("stale");
    QTest::addColumn<bool>("needsRepair");
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("installOrder");
    QTest::addColumn<QStringList>("removeOrder");
    QTest::addColumn<QStringList>("upgradeOrder");
    QTest::addColumn<bool>("hasChanges");

    QTest::newRow("nothing installed, nothing selected")
        << QStringList() << QStringList() << false << QStringList() << QString() << QStringList()
        << QStringList() << QStringList() << false;
    QTest::newRow("nothing to do but repair")
        << QStringList() << QStringList() << true << QStringList() << QString() << QStringList()
        << QStringList() << QStringList() << true;
    QTest::newRow("selection pulls in dependencies, installed first")
        << QStringList() << QStringList() << false << QStringList { OpenCv }
        << joined({ OpenCv, Qt6, OpenSsl, Zlib }) << QStringList { Zlib, OpenSsl, Qt6, OpenCv }
        << QStringList() << QStringList() << true;
    QTest::newRow("installed dependency is kept, not reinstalled")
        << QStringList { Zlib } << QStringList() << false << QStringList { OpenSsl }
        << joined({ OpenSsl, Zlib }) << QStringList { OpenSsl } << QStringList() << QStringList() << true;
    QTest::newRow("deselecting a needed dependency has no effect")
        << QStringList { Zlib, OpenSsl, Qt6 } << QStringList() << false << QStringList { Qt6 }
        << joined({ Qt6, OpenSsl, Zlib }) << QStringList() << QStringList() << QStringList() << false;
    QTest::newRow("removal lists dependents first")
        << QStringList { Zlib, OpenSsl, Qt6, Ninja } << QStringList() << false << QStringList { Ninja }
        << Ninja << QStringList() << QStringList { Qt6, OpenSsl, Zlib } << QStringList() << true;
    QTest::newRow("stale and selected is both upgrade and install")
        << QStringList { Zlib } << QStringList { OpenSsl, Qt6 } << false << QStringList { Qt6 }
        << joined({ Qt6, OpenSsl, Zlib }) << QStringList { OpenSsl, Qt6 } << QStringList()
        << QStringList { Qt6, OpenSsl } << true;
    QTest::newRow("stale and deselected is only removed")
        << QStringList { Zlib } << QStringList { OpenSsl } << false << QStringList { Zlib } << Zlib
        << QStringList() << QStringList { OpenSsl } << QStringList() << true;
    QTest::newRow("unchanged selection with broken manifests only repairs")
        << QStringList { Zlib, Ninja } << QStringList() << true << QStringList { Zlib, Ninja }
        << joined({ Zlib, Ninja }) << QStringList() << QStringList() << QStringList() << true;
    QTest::newRow("unknown id stays in target and is installed last")
        << QStringList() << QStringList() << false
        << QStringList { QStringLiteral("org.zz"), Ninja, QStringLiteral("org.Aa") }
        << joined({ QStringLiteral("org.zz"), Ninja, QStringLiteral("org.Aa") })
        << QStringList { Ninja, QStringLiteral("org.Aa"), QStringLiteral("org.zz") } << QStringList()
        << QStringList() << true;
    QTest::newRow("swap one package for another")
        << QStringList { Ninja } << QStringList() << false << QStringList { Support } << Support
        << QStringList { Support } << QStringList { Ninja } << QStringList() << true;
}

void TestChangePlan::plan()
{
    QFETCH(QStringList, current);
    QFETCH(QStringList, stale);
    QFETCH(bool, needsRepair);
    QFETCH(QStringList, selection);
    QFETCH(QString, target);
    QFETCH(QStringList, installOrder);
    QFETCH(QStringList, removeOrder);
    QFETCH(QStringList, upgradeOrder);
    QFETCH(bool, hasChanges);

    const InstalledState state = stateWith(current, stale, needsRepair);
    const ChangePlan plan = computePlan(m_catalog, state, setOf(selection));
    QCOMPARE(joined(plan.target), target);
    QCOMPARE(plan.installOrder, installOrder);
    QCOMPARE(plan.removeOrder, removeOrder);
    QCOMPARE(plan.upgradeOrder, upgradeOrder);
    // The sets and the orders always hold the same members.
    QCOMPARE(joined(plan.toInstall), joined(setOf(installOrder)));
    QCOMPARE(joined(plan.toRemove), joined(setOf(removeOrder)));
    QCOMPARE(joined(plan.toUpgrade), joined(setOf(upgradeOrder)));
    QVERIFY(plan.toInstall.contains(plan.toUpgrade));
    QCOMPARE(joined(plan.current), joined(state.current));
    QCOMPARE(joined(plan.installed), joined(state.installed));
    QCOMPARE(plan.installedRecords.keys(), state.records.keys());
    QCOMPARE(plan.repairManifests, needsRepair);
    QCOMPARE(planHasChanges(plan), hasChanges);
}

void TestChangePlan::selectionWarnings_data()
{
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<QStringList>("warnings");
    QTest::newRow("known packages give none") << QStringList { OpenCv } << QStringList();
    QTest::newRow("unknown id") << QStringList { QStringLiteral("org.nowhere") }
                                << QStringList { QStringLiteral("Unknown package referenced: org.nowhere") };
}

void TestChangePlan::selectionWarnings()
{
    QFETCH(QStringList, selection);
    QFETCH(QStringList, warnings);
    QStringList collected { QStringLiteral("earlier") };
    const ChangePlan plan = computePlan(m_catalog, InstalledState(), setOf(selection), &collected);
    QCOMPARE(collected, QStringList { QStringLiteral("earlier") } + warnings);
    // Without a list the same plan comes out.
    QCOMPARE(joined(computePlan(m_catalog, InstalledState(), setOf(selection)).target), joined(plan.target));
}

void TestChangePlan::initialSelection_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<bool>("unknownContent");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty root takes the defaults with dependencies")
        << QStringList() << false << joined({ Support, Qt6, OpenSsl, Zlib });
    QTest::newRow("installed packages with dependencies")
        << QStringList { OpenSsl, Ninja } << false << joined({ OpenSsl, Zlib, Ninja });
    QTest::newRow("only unknown content selects nothing") << QStringList() << true << QString();
}

void TestChangePlan::initialSelection()
{
    QFETCH(QStringList, installed);
    QFETCH(bool, unknownContent);
    QFETCH(QString, expected);
    InstalledState state = stateWith(installed, {});
    state.hasInstalledContent = state.hasInstalledContent || unknownContent;
    QCOMPARE(joined(vexa::initialSelection(m_catalog, state)), expected);
}

void TestChangePlan::actionNames_data()
{
    QTest::addColumn<QString>("packageId");
    QTest::addColumn<QString>("expected");
    QTest::newRow("stale and selected") << Qt6 << QStringLiteral("Upgrade");
    QTest::newRow("new dependency") << OpenSsl << QStringLiteral("Install");
    QTest::newRow("installed, deselected") << Ninja << QStringLiteral("Remove");
    QTest::newRow("installed, selected") << Zlib << QStringLiteral("Keep");
    QTest::newRow("neither") << OpenCv << QStringLiteral("Skip");
}

void TestChangePlan::actionNames()
{
    QFETCH(QString, packageId);
    QFETCH(QString, expected);
    // An id the catalog does not know has no place and takes none.
    const ChangePlan plan
        = computePlan(m_catalog, stateWith({ Zlib, Ninja }, { Qt6 }), { Qt6, QStringLiteral("org.x") });
    const QStringList names = actionNamesByPosition(m_catalog, plan);
    QCOMPARE(names.size(), m_catalog.packages().size());
    QCOMPARE(names.at(m_catalog.positionOf(packageId)), expected);
}

QTEST_GUILESS_MAIN(TestChangePlan)
#include "tst_changeplan.moc"
