#pragma once

#include "net/progresscallback.h"
#include "update/clientmanifest.h"

#include <QString>

namespace vexa {

// The whole client archive download may take this long.
constexpr int ClientUpdateArchiveTimeoutMs = 300000;

// Fetches the manifest's archive into the workspace (downloading it or copying a local file) and checks
// its size and SHA-256 where the manifest gives them. Reports "Downloading client update %1..." first.
// On true `archivePath` names the verified archive; on false the error text holds one message, and
// whatever arrived stays in the workspace, which belongs to the caller.
bool downloadClientArchive(const ClientUpdateManifest &manifest, const QString &workspaceDirectory,
    QString &archivePath, QString &errorText, const ProgressCallback &progress = {},
    int timeoutMs = ClientUpdateArchiveTimeoutMs);

} // namespace vexa
