#pragma once

#include "archive/builtinreleasekeys.h"

#include <QString>

namespace vexa {

// An unreachable update server may delay start-up by at most this long.
constexpr int ClientUpdateManifestTimeoutMs = 15000;

inline const QString ClientManifestFileName = QStringLiteral("client-manifest.json");

// The published client a manifest offers.
struct ClientUpdateManifest
{
    QString version; // trimmed
    QString archiveUrl; // an absolute, fully encoded URL or a clean local path with "/" separators
    QString archiveSha256; // lower-case hex; empty: no digest check
    qint64 archiveSizeBytes = 0; // 0 or less: no size check

    bool isComplete() const;
};

// The endpoint used when neither the environment nor the repository source names a manifest.
QString defaultClientManifestUrl();

// Where the manifest is looked for: VEXA_CLIENT_UPDATE_URL; the default endpoint for a blank
// repository source; "client/client-manifest.json" beside a remote catalog or package index, or in a
// local repository (the directory itself, the directory holding a catalog file, or the parent of a
// "catalog" directory holding it); then "client-manifest.json" in or above the program directory; and
// finally the local repository's candidate even though it does not exist, so that loading names it.
QString resolveClientManifestLocation(const QString &repositorySource, const QString &programDirectory);

// Reads the manifest at a URL or path. A relative "archive_url" is taken beside the manifest (for a
// download, beside the address finally reached after redirects). With `trustedKeys`, the manifest is
// trusted only with a signature by one of them beside it ("client-manifest.json.sig") and only when
// it gives the archive's digest and size, through which the signature vouches for the archive. On
// failure returns false with one message and `manifest` is not to be used.
bool loadClientManifest(const QString &location, ClientUpdateManifest &manifest, QString &errorText,
    int timeoutMs = ClientUpdateManifestTimeoutMs, const ReleaseKeys &trustedKeys = builtInReleaseKeys());

} // namespace vexa
