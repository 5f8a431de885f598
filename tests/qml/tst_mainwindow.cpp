#include "app/mainwindow.h"
#include "catalog/catalogsource.h"
#include "controllersandbox.h"
#include "engine/rootinspection.h"
#include "support/cmakeconsumer.h"
#include "support/testenvironment.h"
#include "support/testfiles.h"

#include <QAccessible>
#include <QClipboard>
#include <QFontMetricsF>
#include <QPointer>
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
    explicit WindowUnderTest(InstallerController *installer)
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
    // A popup, once the window has made it (it does so when first needed).
    QObject *popup(const QString &name) const { return window->findChild<QObject *>(name); }
    bool isOpen(const QString &popupName) const
    {
        const QObject *shown = popup(popupName);
        return shown && shown->property("opened").toBool();
    }

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
    // QTest types into widgets only; a window gets one key at a time. "\b" is Backspace.
    void type(const QString &text) const
    {
        for (const QChar c : text) {
            if (c == QLatin1Char('\b'))
                QTest::keyClick(window, Qt::Key_Backspace);
            else
                QTest::keyClick(window, c.toLatin1());
        }
    }
    // The named item that holds the keyboard's focus (a list, for the focus on one of its rows).
    QString focusName() const
    {
        const QQuickItem *focused = window->activeFocusItem();
        while (focused && focused->objectName().isEmpty())
            focused = focused->parentItem();
        return focused ? focused->objectName() : QString();
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

    // Finds the package titled `title` through the search field, as a person would, and clicks its box
    // unless it already shows `ticked`; true once it does.
    bool tick(const QString &title, bool ticked) const
    {
        retype(QStringLiteral("searchField"), title);
        const auto shows = [&] {
            const QQuickItem *box = boxOf(title);
            return box && box->property("checked").toBool() == ticked;
        };
        if (!shows() && boxOf(title))
            click(boxOf(title));
        return QTest::qWaitFor(shows, 2000);
    }
    // From the sample's default selection to nlohmann_json alone, whose CMake support comes with it.
    bool tickOnlyJson() const
    {
        for (const char *title :
            { "Qt 6", "OpenCV", "OpenSSL", "CMake", "Ninja", "nlohmann_json", "Vexa CMake Support" }) {
            if (!tick(QLatin1String(title), false))
                return false;
        }
        const bool ticked = tick(QStringLiteral("nlohmann_json"), true);
        retype(QStringLiteral("searchField"), QString());
        return ticked;
    }
    // Waits for the message popup to open with `title`; its body, or a note on what showed instead.
    QString awaitMessage(const QString &title, int timeoutMs = 30000) const
    {
        if (!QTest::qWaitFor([&] { return isOpen(QStringLiteral("messagePopup")); }, timeoutMs))
            return QStringLiteral("<no message>");
        const QObject *message = popup(QStringLiteral("messagePopup"));
        const QString shown = message->property("titleText").toString();
        const QString body = message->property("bodyText").toString();
        return shown == title ? body : QStringLiteral("<%1: %2>").arg(shown, body);
    }
    bool closeMessage() const
    {
        QTest::keyClick(window, Qt::Key_Escape);
        return QTest::qWaitFor([&] { return !isOpen(QStringLiteral("messagePopup")); }, 2000);
    }

    // Saves the window as the tests' artifact `name` (a PNG under the build tree).
    bool saveScreenshot(const QString &name) const
    {
        return window->grabWindow().save(QStringLiteral(VEXA_SCREENSHOT_DIR "/") + name);
    }

    QQmlApplicationEngine engine;
    QQuickWindow *window;
};

// The items of the window that a person reaches: buttons, fields, check boxes, lists and text wells
// (a text well is a list of lines).
bool isControl(const QQuickItem *item)
{
    static const QStringList types { QStringLiteral("QQuickButton"), QStringLiteral("QQuickTextField"),
        QStringLiteral("QQuickListView"), QStringLiteral("PackageCheck") };
    for (const QMetaObject *meta = item->metaObject(); meta; meta = meta->superClass()) {
        if (types.contains(QString::fromLatin1(meta->className()).section(QLatin1Char('_'), 0, 0)))
            return true;
    }
    return false;
}

void collectControls(QQuickItem *item, QList<QQuickItem *> &found)
{
    if (!item->isVisible())
        return;
    if (isControl(item))
        found << item;
    for (QQuickItem *child : item->childItems())
        collectControls(child, found);
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
    void applyClick_data();
    void applyClick();
    void cancelledRemovalLeavesThePlan();
    void blockedUntickKeepsTheBoxAndShowsTheMessage();
    void rootFieldRefreshesOnlyWhenEditingFinishes();
    void focusLeavingTheRootFieldKeepsTheTicks_data();
    void focusLeavingTheRootFieldKeepsTheTicks();
    void fieldsKeepWhatIsTyped_data();
    void fieldsKeepWhatIsTyped();
    void scrollPositionSurvivesRebuildsClamped();
    void rowTaps();
    void minimumSizeKeepsEveryColumnReadable();
    void keyboardReachesEveryControlInReadingOrder();
    void everyControlHasAnAccessibleName();
    void textWellsAreReadAndCopiedAsText();
    void busyOverlay();
    void installBuildAndRemoveThroughTheWindow();
    void failedApplyThenRetry();
    void preflightRefusalIsTheApplyFailure();
    void cutDownloadGoesOnFromItsPercentage();
};

void TestMainWindow::initTestCase()
{
    QVERIFY(QDir().mkpath(QStringLiteral(VEXA_SCREENSHOT_DIR)));
}

void TestMainWindow::init()
{
    // A binding that fails in the window's documents (a misspelt id or property) only warns at run time.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("qrc:/CompanyVexaInstaller/")));
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
    QCOMPARE(ui.text(QStringLiteral("summaryText")), controller->summaryText());
    QCOMPARE(ui.text(QStringLiteral("cmakeHelpText")), controller->cmakeHelpText());
    QCOMPARE(ui.text(QStringLiteral("rootField")), root.path());
    QCOMPARE(ui.item(QStringLiteral("packageList"))->property("count").toInt(),
        controller->packageEntries().size());
    // The summary's columns line up when every character advances alike, whatever "Consolas" resolves
    // to here (some monospaced faces are not flagged as fixed pitch).
    const QFontMetricsF metrics(ui.item(QStringLiteral("summaryText"))->property("font").value<QFont>());
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char(' ')), metrics.horizontalAdvance(QLatin1Char('W')));
    QVERIFY(ui.saveScreenshot(QStringLiteral("mainwindow-idle.png")));
}

void TestMainWindow::documentWithoutAWindowLoadsNothing()
{
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("Broken.qml"));
    QVERIFY(writeTestFile(broken, QByteArray("import QtQuick\nItem { width: }\n")));
    QQmlApplicationEngine engine;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Broken.qml")));
    QTest::ignoreMessage(QtWarningMsg, "QQmlApplicationEngine failed to load component");
    QVERIFY(!loadMainWindow(engine, nullptr, QUrl::fromLocalFile(broken)));
}

void TestMainWindow::applyClick_data()
{
    QTest::addColumn<QString>("toggle");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("applied");

    // Ninja is installed: unticking it removes it, ticking JSON installs it.
    QTest::newRow("no removals: applied at once") << "+" + ids::Json << QString() << true;
    QTest::newRow("removals: Continue applies") << "-" + ids::Ninja << "confirmContinueButton" << true;
    QTest::newRow("removals: Enter applies") << "-" + ids::Ninja << "Enter" << true;
    QTest::newRow("removals: Escape closes") << "-" + ids::Ninja << "Escape" << false;
    QTest::newRow("removals: Tab to Cancel, Enter closes") << "-" + ids::Ninja << "Tab Enter" << false;
    QTest::newRow("removals: a press outside is ignored") << "-" + ids::Ninja << "outside" << false;
}

void TestMainWindow::applyClick()
{
    QFETCH(QString, toggle);
    QFETCH(QString, answer);
    QFETCH(bool, applied);

    ControllerSandbox sandbox;
    const auto controller = standardController(sandbox, { ids::Ninja });
    QVERIFY(controller);
    applyToggles(*controller, { toggle });
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());
    QSignalSpy busy(controller.get(), &InstallerController::busyChanged);

    ui.click(QStringLiteral("applyButton"));
    const QString confirm = QStringLiteral("confirmPopup");
    QCOMPARE(ui.isOpen(confirm), !answer.isEmpty());
    if (!answer.isEmpty()) {
        QTRY_VERIFY(ui.item(QStringLiteral("confirmBodyText")));
        QCOMPARE(ui.text(QStringLiteral("confirmBodyText")), controller->removalConfirmationText());
        if (answer == QLatin1String("Escape"))
            QTest::keyClick(ui.window, Qt::Key_Escape);
        else if (answer == QLatin1String("Enter"))
            QTest::keyClick(ui.window, Qt::Key_Return);
        else if (answer == QLatin1String("Tab Enter")) {
            // The buttons in reading order: from "Continue", where the popup opens, back to "Cancel".
            QTest::keyClick(ui.window, Qt::Key_Tab);
            QCOMPARE(ui.focusName(), QStringLiteral("confirmCancelButton"));
            QTest::keyClick(ui.window, Qt::Key_Return);
        } else if (answer == QLatin1String("outside"))
            QTest::mouseClick(ui.window, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        else
            ui.click(answer);
        QTRY_COMPARE(ui.isOpen(confirm), answer == QLatin1String("outside"));
    }
    QCOMPARE(!busy.isEmpty(), applied);
    QTRY_VERIFY(!controller->busy());
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

void TestMainWindow::focusLeavingTheRootFieldKeepsTheTicks_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("refreshes");
    QTest::addColumn<bool>("applied");

    QTest::newRow("Apply Changes applies the ticks") << "applyButton" << 0 << true;
    QTest::newRow("Rescan refreshes once") << "rescanButton" << 1 << false;
}

void TestMainWindow::focusLeavingTheRootFieldKeepsTheTicks()
{
    QFETCH(QString, button);
    QFETCH(int, refreshes);
    QFETCH(bool, applied);

    ControllerSandbox sandbox;
    const auto controller = standardController(sandbox, { ids::Ninja });
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());

    // Into the field to read the root, then a tick: check boxes take no focus.
    ui.click(QStringLiteral("rootField"));
    ui.click(ui.boxOf(QStringLiteral("JSON for Modern C++")));
    QTRY_VERIFY(controller->hasChanges());
    QCOMPARE(ui.focusName(), QStringLiteral("rootField"));
    QSignalSpy plans(controller.get(), &InstallerController::planChanged);
    QSignalSpy busy(controller.get(), &InstallerController::busyChanged);

    ui.click(button);
    QCOMPARE(plans.size(), refreshes);
    QCOMPARE(!busy.isEmpty(), applied);
    QTRY_VERIFY(!controller->busy());
}

void TestMainWindow::fieldsKeepWhatIsTyped_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");

    QTest::newRow("root: backspaced to a trailing slash") << "rootField"
                                                          << "/data/vexa/sub\b\b\b"
                                                          << "/data/vexa/"
                                                          << "/data/vexa";
    QTest::newRow("root: typing on after the slash") << "rootField"
                                                     << "/data/vexa/sub\b\b\bx"
                                                     << "/data/vexa/x"
                                                     << "/data/vexa/x";
    QTest::newRow("root: a doubled slash") << "rootField"
                                           << "/data//vexa"
                                           << "/data//vexa"
                                           << "/data/vexa";
    QTest::newRow("search: backspaced to a space") << "searchField"
                                                   << "open c\b"
                                                   << "open "
                                                   << "open";
}

void TestMainWindow::fieldsKeepWhatIsTyped()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, typed);
    QFETCH(QString, stored);

    ControllerSandbox sandbox;
    const auto controller = standardController(sandbox);
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());

    ui.retype(field, keys);
    QCOMPARE(ui.text(field), typed);
    QCOMPARE(controller->property(field == QLatin1String("rootField") ? "rootPath" : "searchText").toString(),
        stored);
    // Once editing has finished, the field shows what the controller keeps.
    QTest::keyClick(ui.window, Qt::Key_Tab);
    QCOMPARE(ui.text(field), stored);
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

void TestMainWindow::rowTaps()
{
    QTemporaryDir root;
    const auto controller = sampleController(root);
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());
    QSignalSpy help(controller.get(), &InstallerController::cmakeHelpTextChanged);

    // The first row is the "Vexa" group header, which has no tap action; the second its support package.
    QQuickItem *list = ui.item(QStringLiteral("packageList"));
    ui.click(list, QPointF(list->width() / 2, 17));
    QVERIFY(help.isEmpty());
    ui.click(ui.item(QStringLiteral("nameCell")));
    QCOMPARE(help.size(), 1);
    QCOMPARE(packageRowById(controller->packageEntries(), QStringLiteral("com.company.vexa.cmake_support"))
                 .value(QStringLiteral("active")),
        true);
}

void TestMainWindow::minimumSizeKeepsEveryColumnReadable()
{
    QTemporaryDir root;
    const auto controller = sampleController(root);
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());
    ui.window->resize(ui.window->minimumSize());
    QTRY_COMPARE(ui.item(QStringLiteral("packageList"))->width(), 664.0);

    // Toolchain and versions stay whole and the pills inside their card; only names may elide. The rows
    // lay themselves out again with the next frame.
    const auto unreadable = [&ui] {
        QStringList cellsCut;
        for (QQuickItem *card : ui.items(QStringLiteral("packageCard"))) {
            QList<QQuickItem *> cells;
            for (const char *name : { "versionCell", "internalVersionCell", "toolchainCell", "statusPill" })
                collectItems(card, QLatin1String(name), cells);
            for (QQuickItem *cell : cells.first(3)) {
                if (cell->property("truncated").toBool())
                    cellsCut << cell->property("text").toString();
            }
            const QRectF pill = cells.constLast()->mapRectToItem(card, cells.constLast()->boundingRect());
            if (pill.right() > card->width())
                cellsCut << cells.constLast()->property("label").toString();
        }
        return cellsCut;
    };
    QVERIFY(ui.items(QStringLiteral("packageCard")).size() > 5);
    QTRY_COMPARE(unreadable(), QStringList());
    QVERIFY(ui.saveScreenshot(QStringLiteral("mainwindow-minimum.png")));
}

void TestMainWindow::keyboardReachesEveryControlInReadingOrder()
{
    QTemporaryDir root;
    const auto controller = sampleController(root);
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());

    QStringList reached;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(ui.window, Qt::Key_Tab);
        reached << ui.focusName();
    }
    QCOMPARE(reached,
        QStringList({ "rootField", "browseButton", "rescanButton", "searchField", "packageList",
            "applyButton", "rootField" }));
    // A ring shows where the keyboard is, on buttons as on the list's current row.
    QTest::keyClick(ui.window, Qt::Key_Tab);
    QCOMPARE(ui.focusName(), QStringLiteral("browseButton"));
    QCOMPARE(ui.items(QStringLiteral("focusRing")).size(), 1);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(ui.window, Qt::Key_Tab);
    QCOMPARE(ui.focusName(), QStringLiteral("packageList"));
    QCOMPARE(ui.items(QStringLiteral("focusRing")).size(), 1);

    // In the list: the first row is the "Vexa" header, the second its support package, ticked by the
    // default selection. Enter selects it; Space asks to untick it, which its dependents prevent.
    QTest::keyClick(ui.window, Qt::Key_Down);
    QTest::keyClick(ui.window, Qt::Key_Return);
    QVERIFY(ui.saveScreenshot(QStringLiteral("mainwindow-keyboard.png")));
    QVERIFY(packageRowById(controller->packageEntries(), QStringLiteral("com.company.vexa.cmake_support"))
                .value(QStringLiteral("active"))
                .toBool());
    QTest::keyClick(ui.window, Qt::Key_Space);
    QVERIFY(ui.awaitMessage(QStringLiteral("Dependency required")).startsWith(QStringLiteral("You cannot")));
    QVERIFY(ui.closeMessage());
    // Past the "Frameworks" header to "Qt 6", which nothing selected depends on.
    QTest::keyClick(ui.window, Qt::Key_Down);
    QTest::keyClick(ui.window, Qt::Key_Down);
    QTest::keyClick(ui.window, Qt::Key_Space);
    QVERIFY(!packageRowById(controller->packageEntries(), QStringLiteral("com.company.vexa.qt6"))
                 .value(QStringLiteral("checked"))
                 .toBool());
}

void TestMainWindow::everyControlHasAnAccessibleName()
{
    ControllerSandbox sandbox;
    const auto controller = standardController(sandbox, { ids::Ninja });
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());
    // Both popups open, so that their buttons count too.
    ui.click(ui.boxOf(QStringLiteral("Ninja")));
    QTRY_VERIFY(controller->hasChanges());
    ui.click(QStringLiteral("applyButton"));
    Q_EMIT controller->messageRequested(QStringLiteral("Title"), QStringLiteral("Body"));
    QTRY_VERIFY(ui.isOpen(QStringLiteral("messagePopup")) && ui.isOpen(QStringLiteral("confirmPopup")));

    QList<QQuickItem *> controls;
    collectControls(ui.window->contentItem(), controls);
    QVERIFY(controls.size() > 20);
    for (QQuickItem *control : controls) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(),
            qPrintable(control->metaObject()->className() + QStringLiteral(" ") + control->objectName()));
    }
}

void TestMainWindow::textWellsAreReadAndCopiedAsText()
{
    QTemporaryDir root;
    const auto controller = sampleController(root);
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());
    const QStringList summary = controller->summaryText().split(QLatin1Char('\n'));
    QQuickItem *well = ui.item(QStringLiteral("summaryText"));
    // The item of line `index`, while it is in view.
    const auto line = [well](int index) -> QQuickItem * {
        for (QQuickItem *item : well->property("contentItem").value<QQuickItem *>()->childItems()) {
            if (item->property("line").isValid() && item->property("index").toInt() == index)
                return item;
        }
        return nullptr;
    };
    // A point in line `index`: at its start, or past its end (in the last of its wrapped rows).
    const auto point = [&](int index, bool end) {
        QQuickItem *item = line(index);
        return item->mapToScene(end ? QPointF(item->width() - 2, item->height() - 2) : QPointF(0, 4))
            .toPoint();
    };
    // What a line shows selected (drawn by the text edit the line gets while it holds a selection).
    const auto selectedIn = [](QQuickItem *item) {
        for (const QQuickItem *edit : item->findChildren<QQuickItem *>()) {
            if (edit->property("selectedText").isValid())
                return edit->property("selectedText").toString();
        }
        return QString();
    };
    const auto copied = [&] {
        QTest::keyClick(ui.window, Qt::Key_C, Qt::ControlModifier);
        return QGuiApplication::clipboard()->text();
    };

    // A drag from the first line's start to past the second line's end.
    QTest::mousePress(ui.window, Qt::LeftButton, Qt::NoModifier, point(0, false));
    QTest::mouseMove(ui.window, point(1, true));
    QTest::mouseRelease(ui.window, Qt::LeftButton, Qt::NoModifier, point(1, true));
    QCOMPARE(selectedIn(line(0)), summary.at(0));
    QCOMPARE(copied(), summary.first(2).join(QLatin1Char('\n')));
    // A double click takes a word; Shift+click extends from there.
    QTest::mouseDClick(ui.window, Qt::LeftButton, Qt::NoModifier, point(0, false) + QPoint(12, 0));
    QCOMPARE(copied(), QStringLiteral("Install"));
    QTest::mouseClick(ui.window, Qt::LeftButton, Qt::ShiftModifier, point(0, true));
    QCOMPARE(copied(), summary.at(0));
    QTest::keyClick(ui.window, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(copied(), controller->summaryText());
    // Scrolled to the end, a double click still takes the word under the pointer.
    QMetaObject::invokeMethod(well, "positionViewAtEnd");
    QTRY_VERIFY(line(int(summary.size()) - 1) && well->property("contentY").toReal() > 100);
    QTest::mouseDClick(
        ui.window, Qt::LeftButton, Qt::NoModifier, point(int(summary.size()) - 1, false) + QPoint(12, 0));
    QCOMPARE(copied(), summary.constLast().section(QLatin1Char(' '), 0, 0));
    // Focus elsewhere takes the selection away.
    ui.click(QStringLiteral("searchField"));
    QVERIFY(selectedIn(line(int(summary.size()) - 1)).isEmpty());
}

void TestMainWindow::busyOverlay()
{
    ControllerSandbox sandbox;
    const auto controller = standardController(sandbox);
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());
    QVERIFY(!ui.item(QStringLiteral("busyOverlay")));

    // A local repository has no download rows; the overlay shows until the worker's result is handled.
    controller->apply();
    QVERIFY(ui.item(QStringLiteral("busyOverlay")));
    QCOMPARE(ui.item(QStringLiteral("busyCard"))->height(), 210.0);
    QCOMPARE(ui.text(QStringLiteral("busyStatusText")), QStringLiteral("Applying changes..."));
    QVERIFY(!ui.awaitMessage(QStringLiteral("Apply failed")).startsWith(QLatin1Char('<')));
    QVERIFY(!ui.item(QStringLiteral("busyOverlay")));
}

void TestMainWindow::installBuildAndRemoveThroughTheWindow()
{
    QTemporaryDir work;
    const ScopedEnvironmentVariable publish("VEXA_SKIP_ENV_UPDATE", std::nullopt);
    const ScopedEnvironmentVariable config("XDG_CONFIG_HOME", QFile::encodeName(work.filePath("config")));
    const QString variableFile = work.filePath(QStringLiteral("config/environment.d/60-vexa-root.conf"));
    const QString root = work.filePath(QStringLiteral("Vexa"));
    ServedSampleRepository served(TestHttpServer::Https);
    QVERIFY(served.start());
    const auto controller = served.makeController(QStringLiteral("/not/chosen/yet"));
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());

    ui.retype(QStringLiteral("rootField"), root);
    QTest::keyClick(ui.window, Qt::Key_Return);
    QVERIFY(ui.tickOnlyJson());
    QCOMPARE(ui.item(QStringLiteral("installMetric"))->property("value").toString(), QStringLiteral("2"));

    // Each row's statuses in the order it showed them.
    QList<QStringList> shown;
    connect(controller.get(), &InstallerController::downloadEntriesChanged, [&] {
        const QVariantList rows = controller->downloadEntries();
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QString status = rows.at(i).toMap().value(QStringLiteral("statusText")).toString();
            if (shown.size() <= i)
                shown.append(QStringList());
            if (shown[i].value(shown[i].size() - 1) != status)
                shown[i].append(status);
        }
    });
    ui.click(QStringLiteral("applyButton"));

    // Mid-download: the overlay shows the controller's rows, and the editing controls are disabled.
    const auto statuses = [&ui] {
        QStringList texts;
        for (const QQuickItem *status : ui.items(QStringLiteral("downloadStatus")))
            texts << status->property("text").toString();
        return texts;
    };
    QTRY_VERIFY(statuses().join(' ').contains(QLatin1Char('%')));
    // A progress line changes its row's texts; no row is built again.
    QList<QPointer<QQuickItem>> rows;
    for (QQuickItem *status : ui.items(QStringLiteral("downloadStatus")))
        rows << status;
    const QStringList before = statuses();
    QTRY_VERIFY(statuses() != before);
    QVERIFY(std::all_of(rows.cbegin(), rows.cend(), [](const QPointer<QQuickItem> &row) { return row; }));
    QCOMPARE(ui.item(QStringLiteral("busyCard"))->height(), 360.0);
    QCOMPARE(ui.text(QStringLiteral("busyStatusText")), controller->statusText());
    QStringList expected;
    for (const QVariant &row : controller->downloadEntries()) {
        const QVariantMap entry = row.toMap();
        expected << (entry.value("completed").toBool() ? QStringLiteral("Done")
                                                       : entry.value("statusText").toString());
    }
    QCOMPARE(statuses(), expected);
    QCOMPARE(ui.text(QStringLiteral("applyButton")), QStringLiteral("Applying..."));
    for (const char *name : { "rootField", "searchField", "browseButton", "rescanButton", "applyButton" })
        QVERIFY2(!ui.item(QLatin1String(name))->isEnabled(), name);
    QVERIFY(ui.saveScreenshot(QStringLiteral("mainwindow-applying.png")));
    // Package boxes stay reachable under the overlay; the busy controller ignores them.
    const QVariantList packageRows = controller->packageEntries();
    ui.click(ui.item(QStringLiteral("packageCheck")));
    QCOMPARE(controller->packageEntries(), packageRows);

    QCOMPARE(ui.awaitMessage(QStringLiteral("Vexa ready")),
        QStringLiteral(
            "Changes applied successfully. Restart terminals and VS Code so VEXA_ROOT is refreshed."));
    const QRegularExpression downloadStates(QStringLiteral("^Queued Starting\\.\\.\\.( \\d+%)+ Completed$"));
    QVERIFY(!controller->hasChanges());
    QCOMPARE(shown.size(), 2);
    for (const QStringList &states : shown)
        QVERIFY2(downloadStates.match(states.join(' ')).hasMatch(), qPrintable(states.join(' ')));
    QVERIFY(ui.closeMessage());

    // The root as a user finds it: manifests, a rescan that reads it as current, VEXA_ROOT, a build.
    QCOMPARE(readStateRecords(root + QStringLiteral("/manifest/state.json")).size(), 2);
    QVERIFY(QFile::exists(root + QStringLiteral("/manifest/installed-packages.json")));
    ui.click(QStringLiteral("rescanButton"));
    QVERIFY(!controller->hasChanges());
    for (const char *id : { "com.company.vexa.cmake_support", "com.company.vexa.nlohmann_json" })
        QCOMPARE(
            packageRowById(controller->packageEntries(), QLatin1String(id)).value("statusKey").toString(),
            QStringLiteral("installed"));
    QCOMPARE(readTestFile(variableFile), QStringLiteral("VEXA_ROOT=%1\n").arg(root).toUtf8());
    QString errorText;
    QVERIFY2(buildNlohmannJsonConsumer(root, work.filePath(QStringLiteral("consumer")), errorText),
        qPrintable(errorText));

    // Everything unticked and the removal confirmed: no package files, no manifests, no variable.
    QVERIFY(ui.tick(QStringLiteral("nlohmann_json"), false));
    QVERIFY(ui.tick(QStringLiteral("Vexa CMake Support"), false));
    ui.click(QStringLiteral("applyButton"));
    QTRY_VERIFY(ui.item(QStringLiteral("confirmContinueButton")));
    ui.click(QStringLiteral("confirmContinueButton"));
    QVERIFY(!ui.awaitMessage(QStringLiteral("Vexa ready")).startsWith(QLatin1Char('<')));
    QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList { QStringLiteral("manifest") });
    QVERIFY(QDir(root + QStringLiteral("/manifest"))
                .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    QVERIFY(!QFile::exists(variableFile));
}

void TestMainWindow::failedApplyThenRetry()
{
    QTemporaryDir root;
    ServedSampleRepository served;
    QVERIFY(served.start());
    // The second archive (dependencies come first) arrives with the right size but a wrong body.
    const QString jsonArchive = QStringLiteral("nlohmann_json-3.11.3-iv1.zip");
    const QByteArray rightBody = readTestFile(served.archive(jsonArchive));
    const QByteArray wrongBody(rightBody.size(), 'x');
    QVERIFY(writeTestFile(served.archive(jsonArchive), wrongBody));
    const auto controller = served.makeController(root.path());
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());
    QVERIFY(ui.tickOnlyJson());

    ui.click(QStringLiteral("applyButton"));
    QCOMPARE(ui.awaitMessage(QStringLiteral("Apply failed")),
        QStringLiteral("SHA-256 mismatch for nlohmann_json [iv1]. Expected "
                       "ff62179f8552cb4d84193ff0ff886712eed118f21b912d42cfef09d23f19fe72, got %1.")
            .arg(sha256HexOf(wrongBody)));
    QVERIFY(ui.closeMessage());

    // A rescan reads the root by its files: the support package arrived whole, nlohmann_json not at all.
    ui.click(QStringLiteral("rescanButton"));
    const auto statusOf = [&controller](const char *id) {
        return packageRowById(controller->packageEntries(), QLatin1String(id)).value("statusKey").toString();
    };
    QCOMPARE(statusOf("com.company.vexa.cmake_support"), QStringLiteral("installed"));
    QCOMPARE(statusOf("com.company.vexa.nlohmann_json"), QStringLiteral("available"));
    QVERIFY(!QFile::exists(root.filePath(QStringLiteral("nlohmann_json"))));

    // With the server fixed, the next apply completes.
    QVERIFY(writeTestFile(served.archive(jsonArchive), rightBody));
    QVERIFY(ui.tick(QStringLiteral("nlohmann_json"), true));
    ui.click(QStringLiteral("applyButton"));
    QVERIFY(!ui.awaitMessage(QStringLiteral("Vexa ready")).startsWith(QLatin1Char('<')));
    QCOMPARE(statusOf("com.company.vexa.nlohmann_json"), QStringLiteral("installed"));
    QVERIFY(!controller->hasChanges());
}

// The checks before an apply fail it as any failure does, before anything is fetched or written.
void TestMainWindow::preflightRefusalIsTheApplyFailure()
{
    QTemporaryDir work;
    const QString file = work.filePath(QStringLiteral("a-file"));
    QVERIFY(writeTestFile(file, "kept"));
    ServedSampleRepository served;
    QVERIFY(served.start());
    const auto controller = served.makeController(file + QStringLiteral("/root"));
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());
    QVERIFY(ui.tickOnlyJson());

    const qint64 sentBefore = served.server().bytesSent();
    ui.click(QStringLiteral("applyButton"));
    QCOMPARE(ui.awaitMessage(QStringLiteral("Apply failed")),
        QStringLiteral("The install root %1/root cannot be created in %1.").arg(file));
    QCOMPARE(served.server().bytesSent(), sentBefore);
    QCOMPARE(readTestFile(file), QByteArray("kept"));
}

void TestMainWindow::cutDownloadGoesOnFromItsPercentage()
{
    QTemporaryDir root;
    ServedSampleRepository served;
    QVERIFY(served.start());
    const qint64 supportSize
        = QFileInfo(served.archive(QStringLiteral("vexa-cmake-support-1.4.0-iv1.zip"))).size();
    const qint64 jsonSize = QFileInfo(served.archive(QStringLiteral("nlohmann_json-3.11.3-iv1.zip"))).size();
    const auto controller = served.makeController(root.path());
    QVERIFY(controller);
    WindowUnderTest ui(controller.get());
    QVERIFY(ui.exposed());
    QVERIFY(ui.tickOnlyJson());
    // The statuses the first row (the support package, fetched first) showed, in order.
    QStringList shown;
    connect(controller.get(), &InstallerController::downloadEntriesChanged, [&] {
        const QVariantList rows = controller->downloadEntries();
        const QString status = rows.value(0).toMap().value(QStringLiteral("statusText")).toString();
        if (!rows.isEmpty() && shown.value(shown.size() - 1) != status)
            shown.append(status);
    });

    // The connection breaks after two of the archive's three 1 KiB pieces.
    const qint64 cut = 2048;
    served.server().setCutAfter(cut);
    ui.click(QStringLiteral("applyButton"));
    const QString failure = ui.awaitMessage(QStringLiteral("Apply failed"));
    QVERIFY2(failure.startsWith(QStringLiteral("Failed to download Vexa CMake Support [iv1] from ")),
        qPrintable(failure));
    QVERIFY(ui.closeMessage());
    const QString reached = QStringLiteral("%1%").arg(cut * 100 / supportSize);
    QCOMPARE(shown.constLast(), reached);

    served.server().setCutAfter(-1);
    shown.clear();
    const qint64 sentBefore = served.server().bytesSent();
    ui.click(QStringLiteral("applyButton"));
    QVERIFY(!ui.awaitMessage(QStringLiteral("Vexa ready")).startsWith(QLatin1Char('<')));
    QCOMPARE(shown,
        (QStringList { QStringLiteral("Queued"), QStringLiteral("Starting..."), reached,
            QStringLiteral("100%"), QStringLiteral("Completed") }));
    QCOMPARE(served.server().bytesSent() - sentBefore, supportSize - cut + jsonSize);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
