#pragma once

#include "update/clientarchive.h"
#include "update/clientmanifest.h"
#include "update/programnames.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace vexa {

// The running installer as the hand-off sees it.
struct ClientUpdateContext
{
    // Where the installer and its update helper live; this is the directory an update replaces.
    QString programDirectory;
    ProgramNames names;
    // The process the helper waits for before it touches any file.
    qint64 processId = 0;
    int manifestTimeoutMs = ClientUpdateManifestTimeoutMs;
    int archiveTimeoutMs = ClientUpdateArchiveTimeoutMs;
    // Whose signature a manifest needs: the keys this executable was built with.
    ReleaseKeys trustedKeys = builtInReleaseKeys();
};

// The context of this very process: its executable's directory, its variant's names and its id.
ClientUpdateContext runningInstallerContext();

// Puts one start-up status on screen: a headline and a detail line that may be empty.
using StartupStatusCallback = std::function<void(const QString &headline, const QString &detail)>;

// Checks the manifest at `manifestLocation` and, when it offers a newer client whose update has not
// failed before for this program directory (see failedupdate.h), fetches and verifies the archive into
// a fresh workspace, checks that the program directory holds nothing but releases' own entries (see
// releaserecord.h), copies the update helper and the libraries beside it there and starts that copy
// detached with the update's command line. True means the helper is running and
// the installer must end now so that its files can be replaced. False means start-up goes on: with
// one message when something failed, with an empty error when there was simply nothing to do.
bool tryStartClientUpdate(const ClientUpdateContext &context, const QString &manifestLocation,
    const QStringList &launchArguments, const StartupStatusCallback &showStatus, QString &errorText);

} // namespace vexa
