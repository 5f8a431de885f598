#pragma once

#include "updater/updateroptions.h"

#include <QString>

namespace vexa {

// How long the helper waits for the installer to exit before it gives up.
constexpr int InstallerExitWaitMs = 120000;

// The caption of every failure the helper reports.
inline const QString UpdateFailedCaption = QStringLiteral("Vexa Installer Update Failed");

// Waits for the installer to exit, unpacks the archive, checks that the install directory holds nothing
// but releases' own entries, builds the new install directory beside the old one and puts it on disk,
// swaps the two, clears the record of a failed update and relaunches the installer from its directory.
// Until the swap the installed client is untouched; after a failure nothing is cleaned up and nothing
// is relaunched, and the installer's record of the failed version stays. On failure returns false with
// one message.
bool applyClientUpdate(
    const UpdaterOptions &options, QString &errorText, int exitWaitMs = InstallerExitWaitMs);

} // namespace vexa
