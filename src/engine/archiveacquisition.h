#pragma once

#include "archive/sha256hasher.h"
#include "catalog/packagecatalog.h"
#include "catalog/packagedefinition.h"
#include "net/progresscallback.h"
#include "net/streamdownload.h"

#include <QString>

namespace vexa {

// Finds the package's archive in the local repository (used where it is) or downloads it, and checks
// it against the catalog's digest and size. An archive with a digest goes through the archive cache,
// where it may already be and where a download that stopped is continued (cacheddownload.h); one
// without, or one the cache cannot take, is downloaded into `downloadCacheDirectory`. On true
// `archivePath` names a verified archive; on false the error text holds one message and no partial
// download is left at the archive path.
// Progress lines: "Downloading %1 (%2%)" once per whole percent when the size is known, then
// "Downloaded %1.".
bool acquireArchive(const PackageCatalog &catalog, const QString &repositoryBase,
    const PackageDefinition &package, const QString &downloadCacheDirectory, QString &archivePath,
    QString &errorText, const ProgressCallback &progress = {},
    int inactivityTimeoutMs = DownloadInactivityTimeoutMs);

// Checks an archive already on disk against the package's "sha256" and "size_bytes" (each only when set).
bool verifyArchive(const PackageDefinition &package, const QString &archivePath, QString &errorText);

// Creates the cache directory and names the file a download of the package is stored in.
bool prepareDownloadTarget(const QString &downloadCacheDirectory, const PackageDefinition &package,
    QString &archivePath, QString &errorText);

// The file name a download of the package is cached under: the file name of "payload_archive" when it
// is a plain file name on every system (see downloadFileName), or "<sanitised package id>.zip".
QString cacheFileName(const PackageDefinition &package);

} // namespace vexa
