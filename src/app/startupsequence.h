#pragma once

#include "app/commandline.h"
#include "catalog/catalogloading.h"

#include <QString>

#include <functional>

class QApplication;
class QSplashScreen;

namespace vexa {

inline const QString CatalogErrorTitle = QStringLiteral("Catalog error");
constexpr int CatalogErrorExitCode = 1;

// Shows a critical message to the user and returns once it has been acknowledged.
using CriticalMessagePresenter = std::function<void(const QString &title, const QString &text)>;

// The real presenter: a parentless critical message box with a single OK button.
void presentCriticalMessage(const QString &title, const QString &text);

// Resolves and parses the catalog named by `catalogSource`, reporting each step on the start-up
// window. On failure the window is closed, the "Catalog error" message is presented, and false is
// returned; `result` is then not to be used.
bool loadStartupCatalog(QApplication &application, QSplashScreen &splash, const QString &catalogSource,
    LoadedCatalog &result, const CriticalMessagePresenter &presentCritical);

// Start-up after the command line has been read: shows the window, loads the catalog and returns
// the process exit code.
int runStartupSequence(QApplication &application, QSplashScreen &splash, const StartupOptions &options,
    const CriticalMessagePresenter &presentCritical);

} // namespace vexa
