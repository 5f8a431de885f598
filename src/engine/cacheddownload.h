#pragma once

#include "catalog/packagedefinition.h"
#include "engine/applyprogress.h"

#include <QString>
#include <QUrl>

namespace vexa {

enum class CachedFetch {
    Fetched, // the archive path names the verified archive in the cache
    Failed, // the error text says why, as a download without the cache would
    CacheUnavailable, // the cache could not be used (no folder, another installer is fetching the
                      // same archive); nothing was downloaded
};

// Obtains the archive of a package with a digest (isCacheableArchive) through the archive cache in
// `cacheDirectory`:
// - an archive there whose size and digest check out is used without the network, with the progress
//   events of a download that completes at once; one that does not is removed and fetched again;
// - otherwise the download goes to "<sha256>.part" beside a record of the URL and the server's
//   ETag / Last-Modified. A part that an earlier attempt left for the same URL is continued with a
//   Range request guarded by If-Range: a 206 continues it (the hash first brought up to date over
//   the bytes on disk) and the percentages go on from where it ended; a 200 starts it again from
//   zero. A 416, a 206 for another version or range, a part longer than the catalog's size, or a
//   digest or size mismatch of a continued part discards it and starts once more from zero; after
//   that a failure fails as a download without the cache would.
// - a download that stops (cut connection, time-out, a failed apply) leaves the part and its record
//   for the next attempt; one whose bytes proved wrong leaves nothing.
// The archive is only ever renamed into the cache after its size and digest checked out.
CachedFetch fetchThroughArchiveCache(const PackageDefinition &package, const QUrl &url,
    const QString &cacheDirectory, QString &archivePath, QString &errorText,
    const ApplyProgressCallback &progress, int inactivityTimeoutMs);

} // namespace vexa
