#include "app/startupsequence.h"

#include "app/clientupdatecheck.h"
#include "app/mainwindow.h"
#include "app/startupwindow.h"
#include "catalog/catalogsource.h"

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
    StartupCatalog &result, const CriticalMessagePresenter &presentCritical)
{
    const QString source = catalogSource.trimmed();
    showStartupStatus(application, splash, QStringLiteral("Resolving package repository..."),
        source.isEmpty() ? QStringLiteral("Using the configured default repository source.") : source);

    CatalogPayload payload;
    QString errorText;
    const ProgressCallback progress = [&application, &splash](const QString &message) {
        showStartupStatus(application, splash, message);
    };
    if (!resolveCatalog(source, payload, errorText, progress)) {
        reportCatalogError(splash, errorText, presentCritical);
        return false;
    }

    showStartupStatus(application, splash, QStringLiteral("Parsing package catalog..."), payload.sourceLabel);
    PackageCatalog catalog;
    if (!loadFromJson(payload.data, catalog, errorText)) {
        // One multi-argument arg() so that a "%2" inside the label is never taken for a placeholder.
        reportCatalogError(splash,
            QStringLiteral("Failed to parse catalog from %1.\n\n%2").arg(payload.sourceLabel, errorText),
            presentCritical);
        return false;
    }

    const QString catalogBase = catalog.repositoryBaseUrl().trimmed();
    result.repositoryBase = catalogBase.isEmpty() ? payload.repositoryBase : catalogBase;
    result.catalogSource = source.isEmpty() ? payload.resolvedSource : source;
    result.catalog = std::move(catalog);
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

    StartupCatalog loaded;
    if (!loadStartupCatalog(application, splash, catalogSource, loaded, presentCritical))
        return CatalogErrorExitCode;

    // The installer controller and the main window take over from here.
    return runMainWindow(application, splash, std::move(loaded));
}

} // namespace vexa
