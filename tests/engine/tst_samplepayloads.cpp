#include "applytestsupport.h"
#include "catalog/packagecatalog.h"
#include "engine/applytransaction.h"
#include "engine/changeplan.h"
#include "engine/rootinspection.h"
#include "progresslines.h"
#include "support/cmakeconsumer.h"
#include "support/testcatalog.h"
#include "support/testfiles.h"
#include "support/testhttpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

// The sample repository shipped in examples/ must really install: the default selection applies from
// the directory and over HTTP alike, and the CMake support and nlohmann_json payloads work for a real
// CMake consumer. That the repository is what `vexa publish` makes of examples/payloads is checked by
// scripts/publish-sample.sh --check in continuous integration.
class TestSamplePayloads : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultSelectionApplies_data();
    void defaultSelectionApplies();
    void payloadDirectoryPackagesApply();
    void cmakeConsumerFindsHeaderOnlyPackage();

private:
    static QString repositoryDirectory() { return QStringLiteral(VEXA_SOURCE_DIR "/examples/repository"); }
    static bool loadSampleCatalog(PackageCatalog &catalog);
};

bool TestSamplePayloads::loadSampleCatalog(PackageCatalog &catalog)
{
    return loadTestCatalog(readTestFile(repositoryDirectory() + QStringLiteral("/catalog.json")), catalog);
}

void TestSamplePayloads::defaultSelectionApplies_data()
{
    QTest::addColumn<bool>("overHttp");
    QTest::newRow("local repository directory") << false;
    QTest::newRow("loopback HTTP server") << true;
}

void TestSamplePayloads::defaultSelectionApplies()
{
    QFETCH(bool, overHttp);
    EnvironmentSandbox sandbox(false);
    QTemporaryDir rootDirectory;
    QVERIFY(rootDirectory.isValid());
    const QString root = rootDirectory.filePath(QStringLiteral("Vexa"));
    PackageCatalog catalog;
    QVERIFY(loadSampleCatalog(catalog));

    TestHttpServer server(repositoryDirectory());
    QString base = repositoryDirectory();
    if (overHttp) {
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        base = server.baseUrl() + QLatin1Char('/');
    }

    const InstalledState empty = inspectRoot(catalog, root);
    QVERIFY(!empty.hasInstalledContent);
    const ChangePlan plan = computePlan(catalog, empty, initialSelection(catalog, empty));
    QVERIFY(plan.target.contains(SupportPackageId));
    QVERIFY(plan.target.contains(QStringLiteral("com.company.vexa.nlohmann_json")));

    QStringList lines;
    QString error;
    QVERIFY2(applyPlan(catalog, base, root, plan, error,
                 progressLines([&lines](const QString &line) { lines.append(line); })),
        qPrintable(error));
    QCOMPARE(lines.count(QStringLiteral("Installing Vexa CMake Support [iv1]...")), 1);
    QCOMPARE(lines.filter(QStringLiteral("Downloaded ")).size(), overHttp ? plan.installOrder.size() : 0);

    const InstalledState state = inspectRoot(catalog, root);
    QCOMPARE(state.current, plan.target);
    QVERIFY(state.stale.isEmpty());
    QVERIFY(!state.needsRepair);
    QVERIFY(!planHasChanges(computePlan(catalog, state, initialSelection(catalog, state))));
    QCOMPARE(readTestFile(sandbox.variableFile()), QStringLiteral("VEXA_ROOT=%1\n").arg(root).toUtf8());
}

void TestSamplePayloads::payloadDirectoryPackagesApply()
{
    EnvironmentSandbox sandbox;
    QTemporaryDir rootDirectory;
    const QString root = rootDirectory.filePath(QStringLiteral("Vexa"));
    PackageCatalog catalog;
    QVERIFY(loadSampleCatalog(catalog));
    const QSet<QString> selection { QStringLiteral("com.company.vexa.qt6.qtsvg"),
        QStringLiteral("com.company.vexa.qt6.qtimageformats") };
    for (const QString &id : selection) {
        QVERIFY(catalog.findPackage(id));
        QVERIFY(!catalog.findPackage(id)->payload_source_dir.isEmpty());
    }
    const ChangePlan plan = computePlan(catalog, inspectRoot(catalog, root), selection);
    QString error;
    QVERIFY2(applyPlan(catalog, repositoryDirectory(), root, plan, error), qPrintable(error));
    const InstalledState state = inspectRoot(catalog, root);
    QCOMPARE(state.current, plan.target);
    QVERIFY(!state.needsRepair);
}

void TestSamplePayloads::cmakeConsumerFindsHeaderOnlyPackage()
{
    EnvironmentSandbox sandbox;
    QTemporaryDir work;
    const QString root = work.filePath(QStringLiteral("Vexa"));
    PackageCatalog catalog;
    QVERIFY(loadSampleCatalog(catalog));
    const QSet<QString> selection { QStringLiteral("com.company.vexa.nlohmann_json") };
    QString error;
    QVERIFY2(applyPlan(catalog, repositoryDirectory(), root,
                 computePlan(catalog, inspectRoot(catalog, root), selection), error),
        qPrintable(error));
    QVERIFY2(buildNlohmannJsonConsumer(root, work.path(), error), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestSamplePayloads)
#include "tst_samplepayloads.moc"
