#pragma once

#include "app/commandline.h"
#include "update/clientupdatehandoff.h"

class QApplication;
class QSplashScreen;

namespace vexa {

// The client self-update check of start-up, skipped by --skip-self-update and by an empty
// --client-update-url. The manifest is the one --client-update-url names, otherwise the one found for
// the repository source. Status texts go to the start-up window; a failed check is logged as one
// warning and start-up goes on. True when the update helper has been started: the installer must then
// end at once with exit code 0.
bool startClientUpdateIfOffered(QApplication &application, QSplashScreen &splash,
    const StartupOptions &options, const ClientUpdateContext &context = runningInstallerContext());

} // namespace vexa
