#include "app/clientupdatecheck.h"

#include "app/startupwindow.h"
#include "update/clientmanifest.h"

#include <QApplication>
#include <QDebug>
#include <QSplashScreen>

namespace vexa {

bool startClientUpdateIfOffered(QApplication &application, QSplashScreen &splash,
    const StartupOptions &options, const ClientUpdateContext &context)
{
    if (options.skipSelfUpdate)
        return false;
    const QString location = options.clientUpdateUrlGiven
        ? options.clientUpdateUrl.trimmed()
        : resolveClientManifestLocation(catalogSourceString(options), context.programDirectory);
    if (location.trimmed().isEmpty())
        return false;

    const StartupStatusCallback showStatus
        = [&application, &splash](const QString &headline, const QString &detail) {
              showStartupStatus(application, splash, headline, detail);
          };
    QString errorText;
    if (tryStartClientUpdate(context, location, QCoreApplication::arguments().mid(1), showStatus, errorText))
        return true;
    if (!errorText.trimmed().isEmpty())
        qWarning() << "Client self-update check failed:" << errorText;
    return false;
}

} // namespace vexa
