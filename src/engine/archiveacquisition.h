#pragma once

#include "catalog/packagedefinition.h"
#include "engine/applyprogress.h"
#include "net/streamdownload.h"

#include <QString>

namespace vexa {

// Finds the package's archive in the local repository (used where it is) or downloads it, and checks
// it against the catalog's digest and size. A "payload_url" must be an http or https URL; any other is
// refused with a message naming it as given. An archive with a digest goes through the archive cache,
// where it may already be and where a download that stopped is continued (cacheddownload.h); one
// without, or one the cache cannot take, is downloaded into `downloadCacheDirectory` under the file
// name of "payload_archive" when that is a plain file name on every system (see downloadFileName),
// otherwise "<sanitised package id>.zip". On true `archivePath` names a verified archive; on false the
// error text holds one message and no partial download is left at the archive path.
// Progress: Downloading events (a percentage on each whole percent when the size is known, the bytes
// in between), then Downloaded.
// Whether the package's archive is fetched over the network when applied against `repositoryBase` (a
// payload_url, or a payload_archive of a remote repository) rather than read from a local repository.
bool downloadsArchive(const PackageDefinition &package, const QString &repositoryBase);

bool acquireArchive(const QString &repositoryBase, const PackageDefinition &package,
    const QString &downloadCacheDirectory, QString &archivePath, QString &errorText,
    const ApplyProgressCallback &progress = {}, int inactivityTimeoutMs = DownloadInactivityTimeoutMs);

} // namespace vexa
