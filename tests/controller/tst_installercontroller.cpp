#include "controller/installercontroller.h"

#include "catalog/catalogloading.h"
#include "controller/plansummary.h"
#include "controllersandbox.h"
#include "platform/defaultroot.h"
#include "support/testcatalog.h"
#include "support/testfiles.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>

using namespace vexa;

Q_DECLARE_METATYPE(vexa::ApplyProgress)

class TestInstallerController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void constructedControllerIsConsistent();
    void unresolvableSourceKeepsCatalogPassedIn();
    void emptySourceNeverReloads();
    void catalogSourceFallsBackToRepositoryBase();
    void rootPathIsTrimmedAndInert();
    void searchTextSignals();
    void acceptedToggleSignals_data();
    void acceptedToggleSignals();
    void tickingPullsDependencies_data();
    void tickingPullsDependencies();
    void blockedUntick_data();
    void blockedUntick();
    void untickingInstalledPackage();
    void refreshDiscardsEdits_data();
    void refreshDiscardsEdits();
    void failingReloadKeepsCatalog_data();
    void failingReloadKeepsCatalog();
    void reloadReplacesCatalog();
    void reloadedCatalogRebuildsRows();
    void selectPackageSignals();
    void applyChecks();
    void canApply_data();
    void canApply();
    void finishRootEditing_data();
    void finishRootEditing();
    void browseRootCancelled();
    void browseRootChosen();
    void sampleRepository();
    void downloadRowsFollowProgressEvents_data();
    void downloadRowsFollowProgressEvents();
    void failedLocalApplyEndsIdleBeforeReporting();
    void destroyedWhileApplying();
};

namespace {

QSet<QString> checkedIds(const QVariantList &entries)
{
    QSet<QString> result;
    for (const QVariant &entry : entries) {
        const QVariantMap row = entry.toMap();
        if (row.value(QStringLiteral("checked")).toBool())
            result.insert(row.value(QStringLiteral("packageId")).toString());
    }
    return result;
}

QStringList sorted(const QSet<QString> &ids)
{
    QStringList list(ids.cbegin(), ids.cend());
    list.sort();
    return list;
}

const QStringList RecomputeSignals { QStringLiteral("cmakeHelpTextChanged"),
    QStringLiteral("packageEntriesChanged"), QStringLiteral("summaryTextChanged"),
    QStringLiteral("statusTextChanged"), QStringLiteral("planChanged") };
const QStringList RecomputeSignalsSameStatus { QStringLiteral("cmakeHelpTextChanged"),
    QStringLiteral("packageEntriesChanged"), QStringLiteral("summaryTextChanged"),
    QStringLiteral("planChanged") };

// "status", then " active" and " completed" where set: one download row at a glance.
QStringList downloadRowStates(const QVariantList &entries)
{
    QStringList states;
    for (const QVariant &entry : entries) {
        const QVariantMap row = entry.toMap();
        states << row.value(QStringLiteral("statusText")).toString()
                + (row.value(QStringLiteral("active")).toBool() ? " active" : "")
                + (row.value(QStringLiteral("completed")).toBool() ? " completed" : "");
    }
    return states;
}

// Drives the modal folder dialog that browseRoot() shows (the static dialog runs its own event loop):
// `action` runs once on the dialog; any modal window still open afterwards (a warning box, or the
// dialog refusing the answer) is rejected and counted, so a test can fail but never hang.
class DialogDriver
{
public:
    explicit DialogDriver(std::function<void(QFileDialog *)> action)
        : m_action(std::move(action))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }
    bool acted() const { return m_acted; }
    int strayWindows() const { return m_strayWindows; }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!m_acted && dialog) {
            m_acted = true;
            // Outside this timer's callback, so that a window the action opens is still polled.
            QTimer::singleShot(0, dialog, [this, dialog] { m_action(dialog); });
            return;
        }
        ++m_strayWindows;
        if (auto *other = qobject_cast<QDialog *>(modal))
            other->reject();
        else
            modal->close();
    }

    std::function<void(QFileDialog *)> m_action;
    QTimer m_timer;
    bool m_acted = false;
    int m_strayWindows = 0;
};

// Answers the folder dialog with `directory`: shown as the current folder with nothing picked inside
// it, which is what the dialog returns for a folder the user opened and confirmed.
void chooseDirectory(QFileDialog *dialog, const QString &directory)
{
    dialog->setDirectory(directory);
    static_cast<QDialog *>(dialog)->accept();
}

} // namespace

void TestInstallerController::constructedControllerIsConsistent()
{
    ControllerSandbox sandbox;
    QVERIFY(sandbox.writeCatalog(standardPackages()));
    PackageCatalog catalog;
    QVERIFY(sandbox.loadCatalog(catalog));
    InstallerController controller(std::move(catalog), sandbox.repository(), sandbox.repository());

    QCOMPARE(controller.rootPath(), DefaultRootPath());
    QCOMPARE(controller.searchText(), QString());
    // The default root does not exist in the test home: the catalog's defaults are offered.
    QCOMPARE(sorted(checkedIds(controller.packageEntries())), (QStringList { ids::Support, ids::Ninja }));
    QCOMPARE(controller.installCount(), 2);
    QCOMPARE(controller.upgradeCount(), 0);
    QCOMPARE(controller.removeCount(), 0);
    QVERIFY(controller.hasChanges());
    QCOMPARE(controller.statusText(),
        QStringLiteral("Ready to apply 2 install(s), 0 upgrade(s), and 0 removal(s)."));
    QVERIFY(controller.summaryText().startsWith(QStringLiteral("Install root: %1\n").arg(DefaultRootPath())));
    // Ninja comes last in dependency order (catalog order breaks the tie), so its guidance is shown.
    QVERIFY(controller.cmakeHelpText().startsWith(QStringLiteral("Ninja Tooling\n")));
    QVERIFY(packageRowById(controller.packageEntries(), ids::Ninja).value(QStringLiteral("active")).toBool());
}

void TestInstallerController::unresolvableSourceKeepsCatalogPassedIn()
{
    ControllerSandbox sandbox;
    QVERIFY(sandbox.writeCatalog(standardPackages()));
    PackageCatalog catalog;
    QVERIFY(sandbox.loadCatalog(catalog));
    const QString gone = sandbox.repository() + QStringLiteral("/missing");
    InstallerController controller(std::move(catalog), gone, gone);

    // The failure was reported before anyone could listen; the catalog handed over stays in use and
    // the status line shows the plan again.
    QCOMPARE(entryShape(controller.packageEntries()).size(), 14);
    QCOMPARE(controller.statusText(),
        QStringLiteral("Ready to apply 2 install(s), 0 upgrade(s), and 0 removal(s)."));

    SignalRecorder recorder(&controller);
    controller.refresh();
    QCOMPARE(recorder.names.mid(0, 2),
        (QStringList { QStringLiteral("messageRequested"), QStringLiteral("statusTextChanged") }));
    QCOMPARE(recorder.messages.constFirst().first, QStringLiteral("Catalog refresh failed"));
    QVERIFY(!recorder.messages.constFirst().second.isEmpty());
}

void TestInstallerController::emptySourceNeverReloads()
{
    // With no source at all a reload would fall back to the environment and the default endpoint,
    // which would fail here; an empty source must not reload.
    ControllerSandbox sandbox;
    QVERIFY(sandbox.writeCatalog(standardPackages()));
    PackageCatalog catalog;
    QVERIFY(sandbox.loadCatalog(catalog));
    InstallerController controller(std::move(catalog), QStringLiteral("  "), QString());
    controller.setRootPath(sandbox.root());

    SignalRecorder recorder(&controller);
    controller.refresh();
    QCOMPARE(recorder.messages.size(), 0);
    QCOMPARE(recorder.names, RecomputeSignalsSameStatus);
    QCOMPARE(entryShape(controller.packageEntries()).size(), 14);
}

void TestInstallerController::catalogSourceFallsBackToRepositoryBase()
{
    ControllerSandbox sandbox;
    QVERIFY(sandbox.writeCatalog(standardPackages()));
    PackageCatalog catalog;
    QVERIFY(sandbox.loadCatalog(catalog));
    InstallerController controller(
        std::move(catalog), QStringLiteral("  %1 ").arg(sandbox.repository()), QStringLiteral(" "));
    controller.setRootPath(sandbox.root());

    // The next refresh reads the catalog from the repository base.
    QList<QJsonObject> packages = standardPackages();
    packages.append(testPackage(QStringLiteral("lib.new"), QStringLiteral("Newcomer")));
    QVERIFY(sandbox.writeCatalog(packages));
    controller.refresh();
    QVERIFY(!packageRowById(controller.packageEntries(), QStringLiteral("lib.new")).isEmpty());
}

void TestInstallerController::rootPathIsTrimmedAndInert()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox, { ids::Ninja });
    QVERIFY(controller);
    QCOMPARE(controller->installCount(), 0);

    QTemporaryDir other;
    QVERIFY(other.isValid());
    SignalRecorder recorder(controller.get());
    controller->setRootPath(QStringLiteral("  %1//sub/..\t").arg(other.path()));
    QCOMPARE(controller->rootPath(), other.path());
    QCOMPARE(recorder.names, QStringList { QStringLiteral("rootPathChanged") });

    controller->setRootPath(other.path() + QLatin1Char('/'));
    QCOMPARE(recorder.names.size(), 1);
    // Writing the root neither inspects nor plans.
    QCOMPARE(controller->installCount(), 0);

    controller->refresh();
    QCOMPARE(controller->installCount(), 2);

    // No root: nothing is inspected and the catalog's defaults are offered.
    controller->setRootPath(QStringLiteral("   "));
    QCOMPARE(controller->rootPath(), QString());
    controller->refresh();
    QCOMPARE(controller->installCount(), 2);
    QVERIFY(controller->summaryText().startsWith(QStringLiteral("Install root: <not set>\n")));
}

void TestInstallerController::searchTextSignals()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);
    SignalRecorder recorder(controller.get());

    controller->setSearchText(QStringLiteral(" ninja "));
    QCOMPARE(controller->searchText(), QStringLiteral("ninja"));
    QCOMPARE(recorder.names,
        (QStringList { QStringLiteral("searchTextChanged"), QStringLiteral("packageEntriesChanged") }));

    recorder.clear();
    controller->setSearchText(QStringLiteral("ninja  "));
    QCOMPARE(recorder.names, QStringList());
}

void TestInstallerController::acceptedToggleSignals_data()
{
    QTest::addColumn<QString>("toggle");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("tick changes the status line") << QStringLiteral("+lib.json") << RecomputeSignals;
    QTest::newRow("ticking a selected package keeps it")
        << QStringLiteral("+tool.ninja") << RecomputeSignalsSameStatus;
    QTest::newRow("unticking an unselected package")
        << QStringLiteral("-lib.json") << RecomputeSignalsSameStatus;
    QTest::newRow("untick changes the status line") << QStringLiteral("-tool.ninja") << RecomputeSignals;
}

void TestInstallerController::acceptedToggleSignals()
{
    QFETCH(QString, toggle);
    QFETCH(QStringList, expected);

    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);
    SignalRecorder recorder(controller.get());
    applyToggles(*controller, { toggle });
    QCOMPARE(recorder.names, expected);
}

void TestInstallerController::tickingPullsDependencies_data()
{
    QTest::addColumn<QStringList>("toggles");
    QTest::addColumn<QStringList>("checked");

    const QString support = ids::Support;
    const QString ninja = ids::Ninja;
    QTest::newRow("top of a two-level chain")
        << QStringList { QStringLiteral("+app.top") }
        << QStringList { ids::Top, support, ids::Base, ids::Mid, ninja };
    QTest::newRow("middle of the chain")
        << QStringList { QStringLiteral("+lib.mid") } << QStringList { support, ids::Base, ids::Mid, ninja };
    QTest::newRow("unticking the top keeps its dependencies") << QStringList { QStringLiteral("+app.top"),
        QStringLiteral("-app.top") } << QStringList { support, ids::Base, ids::Mid, ninja };
    QTest::newRow("dependencies are unticked one by one") << QStringList { QStringLiteral("+app.top"),
        QStringLiteral("-app.top"), QStringLiteral("-lib.mid"), QStringLiteral("-lib.base") }
                                                          << QStringList { support, ninja };
    QTest::newRow("a child's dependency, not its parent")
        << QStringList { QStringLiteral("+qt.gui") }
        << QStringList { support, ids::QtCore, ids::QtGui, ninja };
}

void TestInstallerController::tickingPullsDependencies()
{
    QFETCH(QStringList, toggles);
    QFETCH(QStringList, checked);

    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);
    applyToggles(*controller, toggles);

    QStringList expected = checked;
    expected.sort();
    QCOMPARE(sorted(checkedIds(controller->packageEntries())), expected);
    QCOMPARE(controller->installCount(), checked.size());
}

void TestInstallerController::blockedUntick_data()
{
    QTest::addColumn<QStringList>("ticks");
    QTest::addColumn<QString>("untick");
    QTest::addColumn<QString>("labels");

    QTest::newRow("direct dependency")
        << QStringList { QStringLiteral("+app.top") } << ids::Mid << QStringLiteral("Top Framework [iv7]");
    QTest::newRow("only direct dependents are named")
        << QStringList { QStringLiteral("+app.top") } << ids::Base << QStringLiteral("Middleware [iv2]");
    QTest::newRow("several dependents, sorted")
        << QStringList { QStringLiteral("+lib.alt"), QStringLiteral("+app.top") } << ids::Base
        << QStringLiteral("Alternative [iv1], Middleware [iv2]");
}

void TestInstallerController::blockedUntick()
{
    QFETCH(QStringList, ticks);
    QFETCH(QString, untick);
    QFETCH(QString, labels);

    ControllerSandbox sandbox;
    QList<QJsonObject> packages = standardPackages();
    packages.append(testPackage(QStringLiteral("lib.alt"), QStringLiteral("Alternative"),
        { { QStringLiteral("dependencies"), QJsonArray { ids::Base } } }));
    QVERIFY(sandbox.writeCatalog(packages));
    auto controller = sandbox.makeController();
    QVERIFY(controller);
    applyToggles(*controller, ticks);
    const QString summaryBefore = controller->summaryText();
    const int installsBefore = controller->installCount();

    SignalRecorder recorder(controller.get());
    controller->togglePackage(untick, false);

    QCOMPARE(recorder.names,
        (QStringList { QStringLiteral("messageRequested"), QStringLiteral("packageEntriesChanged") }));
    QCOMPARE(recorder.messages.constFirst().first, QStringLiteral("Dependency required"));
    QCOMPARE(recorder.messages.constFirst().second,
        QStringLiteral("You cannot remove this package while these packages remain selected: %1")
            .arg(labels));
    QVERIFY(packageRowById(controller->packageEntries(), untick).value(QStringLiteral("checked")).toBool());
    QCOMPARE(controller->summaryText(), summaryBefore);
    QCOMPARE(controller->installCount(), installsBefore);
}

void TestInstallerController::untickingInstalledPackage()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox, { ids::Base, ids::Mid, ids::Json });
    QVERIFY(controller);
    QCOMPARE(controller->removeCount(), 0);
    QCOMPARE(controller->removalConfirmationText(), QString());

    controller->togglePackage(ids::Mid, false);
    QCOMPARE(controller->removeCount(), 1);
    QCOMPARE(controller->removalConfirmationText(),
        QStringLiteral("This will remove 1 package(s) from the selected Vexa root. Continue?"));
    // Its dependency stays ticked.
    QVERIFY(
        packageRowById(controller->packageEntries(), ids::Base).value(QStringLiteral("checked")).toBool());

    controller->togglePackage(ids::Json, false);
    controller->togglePackage(ids::Base, false);
    QCOMPARE(controller->removeCount(), 3);
    QCOMPARE(controller->removalConfirmationText(),
        QStringLiteral("This will remove 3 package(s) from the selected Vexa root. Continue?"));
}

void TestInstallerController::refreshDiscardsEdits_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QStringList>("toggles");
    QTest::addColumn<QStringList>("checkedAfterRefresh");

    QTest::newRow("fresh root returns to the defaults")
        << QStringList() << QStringList { QStringLiteral("+app.top"), QStringLiteral("-tool.ninja") }
        << QStringList { ids::Support, ids::Ninja };
    QTest::newRow("added package dropped")
        << QStringList { ids::Json } << QStringList { QStringLiteral("+qt") } << QStringList { ids::Json };
    QTest::newRow("removed package restored")
        << QStringList { ids::Base, ids::Mid }
        << QStringList { QStringLiteral("-lib.mid"), QStringLiteral("-lib.base") }
        << QStringList { ids::Base, ids::Mid };
}

void TestInstallerController::refreshDiscardsEdits()
{
    QFETCH(QStringList, installed);
    QFETCH(QStringList, toggles);
    QFETCH(QStringList, checkedAfterRefresh);

    ControllerSandbox sandbox;
    auto controller = standardController(sandbox, installed);
    QVERIFY(controller);
    const QString summaryBefore = controller->summaryText();
    applyToggles(*controller, toggles);
    QVERIFY(controller->summaryText() != summaryBefore);

    SignalRecorder recorder(controller.get());
    controller->refresh();
    QCOMPARE(recorder.names.constLast(), QStringLiteral("planChanged"));
    checkedAfterRefresh.sort();
    QCOMPARE(sorted(checkedIds(controller->packageEntries())), checkedAfterRefresh);
    QCOMPARE(controller->summaryText(), summaryBefore);
}

void TestInstallerController::failingReloadKeepsCatalog_data()
{
    // The messages themselves are the catalog load's; here only that one is shown and nothing is lost.
    QTest::addColumn<QByteArray>("catalogData");
    QTest::newRow("document does not parse") << QByteArray("{\"packages\": [");
    QTest::newRow("repository gone") << QByteArray();
}

void TestInstallerController::failingReloadKeepsCatalog()
{
    QFETCH(QByteArray, catalogData);

    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);
    const QStringList shapeBefore = entryShape(controller->packageEntries());

    if (catalogData.isEmpty())
        QVERIFY(QDir(sandbox.repository()).removeRecursively());
    else
        QVERIFY(sandbox.writeRawCatalog(catalogData));
    // The root is still inspected again after the failed reload.
    QVERIFY(sandbox.install(standardCatalog(), { ids::Json }));

    SignalRecorder recorder(controller.get());
    controller->refresh();

    QCOMPARE(recorder.names,
        (QStringList { QStringLiteral("messageRequested"), QStringLiteral("statusTextChanged") }
            + RecomputeSignals));
    QCOMPARE(recorder.messages.size(), 1);
    QCOMPARE(recorder.messages.constFirst().first, QStringLiteral("Catalog refresh failed"));
    QVERIFY(!recorder.messages.constFirst().second.isEmpty());

    QCOMPARE(entryShape(controller->packageEntries()), shapeBefore);
    QCOMPARE(sorted(checkedIds(controller->packageEntries())), QStringList { ids::Json });
    QCOMPARE(controller->statusText(), QStringLiteral("No pending changes."));
}

void TestInstallerController::reloadReplacesCatalog()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);

    QList<QJsonObject> packages = standardPackages();
    packages.append(testPackage(QStringLiteral("lib.new"), QStringLiteral("Newcomer"),
        { { QStringLiteral("default_selected"), true }, { QStringLiteral("size_bytes"), 1048576 } }));
    QVERIFY(sandbox.writeCatalog(packages,
        { { QStringLiteral("repository_base_url"),
            QStringLiteral(" https://packages.example.invalid/vexa/ ") } }));
    controller->refresh();

    QVERIFY(packageRowById(controller->packageEntries(), QStringLiteral("lib.new"))
                .value(QStringLiteral("checked"))
                .toBool());
    // The catalog's own repository base replaces the directory it was found in, so archives now download.
    QVERIFY2(controller->summaryText().contains(QLatin1String("\nDownload size: 1.25 MB\n")),
        qPrintable(controller->summaryText()));
}

void TestInstallerController::reloadedCatalogRebuildsRows()
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

void TestInstallerController::selectPackageSignals()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);
    SignalRecorder recorder(controller.get());

    controller->selectPackage(ids::Qt);
    QCOMPARE(recorder.names,
        (QStringList { QStringLiteral("cmakeHelpTextChanged"), QStringLiteral("packageEntriesChanged") }));
    QVERIFY(controller->cmakeHelpText().startsWith(QStringLiteral("Qt 6\n\nQt is usually consumed")));

    recorder.clear();
    controller->selectPackage(ids::Qt);
    controller->selectPackage(QString());
    QCOMPARE(recorder.names, QStringList());

    // Picking a package survives plan changes.
    controller->togglePackage(ids::Top, true);
    QVERIFY(packageRowById(controller->packageEntries(), ids::Qt).value(QStringLiteral("active")).toBool());
}

void TestInstallerController::applyChecks()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox, { ids::Json });
    QVERIFY(controller);
    QVERIFY(!controller->hasChanges());

    SignalRecorder recorder(controller.get());
    controller->setRootPath(QString());
    recorder.clear();
    controller->apply();
    QCOMPARE(recorder.names, QStringList());

    controller->togglePackage(ids::Ninja, true);
    QVERIFY(controller->hasChanges());
    recorder.clear();
    controller->setRootPath(QStringLiteral("   "));
    controller->apply();
    QCOMPARE(recorder.names, QStringList { QStringLiteral("messageRequested") });
    QCOMPARE(recorder.messages.constFirst(),
        qMakePair(QStringLiteral("Missing install root"),
            QStringLiteral("Select an install root before applying changes.")));
}

void TestInstallerController::canApply_data()
{
    QTest::addColumn<QStringList>("toggles");
    QTest::addColumn<QString>("root");
    QTest::addColumn<bool>("applying");
    QTest::addColumn<bool>("canApply");
    QTest::addColumn<int>("emissions");

    QTest::newRow("changes and a root")
        << QStringList { "+" + ids::Ninja } << QString() << false << true << 1;
    QTest::newRow("no changes") << QStringList() << QString() << false << false << 0;
    QTest::newRow("changes, a root of blanks")
        << QStringList { "+" + ids::Ninja } << "   " << false << false << 2;
    QTest::newRow("changes while applying")
        << QStringList { "+" + ids::Ninja } << QString() << true << false << 2;
}

void TestInstallerController::canApply()
{
    QFETCH(QStringList, toggles);
    QFETCH(QString, root);
    QFETCH(bool, applying);
    QFETCH(bool, canApply);
    QFETCH(int, emissions);

    ControllerSandbox sandbox;
    auto controller = standardController(sandbox, { ids::Json });
    QVERIFY(controller);
    QVERIFY(!controller->canApply());
    QSignalSpy changed(controller.get(), &InstallerController::canApplyChanged);
    applyToggles(*controller, toggles);
    if (!root.isNull())
        controller->setRootPath(root);
    if (applying)
        controller->apply();
    QCOMPARE(controller->canApply(), canApply);
    QCOMPARE(changed.size(), emissions);
    // The sandbox holds no archives: an apply ends at once, in failure.
    QTRY_VERIFY(!controller->busy());
}

void TestInstallerController::finishRootEditing_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<bool>("refreshed");

    QTest::newRow("the inspected root: the ticks stay") << QStringList() << false;
    QTest::newRow("another root: inspected") << QStringList { "other" } << true;
    QTest::newRow("typed back to the inspected root") << QStringList { "other", "root" } << false;
}

void TestInstallerController::finishRootEditing()
{
    QFETCH(QStringList, typed);
    QFETCH(bool, refreshed);

    ControllerSandbox sandbox;
    auto controller = standardController(sandbox, { ids::Json });
    QVERIFY(controller);
    controller->togglePackage(ids::Ninja, true);
    for (const QString &name : typed)
        controller->setRootPath(sandbox.repository() + QStringLiteral("/../") + name);
    QSignalSpy plans(controller.get(), &InstallerController::planChanged);

    controller->finishRootEditing();
    QCOMPARE(plans.size(), refreshed ? 1 : 0);
    if (!refreshed)
        QVERIFY(packageRowById(controller->packageEntries(), ids::Ninja)
                    .value(QStringLiteral("checked"))
                    .toBool());
}

void TestInstallerController::browseRootCancelled()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);
    QVERIFY(QDir().mkpath(sandbox.root()));
    SignalRecorder recorder(controller.get());

    QString caption;
    QString startDirectory;
    DialogDriver driver([&](QFileDialog *dialog) {
        caption = dialog->windowTitle();
        startDirectory = dialog->directory().absolutePath();
        dialog->reject();
    });
    controller->browseRoot();
    QVERIFY(driver.acted());
    QCOMPARE(driver.strayWindows(), 0);
    QCOMPARE(caption, QStringLiteral("Select Vexa Root"));
    QCOMPARE(startDirectory, QDir(sandbox.root()).absolutePath());
    QCOMPARE(recorder.names, QStringList());
    QCOMPARE(controller->rootPath(), sandbox.root());
}

void TestInstallerController::browseRootChosen()
{
    ControllerSandbox sandbox;
    auto controller = standardController(sandbox);
    QVERIFY(controller);
    QVERIFY(QDir().mkpath(sandbox.root()));
    QTemporaryDir chosenRoot;
    QVERIFY(chosenRoot.isValid());
    QVERIFY(writeTestFile(chosenRoot.filePath(QStringLiteral("lib.json/marker.txt")), "x"));

    SignalRecorder recorder(controller.get());
    {
        DialogDriver driver([&](QFileDialog *dialog) { chooseDirectory(dialog, chosenRoot.path()); });
        controller->browseRoot();
        QVERIFY(driver.acted());
        QCOMPARE(driver.strayWindows(), 0);
    }
    QCOMPARE(controller->rootPath(), chosenRoot.path());
    QCOMPARE(recorder.names.constFirst(), QStringLiteral("rootPathChanged"));
    QCOMPARE(recorder.names.mid(1), RecomputeSignals);
    QCOMPARE(sorted(checkedIds(controller->packageEntries())), QStringList { ids::Json });

    // The same folder again still rescans, without a root change.
    QVERIFY(writeTestFile(chosenRoot.filePath(QStringLiteral("tool.ninja/marker.txt")), "x"));
    recorder.clear();
    {
        DialogDriver driver([&](QFileDialog *dialog) { chooseDirectory(dialog, chosenRoot.path()); });
        controller->browseRoot();
        QVERIFY(driver.acted());
    }
    QCOMPARE(controller->rootPath(), chosenRoot.path());
    QVERIFY(!recorder.names.contains(QStringLiteral("rootPathChanged")));
    QCOMPARE(recorder.names.constLast(), QStringLiteral("planChanged"));
    QCOMPARE(sorted(checkedIds(controller->packageEntries())), (QStringList { ids::Json, ids::Ninja }));
}

void TestInstallerController::sampleRepository()
{
    LoadedCatalog loaded;
    QString errorText;
    QVERIFY2(loadCatalog(QStringLiteral(VEXA_SOURCE_DIR "/examples/repository"), loaded, errorText),
        qPrintable(errorText));
    InstallerController controller(std::move(loaded.catalog), loaded.repositoryBase, loaded.catalogSource);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    controller.setRootPath(root.path());
    controller.refresh();

    // The sample's default-selected packages; Qt 6 needs the support package, which is one of them.
    const QSet<QString> defaults { QStringLiteral("com.company.vexa.cmake_support"),
        QStringLiteral("com.company.vexa.qt6"), QStringLiteral("com.company.vexa.opencv"),
        QStringLiteral("com.company.vexa.openssl"), QStringLiteral("com.company.vexa.nlohmann_json"),
        QStringLiteral("com.company.vexa.cmake"), QStringLiteral("com.company.vexa.ninja") };
    QCOMPARE(checkedIds(controller.packageEntries()), defaults);
    QCOMPARE(controller.statusText(),
        QStringLiteral("Ready to apply 7 install(s), 0 upgrade(s), and 0 removal(s)."));
    const QStringList lines = controller.summaryText().split(QLatin1Char('\n'));
    QCOMPARE(lines.constFirst(), QStringLiteral("Install root: %1").arg(root.path()));
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^  \\+ "))).size(), 7);
    QVERIFY(lines.contains(QStringLiteral("vexa.lock.json:")));
    // Ninja comes last in dependency order; the sample catalog gives its own guidance for it.
    QVERIFY2(controller.cmakeHelpText().startsWith(QStringLiteral(
                 "Ninja is a generator, not a dependency of your targets.\n\nTypical CMake:\n")),
        qPrintable(controller.cmakeHelpText()));
}

void TestInstallerController::downloadRowsFollowProgressEvents_data()
{
    QTest::addColumn<QList<ApplyProgress>>("events");
    // downloadEntriesChanged emissions of each event.
    QTest::addColumn<QString>("emissions");
    QTest::addColumn<QStringList>("rows");

    using Phase = ApplyProgress::Phase;
    const auto event = [](Phase phase, const char *id, int percentage = -1) {
        ApplyProgress progress;
        progress.phase = phase;
        progress.packageId = QString::fromLatin1(id);
        progress.percentage = percentage;
        return progress;
    };
    const auto start = [&](const char *id) { return event(Phase::DownloadStarted, id); };
    const auto percent = [&](const char *id, int value) { return event(Phase::Downloading, id, value); };
    const auto done = [&](const char *id) { return event(Phase::Downloaded, id); };
    const QString queued = QStringLiteral("Queued");
    const QString completed = QStringLiteral("Completed completed");

    QTest::newRow("start activates its row")
        << QList { start("alpha") } << "1" << QStringList { "Starting... active", queued };
    QTest::newRow("percentage replaces the status")
        << QList { start("alpha"), percent("alpha", 45) } << "1 1" << QStringList { "45% active", queued };
    QTest::newRow("repeated percentage emits nothing") << QList { start("alpha"), percent("alpha", 45),
        percent("alpha", 45) } << "1 1 0" << QStringList { "45% active", queued };
    QTest::newRow("bytes without a percentage emit nothing") << QList { start("alpha"),
        event(Phase::Downloading, "alpha") } << "1 0" << QStringList { "Starting... active", queued };
    QTest::newRow("finish completes; the next package follows")
        << QList { start("alpha"), percent("alpha", 100), done("alpha"), start("beta"), percent("beta", 7) }
        << "1 1 1 1 1" << QStringList { completed, "7% active" };
    QTest::newRow("percentage for a completed row keeps it, deactivating the others")
        << QList { start("alpha"), done("alpha"), start("beta"), percent("alpha", 50) } << "1 1 1 1"
        << QStringList { completed, "Starting..." };
    QTest::newRow("repeated finish emits nothing")
        << QList { done("alpha"), done("alpha") } << "1 0" << QStringList { completed, queued };
    QTest::newRow("install, remove and packages without a row leave the rows") << QList {
        event(Phase::Installing, "alpha"), event(Phase::Removing, "beta"), percent("gamma", 5), done("gamma")
    } << "0 0 0 0" << QStringList { queued, queued };
}

void TestInstallerController::downloadRowsFollowProgressEvents()
{
    QFETCH(QList<ApplyProgress>, events);
    QFETCH(QString, emissions);
    QFETCH(QStringList, rows);

    ControllerSandbox sandbox;
    const QString url = QStringLiteral("http://127.0.0.1:9/archive.zip");
    QVERIFY(sandbox.writeCatalog({ testPackage(QStringLiteral("alpha"), QStringLiteral("Alpha"),
                                       { { QStringLiteral("payload_url"), url } }),
        testPackage(QStringLiteral("beta"), QStringLiteral("Beta"),
            { { QStringLiteral("payload_url"), url },
                { QStringLiteral("dependencies"), QJsonArray { QStringLiteral("alpha") } } }) }));
    const auto controller = sandbox.makeController();
    QVERIFY(controller);
    controller->togglePackage(QStringLiteral("beta"), true);
    controller->resetDownloadEntries(controller->m_plan);
    // Dependencies first, each row queued.
    QCOMPARE(controller->downloadEntries().constFirst().toMap(),
        (QVariantMap { { "packageId", "alpha" }, { "title", "Alpha" }, { "label", "Alpha [iv1]" },
            { "statusText", "Queued" }, { "active", false }, { "completed", false } }));

    QSignalSpy changed(controller.get(), &InstallerController::downloadEntriesChanged);
    QStringList counts;
    for (const ApplyProgress &event : std::as_const(events)) {
        changed.clear();
        controller->applyProgressEvent(event);
        counts << QString::number(changed.size());
    }
    QCOMPARE(counts.join(QLatin1Char(' ')), emissions);
    QCOMPARE(downloadRowStates(controller->downloadEntries()), rows);
}

void TestInstallerController::failedLocalApplyEndsIdleBeforeReporting()
{
    // Archives of a local directory are not downloaded, so there are no rows; these are missing.
    ControllerSandbox sandbox;
    const auto controller = standardController(sandbox);
    QVERIFY(controller && controller->hasChanges());
    int rowChanges = 0;
    QString atMessage;
    connect(controller.get(), &InstallerController::downloadEntriesChanged, [&rowChanges] { ++rowChanges; });
    connect(controller.get(), &InstallerController::messageRequested, [&](const QString &title) {
        atMessage = QStringLiteral("%1, busy %2, %3 rows, status %4")
                        .arg(title)
                        .arg(controller->busy())
                        .arg(controller->downloadEntries().size())
                        .arg(controller->statusText());
    });
    QSignalSpy reported(controller.get(), &InstallerController::messageRequested);
    controller->apply();
    QVERIFY(controller->busy());
    QCOMPARE(controller->statusText(), QStringLiteral("Applying changes..."));
    // One apply at a time.
    controller->apply();
    QVERIFY(reported.wait(30000));

    QCOMPARE(rowChanges, 1);
    QCOMPARE(atMessage, QStringLiteral("Apply failed, busy 0, 0 rows, status Apply failed."));
    QVERIFY(reported.constFirst().at(1).toString().startsWith(QStringLiteral("Archive not found for ")));
    QCOMPARE(reported.size(), 1);
    QCOMPARE(controller->statusText(), planStatusText(controller->m_plan));
}

void TestInstallerController::destroyedWhileApplying()
{
    ServedSampleRepository served;
    QVERIFY(served.start());
    QTemporaryDir root;
    auto controller = served.makeController(root.path());
    QVERIFY(controller && controller->hasChanges());
    bool reported = false;
    connect(controller.get(), &InstallerController::messageRequested, [&reported] { reported = true; });

    controller->apply();
    QTRY_VERIFY(downloadRowStates(controller->downloadEntries()).join(' ').contains(QLatin1Char('%')));
    const QPointer<QThread> worker = controller->m_workerThread;
    QVERIFY(worker);
    controller.reset();

    // The transaction ran to its end before the controller went away, and reported nothing.
    QVERIFY(worker->isFinished());
    QVERIFY(!reported);
    QVERIFY(QFile::exists(root.filePath(QStringLiteral("manifest/state.json"))));
    // What the worker posted finds no controller; the thread object deletes itself.
    QTRY_VERIFY(!worker);
}

QTEST_MAIN(TestInstallerController)
#include "tst_installercontroller.moc"
