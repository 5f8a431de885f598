#include "app/mainwindow.h"
#include "catalog/catalogsource.h"
#include "controllersandbox.h"
#include "installerstandin.h"
#include "support/testfiles.h"

#include <QFontInfo>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtTest>

using namespace vexa;

namespace {

const QString SampleRepository = QStringLiteral(VEXA_SOURCE_DIR "/examples/repository");

// A controller over the sample repository with an empty root in `rootDir`.
std::unique_ptr<InstallerController> sampleController(const QTemporaryDir &rootDir)
{
    CatalogPayload payload;
    PackageCatalog catalog;
    QString errorText;
    if (!resolveCatalog(SampleRepository, payload, errorText)
        || !loadFromJson(payload.data, catalog, errorText))
        return nullptr;
    auto controller
        = std::make_unique<InstallerController>(std::move(catalog), SampleRepository, SampleRepository);
    controller->setRootPath(rootDir.path());
    controller->refresh();
    return controller;
}

// Gives `installer` the state of a real controller over the sample repository and an empty root.
bool copySampleState(InstallerStandIn &installer)
{
    QTemporaryDir root;
    const auto controller = sampleController(root);
    if (controller)
        installer.copyFrom(*controller);
    return controller != nullptr;
}

void collectItems(QQuickItem *item, const QString &name, QList<QQuickItem *> &found)
{
    if (item->objectName() == name)
        found << item;
    for (QQuickItem *child : item->childItems())
        collectItems(child, name, found);
}

// The real main window over `installer`, driven with mouse and key events as a person would.
class WindowUnderTest
{
public:
    explicit WindowUnderTest(QObject *installer)
        : window(loadMainWindow(engine, installer))
    { }

    bool exposed() { return window && QTest::qWaitForWindowExposed(window); }

    // Items with `name` that are shown, in item-tree order (popups included while they are open).
    QList<QQuickItem *> items(const QString &name) const
    {
        QList<QQuickItem *> found;
        collectItems(window->contentItem(), name, found);
        found.removeIf([](QQuickItem *item) { return !item->isVisible(); });
        return found;
    }
    QQuickItem *item(const QString &name) const { return items(name).value(0); }
    QObject *popup(const QString &name) const { return window->findChild<QObject *>(name); }
    bool isOpen(const QString &popupName) const { return popup(popupName)->property("opened").toBool(); }

    void click(QQuickItem *target, QPointF at = QPointF(-1, -1)) const
    {
        if (at.x() < 0)
            at = QPointF(target->width() / 2, target->height() / 2);
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, target->mapToScene(at).toPoint());
    }
    void click(const QString &name) const { click(item(name)); }
    // Replaces the field's text by typing, one key at a time.
    void retype(const QString &fieldName, const QString &text) const
    {
        click(fieldName);
        QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(window, Qt::Key_Backspace);
        type(text);
    }
    // QTest types into widgets only; a window gets one key at a time.
    void type(const QString &text) const
    {
        for (const QChar c : text)
            QTest::keyClick(window, c.toLatin1());
    }
    QString text(const QString &name) const { return item(name)->property("text").toString(); }
    // The check box of the package row titled `title`: the first cell of the row that holds the name.
    QQuickItem *boxOf(const QString &title) const
    {
        for (QQuickItem *name : items(QStringLiteral("nameCell"))) {
            if (name->property("text").toString() == title)
                return name->parentItem()->childItems().constFirst()->childItems().constFirst();
        }
        return nullptr;
    }

    // Saves the window as the tests' artifact `name` (a PNG under the build tree).
    bool saveScreenshot(const QString &name) const
    {
        return window->grabWindow().save(QStringLiteral(VEXA_SCREENSHOT_DIR "/") + name);
    }

    QQmlApplicationEngine engine;
    QQuickWindow *window;
};

QVariantMap downloadRow(const QString &title, const QString &status, bool active, bool completed)
{
    return { { QStringLiteral("title"), title }, { QStringLiteral("statusText"), status },
        { QStringLiteral("active"), active }, { QStringLiteral("completed"), completed } };
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void idleWindowOverTheSampleRepository();
    void documentWithoutAWindowLoadsNothing();
    void applyButtonEnabling_data();
    void applyButtonEnabling();
    void applyClick_data();
    void applyClick();
    void cancelledRemovalLeavesThePlan();
    void blockedUntickKeepsTheBoxAndShowsTheMessage();
    void rootFieldRefreshesOnlyWhenEditingFinishes();
    void scrollPositionSurvivesRebuildsClamped();
    void rowTapsAndBoxClicks();
    void busyOverlay();
};

void TestMainWindow::initTestCase()
{
    QVERIFY(QDir().mkpath(QStringLiteral(VEXA_SCREENSHOT_DIR)));
}

void TestMainWindow::init()
{
    // A binding that fails in the window document (a misspelt id or property) only warns at run time.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("CompanyVexaInstaller/src/qml/Main.qml")));
}

void TestMainWindow::idleWindowOverTheSampleRepository()
{
    QTemporaryDir root;
    const auto controller = sampleController(root);
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());

    QCOMPARE(ui.window->title(), QStringLiteral("Kestrow Vexa Installer"));
    QCOMPARE(ui.window->size(), QSize(1500, 920));
    QCOMPARE(ui.window->minimumSize(), QSize(1280, 820));
    QCOMPARE(ui.item(QStringLiteral("installMetric"))->property("value").toString(),
        QString::number(controller->installCount()));
    QCOMPARE(ui.text(QStringLiteral("summaryTextEdit")), controller->summaryText());
    QCOMPARE(ui.text(QStringLiteral("cmakeHelpTextEdit")), controller->cmakeHelpText());
    QCOMPARE(ui.text(QStringLiteral("rootField")), root.path());
    QCOMPARE(ui.item(QStringLiteral("packageList"))->property("count").toInt(),
        controller->packageEntries().size());
    // The summary's columns only line up in a fixed-pitch face, whatever "Consolas" resolves to here.
    QVERIFY(
        QFontInfo(ui.item(QStringLiteral("summaryTextEdit"))->property("font").value<QFont>()).fixedPitch());
    QVERIFY(ui.saveScreenshot(QStringLiteral("mainwindow-idle.png")));
}

void TestMainWindow::documentWithoutAWindowLoadsNothing()
{
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("Broken.qml"));
    QVERIFY(writeTestFile(broken, QByteArray("import QtQuick\nItem { width: }\n")));
    QQmlApplicationEngine engine;
    QObject installer;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Broken.qml")));
    QTest::ignoreMessage(QtWarningMsg, "QQmlApplicationEngine failed to load component");
    QVERIFY(!loadMainWindow(engine, &installer, QUrl::fromLocalFile(broken)));
}

void TestMainWindow::applyButtonEnabling_data()
{
    QTest::addColumn<bool>("hasChanges");
    QTest::addColumn<QString>("typedRoot");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("changes and a root") << true << QStringLiteral("/data/vexa") << true;
    QTest::newRow("root of spaces") << true << QStringLiteral("   ") << false;
    QTest::newRow("no changes") << false << QStringLiteral("/data/vexa") << false;
}

void TestMainWindow::applyButtonEnabling()
{
    QFETCH(bool, hasChanges);
    QFETCH(QString, typedRoot);
    QFETCH(bool, enabled);

    InstallerStandIn installer;
    installer.setProperty("hasChanges", hasChanges);
    installer.setProperty("rootPath", QStringLiteral("/before"));
    WindowUnderTest ui(&installer);
    QVERIFY(ui.exposed());

    ui.retype(QStringLiteral("rootField"), typedRoot);
    QCOMPARE(ui.item(QStringLiteral("applyButton"))->isEnabled(), enabled);
    installer.setProperty("busy", true);
    QVERIFY(!ui.item(QStringLiteral("applyButton"))->isEnabled());
    QCOMPARE(ui.text(QStringLiteral("applyButton")), QStringLiteral("Applying..."));
}

void TestMainWindow::applyClick_data()
{
    QTest::addColumn<QString>("removalText");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("applied");

    const QString removal
        = QStringLiteral("This will remove 1 package(s) from the selected Vexa root. Continue?");
    QTest::newRow("no removals: applied at once") << QString() << QString() << true;
    QTest::newRow("removals: Continue applies") << removal << QStringLiteral("confirmContinueButton") << true;
    QTest::newRow("removals: Escape closes") << removal << QStringLiteral("Escape") << false;
    QTest::newRow("removals: a press outside is ignored") << removal << QStringLiteral("outside") << false;
}

void TestMainWindow::applyClick()
{
    QFETCH(QString, removalText);
    QFETCH(QString, answer);
    QFETCH(bool, applied);

    InstallerStandIn installer;
    QVERIFY(copySampleState(installer));
    installer.removalText = removalText;
    WindowUnderTest ui(&installer);
    QVERIFY(ui.exposed());

    ui.click(QStringLiteral("applyButton"));
    const QString confirm = QStringLiteral("confirmPopup");
    QCOMPARE(ui.isOpen(confirm), !removalText.isEmpty());
    if (!removalText.isEmpty()) {
        QTRY_VERIFY(ui.item(QStringLiteral("confirmBodyText")));
        QCOMPARE(ui.text(QStringLiteral("confirmBodyText")), removalText);
        if (answer == QLatin1String("Escape"))
            QTest::keyClick(ui.window, Qt::Key_Escape);
        else if (answer == QLatin1String("outside"))
            QTest::mouseClick(ui.window, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        else
            ui.click(answer);
        QTRY_COMPARE(ui.isOpen(confirm), answer == QLatin1String("outside"));
    }
    QCOMPARE(installer.calls.contains(QStringLiteral("apply")), applied);
}

void TestMainWindow::cancelledRemovalLeavesThePlan()
{
    ControllerSandbox sandbox;
    const auto controller = standardController(sandbox, { ids::Ninja });
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());

    ui.click(ui.boxOf(QStringLiteral("Ninja")));
    QTRY_COMPARE(ui.item(QStringLiteral("removeMetric"))->property("value").toString(), QStringLiteral("1"));
    ui.click(QStringLiteral("applyButton"));
    QVERIFY(ui.isOpen(QStringLiteral("confirmPopup")));
    QTRY_COMPARE(ui.text(QStringLiteral("confirmBodyText")), controller->removalConfirmationText());
    QVERIFY(ui.saveScreenshot(QStringLiteral("mainwindow-confirmation.png")));

    ui.click(QStringLiteral("confirmCancelButton"));
    QTRY_VERIFY(!ui.isOpen(QStringLiteral("confirmPopup")));
    QCOMPARE(controller->removeCount(), 1);
    QVERIFY(controller->hasChanges());
}

void TestMainWindow::blockedUntickKeepsTheBoxAndShowsTheMessage()
{
    ControllerSandbox sandbox;
    // Top Framework needs Middleware, which therefore cannot be unticked on its own.
    const auto controller = standardController(sandbox, { ids::Base, ids::Mid, ids::Top });
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());

    const auto boxOf = [&ui](const QString &title) { return ui.boxOf(title); };
    QQuickItem *middleware = boxOf(QStringLiteral("Middleware"));
    QVERIFY(middleware && middleware->property("checked").toBool());
    ui.click(middleware);
    QVERIFY(ui.isOpen(QStringLiteral("messagePopup")));
    QCOMPARE(ui.popup(QStringLiteral("messagePopup"))->property("titleText").toString(),
        QStringLiteral("Dependency required"));
    QVERIFY(boxOf(QStringLiteral("Middleware"))->property("checked").toBool());

    // A press outside closes the message; Escape does too.
    QTest::mouseClick(ui.window, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QTRY_VERIFY(!ui.isOpen(QStringLiteral("messagePopup")));
    ui.click(boxOf(QStringLiteral("Middleware")));
    QTRY_VERIFY(ui.isOpen(QStringLiteral("messagePopup")));
    QTest::keyClick(ui.window, Qt::Key_Escape);
    QTRY_VERIFY(!ui.isOpen(QStringLiteral("messagePopup")));

    // An accepted tick shows once the controller has published it.
    QQuickItem *json = boxOf(QStringLiteral("JSON for Modern C++"));
    QVERIFY(json && !json->property("checked").toBool());
    ui.click(json);
    QTRY_VERIFY(boxOf(QStringLiteral("JSON for Modern C++"))->property("checked").toBool());
    QCOMPARE(ui.item(QStringLiteral("installMetric"))->property("value").toString(), QStringLiteral("1"));
}

void TestMainWindow::rootFieldRefreshesOnlyWhenEditingFinishes()
{
    ControllerSandbox sandbox;
    const auto controller = standardController(sandbox, { ids::Ninja });
    QVERIFY(controller);
    QTemporaryDir other;
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());
    const QString before = controller->summaryText();

    ui.retype(QStringLiteral("rootField"), other.path().chopped(1));
    QCOMPARE(controller->rootPath(), other.path().chopped(1));
    ui.type(other.path().right(1));
    QCOMPARE(controller->rootPath(), other.path());
    QCOMPARE(controller->summaryText(), before);

    QTest::keyClick(ui.window, Qt::Key_Return);
    QVERIFY(controller->summaryText().contains(QStringLiteral("Install root: ") + other.path()));

    // Rescan takes the field's text and refreshes as well.
    ui.type(QStringLiteral("/sub"));
    ui.click(QStringLiteral("rescanButton"));
    QVERIFY(controller->summaryText().contains(QStringLiteral("Install root: ") + other.path() + "/sub"));
}

void TestMainWindow::scrollPositionSurvivesRebuildsClamped()
{
    ControllerSandbox sandbox;
    QList<QJsonObject> packages;
    for (int i = 0; i < 60; ++i)
        packages << testPackage(QStringLiteral("pkg%1").arg(i), QStringLiteral("Package %1").arg(i));
    QVERIFY(sandbox.writeCatalog(packages));
    const auto controller = sandbox.makeController();
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());

    QQuickItem *list = ui.item(QStringLiteral("packageList"));
    const qreal bottom = list->property("contentHeight").toReal() - list->height();
    QVERIFY(bottom > 400);
    list->setProperty("contentY", bottom);
    QTRY_VERIFY(ui.items(QStringLiteral("nameCell")).constLast()->property("text") == "Package 59");

    ui.click(ui.items(QStringLiteral("packageCheck")).constLast());
    QTRY_VERIFY(ui.items(QStringLiteral("packageCheck")).constLast()->property("checked").toBool());
    QCOMPARE(list->property("contentY").toReal(), bottom);

    // "package 1" leaves 12 rows: back to the new, shorter bottom, or to the top when all fit.
    const auto bottomNow
        = [list] { return std::max(0.0, list->property("contentHeight").toReal() - list->height()); };
    ui.retype(QStringLiteral("searchField"), QStringLiteral("package 1"));
    QTRY_COMPARE(list->property("count").toInt(), 12);
    QTRY_VERIFY(bottomNow() < bottom);
    QTRY_COMPARE(list->property("contentY").toReal(), bottomNow());
    ui.retype(QStringLiteral("searchField"), QStringLiteral("package 59"));
    QTRY_COMPARE(list->property("count").toInt(), 2);
    QTRY_COMPARE(list->property("contentY").toReal(), 0.0);
}

void TestMainWindow::rowTapsAndBoxClicks()
{
    InstallerStandIn installer;
    QVERIFY(copySampleState(installer));
    WindowUnderTest ui(&installer);
    QVERIFY(ui.exposed());

    // The first row is the "Vexa" group header, the second its support package.
    QQuickItem *list = ui.item(QStringLiteral("packageList"));
    ui.click(list, QPointF(list->width() / 2, 17));
    QCOMPARE(installer.calls, QStringList());
    ui.click(ui.item(QStringLiteral("nameCell")));
    ui.click(ui.item(QStringLiteral("packageCheck")));
    QCOMPARE(installer.calls,
        QStringList({ QStringLiteral("selectPackage com.company.vexa.cmake_support"),
            QStringLiteral("togglePackage com.company.vexa.cmake_support false") }));
    // The box waits for the controller.
    QVERIFY(ui.item(QStringLiteral("packageCheck"))->property("checked").toBool());
}

void TestMainWindow::busyOverlay()
{
    InstallerStandIn installer;
    QVERIFY(copySampleState(installer));
    WindowUnderTest ui(&installer);
    QVERIFY(ui.exposed());
    QVERIFY(!ui.item(QStringLiteral("busyOverlay")));

    installer.setProperty("statusText", QStringLiteral("Applying changes..."));
    installer.setProperty("busy", true);
    QVERIFY(ui.item(QStringLiteral("busyOverlay")));
    QCOMPARE(ui.item(QStringLiteral("busyCard"))->height(), 210.0);
    QCOMPARE(ui.text(QStringLiteral("busyStatusText")), QStringLiteral("Applying changes..."));
    for (const char *name : { "rootField", "searchField", "browseButton", "rescanButton", "applyButton" })
        QVERIFY2(!ui.item(QLatin1String(name))->isEnabled(), name);

    installer.setProperty("statusText", QStringLiteral("Downloading Qt 6 [iv2] (45%)"));
    installer.setProperty("downloadEntries",
        QVariantList {
            downloadRow(QStringLiteral("Vexa CMake Support"), QStringLiteral("Completed"), false, true),
            downloadRow(QStringLiteral("Qt 6"), QStringLiteral("45%"), true, false),
            downloadRow(QStringLiteral("OpenCV"), QStringLiteral("Queued"), false, false) });
    QCOMPARE(ui.item(QStringLiteral("busyCard"))->height(), 360.0);
    const QList<QQuickItem *> statuses = ui.items(QStringLiteral("downloadStatus"));
    QCOMPARE(statuses.size(), 3);
    QCOMPARE(statuses.at(0)->property("text").toString(), QStringLiteral("Done"));
    QCOMPARE(statuses.at(1)->property("text").toString(), QStringLiteral("45%"));
    QCOMPARE(statuses.at(2)->property("text").toString(), QStringLiteral("Queued"));
    QTRY_VERIFY(ui.saveScreenshot(QStringLiteral("mainwindow-busy.png")));

    // The overlay is a plain layer: package boxes stay reachable (the controller ignores them).
    ui.click(ui.item(QStringLiteral("packageCheck")));
    QCOMPARE(installer.calls,
        QStringList { QStringLiteral("togglePackage com.company.vexa.cmake_support false") });
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
