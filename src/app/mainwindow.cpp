#include "app/mainwindow.h"

#include "app/startupwindow.h"
#include "app/windowcapture.h"
#include "controller/installercontroller.h"
#include "platform/defaultroot.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSplashScreen>

#include <utility>

// Generated with the QML module: registers the window's own C++ types (the row model, the controller's
// type).
void qml_register_types_CompanyVexaInstaller();

namespace vexa {

namespace {

// The text wells ask for "Consolas" so that the summary's and the guidance's columns line up. Where
// that family is missing, fontconfig's guess may be a proportional face; the system's fixed-pitch
// family keeps the columns.
void substituteFixedPitchForConsolas()
{
    const QString consolas = QStringLiteral("Consolas");
    if (QFontDatabase::families().contains(consolas, Qt::CaseInsensitive))
        return;
    const QString fixedPitch = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    if (!QFont::substitutes(consolas).contains(fixedPitch))
        QFont::insertSubstitution(consolas, fixedPitch);
}

} // namespace

QQuickWindow *loadMainWindow(QQmlApplicationEngine &engine, InstallerController *installer, const QUrl &url)
{
    static const bool registered = (qml_register_types_CompanyVexaInstaller(), true);
    Q_UNUSED(registered);
    substituteFixedPitchForConsolas();
    // The module's own documents (the window's components) are found through its directory file in
    // the resources, at ":/CompanyVexaInstaller/qmldir".
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.rootContext()->setContextProperty(QStringLiteral("installer"), installer);
    engine.setInitialProperties({ { QStringLiteral("installer"), QVariant::fromValue(installer) } });
    engine.load(url);
    const QList<QObject *> roots = engine.rootObjects();
    return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.constFirst());
}

int runMainWindow(QApplication &application, QSplashScreen &splash, LoadedCatalog loaded)
{
    // The controller inspects the root while it is built, which can take a moment on a large root.
    showStartupStatus(
        application, splash, QStringLiteral("Scanning installed packages..."), DefaultRootPath());
    InstallerController controller(std::move(loaded.catalog), loaded.repositoryBase, loaded.catalogSource);

    showStartupStatus(application, splash, QStringLiteral("Starting user interface..."));
    // Declared after the controller, so that the window's bindings are gone before the controller is.
    QQmlApplicationEngine engine;
    QQuickWindow *window = loadMainWindow(engine, &controller);
    splash.close();
    if (!window)
        return MainWindowLoadExitCode;

    const QString screenshotPath = qEnvironmentVariable(ScreenshotVariable);
    if (!screenshotPath.isEmpty())
        saveFirstFrameAndQuit(*window, screenshotPath);
    return application.exec();
}

} // namespace vexa
