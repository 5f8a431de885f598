#pragma once

#include "app/startupsequence.h"

#include <QString>
#include <QUrl>

class QApplication;
class QQmlApplicationEngine;
class QQuickWindow;
class QSplashScreen;

namespace vexa {

class InstallerController;

inline const QString MainWindowUrlText = QStringLiteral("qrc:/CompanyVexaInstaller/src/qml/Main.qml");
constexpr int MainWindowLoadExitCode = 1;
// Set to a file path, the installer saves its main window's first frame there as PNG and quits:
// how run-sample.sh shows the window on a machine without a display, and how the start-up
// benchmark ends a whole-process run.
inline const char *const ScreenshotVariable = "VEXA_SCREENSHOT";

// Publishes `installer` to `engine` as the context property "installer", loads the window document at
// `url` and hands it `installer` as its required property of that name as well, which is how the
// window passes the controller on to its panels. Returns the window, or null when the document
// produced no window (the engine reports why on Qt's message log).
QQuickWindow *loadMainWindow(
    QQmlApplicationEngine &engine, InstallerController *installer, const QUrl &url = QUrl(MainWindowUrlText));

// The end of start-up: creates the installer controller from the loaded catalog, opens the main
// window, closes the start-up window and runs the event loop until the user closes the window.
// Returns the loop's result, or MainWindowLoadExitCode when the window did not load.
int runMainWindow(QApplication &application, QSplashScreen &splash, LoadedCatalog loaded);

} // namespace vexa
