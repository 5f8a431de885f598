#include "app/startupsequence.h"

#include "app/clientupdatecheck.h"
#include "app/mainwindow.h"
#include "app/startupwindow.h"
#include "catalog/catalogloading.h"

#include <QApplication>
#include <QMessageBox>
#include <QSplashScreen>

namespace vexa {

namespace {

void reportCatalogError(
    QSplashScreen &splash, const QString &text, const CriticalMessagePresenter &presentCritical)
{
    // The window stays on top of everything; left open it would hide the message box.
    splash.close();
    presentCritical(CatalogErrorTitle, text);
}

} // namespace

void presentCriticalMessage(const QString &title, const QString &text)
{
    QMessageBox::critical(nullptr, title, text, QMessageBox::Ok);
}

bool loadStartupCatalog(QApplication &application, QSplashScreen &splash, const QString &catalogSource,
    LoadedCatalog &result, const CriticalMessagePresenter &presentCritical)
{
    const QString source = catalogSource.trimmed();
    showStartupStatus(application, splash, QStringLiteral("Resolving package repository..."),
        source.isEmpty() ? QStringLiteral("Using the configured default repository source.") : source);

    const ProgressCallback progress = [&application, &splash](const QString &message) {
        showStartupStatus(application, splash, message);
    };
    const ParseStartCallback parseStart = [&application, &splash](const QString &sourceLabel) {
        showStartupStatus(application, splash, QStringLiteral("Parsing package catalog..."), sourceLabel);
    };
    QString errorText;
    if (!loadCatalog(source, result, errorText, progress, parseStart)) {
        reportCatalogError(splash, errorText, presentCritical);
        return false;
    }
    return true;
}

int runStartupSequence(QApplication &application, QSplashScreen &splash, const StartupOptions &options,
    const CriticalMessagePresenter &presentCritical)
{
    splash.show();
    showStartupStatus(application, splash, QStringLiteral("Starting installer..."));

    const QString catalogSource = catalogSourceString(options);
    // Before any catalog work: once the update helper runs, start-up ends with exit code 0 so that the
    // helper can replace these files.
    if (startClientUpdateIfOffered(application, splash, options))
        return 0;

    LoadedCatalog loaded;
    if (!loadStartupCatalog(application, splash, catalogSource, loaded, presentCritical))
        return CatalogErrorExitCode;

    // The installer controller and the main window take over from here.
    return runMainWindow(application, splash, std::move(loaded));
}

} // namespace vexa
