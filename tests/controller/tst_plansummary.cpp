#include "controller/plansummary.h"

#include "controllersandbox.h"
#include "support/testcatalog.h"

#include <QJsonArray>
#include <QLocale>
#include <QTest>

#include <limits>

using namespace vexa;

class TestPlanSummary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void formatByteSize_data();
    void formatByteSize();
    void formatByteSizeFollowsDefaultLocale();
    void summaryReferences_data();
    void summaryReferences();
    void statusAndClosingSentence_data();
    void statusAndClosingSentence();
    void downloadSizeLine_data();
    void downloadSizeLine();
    void warningsAreListed();
    void emptyRootIsNotSet();

private:
    QLocale m_previousLocale;
};

namespace {

const QString LocalRepository = QStringLiteral("/srv/vexa/repo");

QSet<QString> idSet(const QStringList &ids)
{
    return QSet<QString>(ids.cbegin(), ids.cend());
}

// The summary lines for holding `selection` in a root in `state`, with the planner's warnings.
QStringList summaryLines(const PackageCatalog &catalog, const InstalledState &state,
    const QStringList &selection, const QString &repositoryBase = LocalRepository,
    const QString &root = QStringLiteral("<root>"))
{
    QStringList warnings;
    const ChangePlan plan = computePlan(catalog, state, idSet(selection), &warnings);
    return planSummaryText(catalog, repositoryBase, state, plan, warnings, root).split(QLatin1Char('\n'));
}

} // namespace

void TestPlanSummary::initTestCase()
{
    // Sizes are formatted by the default locale; pin one with "." as decimal point and no grouping.
    m_previousLocale = QLocale();
    QLocale::setDefault(QLocale::c());
}

void TestPlanSummary::cleanupTestCase()
{
    QLocale::setDefault(m_previousLocale);
}

void TestPlanSummary::formatByteSize_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("expected");

    constexpr qint64 KiB = 1024;
    constexpr qint64 MiB = KiB * 1024;
    constexpr qint64 GiB = MiB * 1024;
    constexpr qint64 TiB = GiB * 1024;
    QTest::newRow("zero") << qint64(0) << QStringLiteral("0 B");
    QTest::newRow("negative") << qint64(-5) << QStringLiteral("0 B");
    QTest::newRow("most negative") << std::numeric_limits<qint64>::min() << QStringLiteral("0 B");
    QTest::newRow("one byte") << qint64(1) << QStringLiteral("1 B");
    QTest::newRow("512 bytes") << qint64(512) << QStringLiteral("512 B");
    QTest::newRow("1023 stays in bytes") << qint64(1023) << QStringLiteral("1023 B");
    QTest::newRow("exactly 1024") << KiB << QStringLiteral("1.00 KB");
    QTest::newRow("1536") << qint64(1536) << QStringLiteral("1.50 KB");
    QTest::newRow("just under 10 KB") << qint64(10 * KiB - 100) << QStringLiteral("9.90 KB");
    QTest::newRow("10 KB has one decimal") << 10 * KiB << QStringLiteral("10.0 KB");
    QTest::newRow("just under 100 KB") << qint64(99 * KiB + 512) << QStringLiteral("99.5 KB");
    QTest::newRow("100 KB has none") << 100 * KiB << QStringLiteral("100 KB");
    QTest::newRow("1023 KB") << 1023 * KiB << QStringLiteral("1023 KB");
    QTest::newRow("15 MB exactly") << 15 * MiB << QStringLiteral("15.0 MB");
    QTest::newRow("250 GB exactly") << 250 * GiB << QStringLiteral("250 GB");
    QTest::newRow("1 TB") << TiB << QStringLiteral("1.00 TB");
    QTest::newRow("1024 TB stays in TB") << 1024 * TiB << QStringLiteral("1024 TB");
    QTest::newRow("largest count") << std::numeric_limits<qint64>::max() << QStringLiteral("8388608 TB");
}

void TestPlanSummary::formatByteSize()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, expected);
    QCOMPARE(vexa::formatByteSize(bytes), expected);
}

void TestPlanSummary::formatByteSizeFollowsDefaultLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString formatted = vexa::formatByteSize(1536);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(formatted, QStringLiteral("1,50 KB"));
}

void TestPlanSummary::summaryReferences_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QStringList>("current");
    QTest::addColumn<QStringList>("stale");
    QTest::addColumn<bool>("needsRepair");
    QTest::addColumn<QStringList>("selection");
    QTest::newRow("fresh root, default selection")
        << QStringLiteral("summary-fresh.txt") << QStringList() << QStringList() << false
        << QStringList { ids::Support, ids::Ninja };
    QTest::newRow("fresh root, two-level chain ticked")
        << QStringLiteral("summary-fresh-chain.txt") << QStringList() << QStringList() << false
        << QStringList { ids::Support, ids::Ninja, ids::Top };
    QTest::newRow("upgrade only") << QStringLiteral("summary-upgrade-only.txt") << QStringList { ids::Ninja }
                                  << QStringList { ids::Mid, ids::Base } << true
                                  << QStringList { ids::Base, ids::Mid, ids::Ninja };
    QTest::newRow("repair only") << QStringLiteral("summary-repair-only.txt")
                                 << QStringList { ids::Base, ids::Ninja } << QStringList() << true
                                 << QStringList { ids::Base, ids::Ninja };
    QTest::newRow("no change") << QStringLiteral("summary-no-change.txt")
                               << QStringList { ids::Base, ids::Ninja } << QStringList() << false
                               << QStringList { ids::Base, ids::Ninja };
    QTest::newRow("removals, dependents first")
        << QStringLiteral("summary-removals.txt") << QStringList { ids::Base, ids::Mid, ids::Top, ids::Ninja }
        << QStringList() << false << QStringList { ids::Ninja };
    QTest::newRow("mixed install, upgrade and removal")
        << QStringLiteral("summary-mixed.txt") << QStringList { ids::Base, ids::Ninja }
        << QStringList { ids::Mid } << true << QStringList { ids::Base, ids::Mid, ids::QtGui };
}

void TestPlanSummary::summaryReferences()
{
    QFETCH(QString, reference);
    QFETCH(QStringList, current);
    QFETCH(QStringList, stale);
    QFETCH(bool, needsRepair);
    QFETCH(QStringList, selection);

    const QStringList lines
        = summaryLines(standardCatalog(), installedState(current, stale, needsRepair), selection);
    QVERIFY(matchesReference(reference, lines.join(QLatin1Char('\n'))));
}

void TestPlanSummary::statusAndClosingSentence_data()
{
    QTest::addColumn<QStringList>("current");
    QTest::addColumn<QStringList>("stale");
    QTest::addColumn<bool>("needsRepair");
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("closing");

    const QString rootSentence = QStringLiteral(
        "Applying changes updates VEXA_ROOT for future shells and rewrites the Vexa manifest.");
    QTest::newRow("fresh defaults count installs")
        << QStringList() << QStringList() << false << QStringList { ids::Support, ids::Ninja }
        << QStringLiteral("Ready to apply 2 install(s), 0 upgrade(s), and 0 removal(s).") << rootSentence;
    QTest::newRow("dependencies count as installs")
        << QStringList() << QStringList() << false << QStringList { ids::Support, ids::Ninja, ids::Top }
        << QStringLiteral("Ready to apply 5 install(s), 0 upgrade(s), and 0 removal(s).") << rootSentence;
    QTest::newRow("upgrades are not installs")
        << QStringList { ids::Base } << QStringList { ids::Mid } << true
        << QStringList { ids::Base, ids::Mid, ids::Top }
        << QStringLiteral("Ready to apply 1 install(s), 1 upgrade(s), and 0 removal(s).") << rootSentence;
    QTest::newRow("removal only") << QStringList { ids::Base, ids::Json } << QStringList() << false
                                  << QStringList { ids::Base }
                                  << QStringLiteral(
                                         "Ready to apply 0 install(s), 0 upgrade(s), and 1 removal(s).")
                                  << rootSentence;
    QTest::newRow("repair only")
        << QStringList { ids::Json } << QStringList() << true << QStringList { ids::Json }
        << QStringLiteral("Ready to repair Vexa manifest metadata.")
        << QStringLiteral("Applying changes will repair the Vexa manifest metadata for this root.");
    QTest::newRow("repair with an install is not repair only")
        << QStringList { ids::Json } << QStringList() << true << QStringList { ids::Json, ids::Ninja }
        << QStringLiteral("Ready to apply 1 install(s), 0 upgrade(s), and 0 removal(s).") << rootSentence;
    QTest::newRow("nothing to do") << QStringList { ids::Json } << QStringList() << false
                                   << QStringList { ids::Json } << QStringLiteral("No pending changes.")
                                   << QStringLiteral("No changes to apply.");
}

void TestPlanSummary::statusAndClosingSentence()
{
    QFETCH(QStringList, current);
    QFETCH(QStringList, stale);
    QFETCH(bool, needsRepair);
    QFETCH(QStringList, selection);
    QFETCH(QString, status);
    QFETCH(QString, closing);

    const PackageCatalog catalog = standardCatalog();
    const InstalledState state = installedState(current, stale, needsRepair);
    QCOMPARE(planStatusText(computePlan(catalog, state, idSet(selection))), status);
    QCOMPARE(summaryLines(catalog, state, selection).constLast(), closing);
}

void TestPlanSummary::downloadSizeLine_data()
{
    QTest::addColumn<QString>("repositoryBase");
    QTest::addColumn<QString>("payloadUrlOfNinja");
    QTest::addColumn<QString>("expectedLine");

    // Default selection: the support package (4096 bytes) and Ninja (262144 bytes).
    QTest::newRow("local repository has no download line") << LocalRepository << QString() << QString();
    QTest::newRow("remote repository downloads everything")
        << QStringLiteral("https://packages.example.invalid/repo/") << QString()
        << QStringLiteral("Download size: 260 KB");
    QTest::newRow("one payload url in a local repository")
        << LocalRepository << QStringLiteral("https://mirror.example.invalid/ninja.zip")
        << QStringLiteral("Download size: 256 KB");
}

void TestPlanSummary::downloadSizeLine()
{
    QFETCH(QString, repositoryBase);
    QFETCH(QString, payloadUrlOfNinja);
    QFETCH(QString, expectedLine);

    QList<QJsonObject> packages = standardPackages();
    for (QJsonObject &package : packages) {
        if (package.value(QLatin1String("package_id")).toString() == ids::Ninja
            && !payloadUrlOfNinja.isEmpty())
            package.insert(QStringLiteral("payload_url"), payloadUrlOfNinja);
    }
    const QStringList lines = summaryLines(
        testCatalog(packages), installedState({}), { ids::Support, ids::Ninja }, repositoryBase);
    QCOMPARE(lines.at(2), QStringLiteral("Install payload size: 260 KB"));
    QCOMPARE(lines.at(3), expectedLine);
}

void TestPlanSummary::warningsAreListed()
{
    QList<QJsonObject> packages = standardPackages();
    packages.append(testPackage(QStringLiteral("lib.broken"), QStringLiteral("Broken"),
        { { QStringLiteral("dependencies"), QJsonArray { QStringLiteral("lib.gone") } } }));
    const PackageCatalog catalog = testCatalog(packages);

    const QStringList lines = summaryLines(catalog, installedState({}),
        { ids::Support, ids::Ninja, QStringLiteral("lib.broken"), QStringLiteral("ghost") });
    const int header = lines.indexOf(QStringLiteral("Warnings:"));
    QVERIFY(header > 0);
    QCOMPARE(lines.at(header - 1), QString());
    QCOMPARE(lines.at(header - 2), QStringLiteral("Repair: none"));
    const QStringList warnings = lines.mid(header + 1, 2);
    QVERIFY2(warnings.contains(QStringLiteral("  ! Unknown package referenced: ghost")),
        qPrintable(warnings.join('|')));
    QVERIFY2(warnings.contains(QStringLiteral("  ! Broken [iv1] depends on missing catalog entry lib.gone.")),
        qPrintable(warnings.join('|')));
    QCOMPARE(lines.at(header + 3), QString());
    QCOMPARE(lines.at(header + 4), QStringLiteral("vexa.lock.json:"));
    // The unknown id is left out of the listing and the lock text.
    QVERIFY(!lines.contains(QStringLiteral("  + ghost")));
    QVERIFY(!lines.join(QLatin1Char('\n')).contains(QLatin1String("\"ghost\"")));

    // A plan without problems has no warnings block.
    QVERIFY(!summaryLines(catalog, installedState({}), { ids::Support, ids::Ninja })
                 .contains(QStringLiteral("Warnings:")));
}

void TestPlanSummary::emptyRootIsNotSet()
{
    const QStringList lines
        = summaryLines(standardCatalog(), installedState({}), { ids::Support }, LocalRepository, QString());
    QCOMPARE(lines.at(0), QStringLiteral("Install root: <not set>"));
}

QTEST_GUILESS_MAIN(TestPlanSummary)
#include "tst_plansummary.moc"
