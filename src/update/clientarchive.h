#pragma once

#include "net/progresscallback.h"
#include "update/clientmanifest.h"

#include <QString>

namespace vexa {

// The client archive download may take this long as a whole, and may stall for as long.
constexpr int ClientUpdateArchiveTimeoutMs = 300000;

// Fetches the manifest's archive into the workspace (streaming a download to disk, hashed as it is
// written and cut one byte past the published size, or copying a local file) and checks its size and
// SHA-256 where the manifest gives them. Reports "Downloading client update %1..." first. On true
// `archivePath` names the verified archive; on false the error text holds one message. A download that
// fails its checks is not kept; a local copy that fails them stays in the workspace, which belongs to
// the caller.
bool downloadClientArchive(const ClientUpdateManifest &manifest, const QString &workspaceDirectory,
    QString &archivePath, QString &errorText, const ProgressCallback &progress = {},
    int timeoutMs = ClientUpdateArchiveTimeoutMs);

} // namespace vexa
