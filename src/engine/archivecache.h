#pragma once

#include "catalog/packagedefinition.h"

#include <QDateTime>
#include <QSet>
#include <QString>

namespace vexa {

// Archives whose catalog entry names their SHA-256 are kept between applies in the user's cache folder,
// under that digest: the same bytes are found whatever their URL or package, and a download that
// stopped leaves a part that the next one continues. Nothing in the cache is used before its size and
// digest have been checked again.

// After an apply the cache keeps at most this much, or a quarter of its disk's free space when that is
// less.
constexpr qint64 ArchiveCacheMaxBytes = qint64(20) << 30;
// Parts of downloads that nobody continued for this long are removed.
constexpr int StalePartDays = 14;

// "archives" in the user's cache location (QStandardPaths::CacheLocation); empty where there is none.
QString archiveCacheDirectory();

// Whether the package's archive goes through the cache: its "sha256" is 64 hex digits. Anything else
// could not name a file safely, nor ever match a download.
bool isCacheableArchive(const PackageDefinition &package);

// Names in the cache for a digest (lower-cased): the archive "<sha256>.zip", a download in progress
// "<sha256>.part" with its record "<sha256>.part.json", and the lock "<sha256>.lock" that keeps two
// installers from writing the same part.
QString cachedArchiveName(const QString &sha256);
QString partName(const QString &sha256);
QString partRecordName(const QString &sha256);
QString cacheLockName(const QString &sha256);

// The file has the package's size (when the catalog gives one) and digest. Reads it whole.
bool isIntactArchive(const PackageDefinition &package, const QString &path);
// Marks a cached archive as used now, for the least-recently-used order.
void markArchiveUsed(const QString &path);

// The cap for a disk with `freeBytes` free: ArchiveCacheMaxBytes, or a quarter of the free space.
qint64 archiveCacheCap(qint64 freeBytes);

// Removes the least recently used archives until the others fit in `capBytes`, sparing the files in
// `keep` (absolute paths), and the parts, records and locks last written more than StalePartDays
// before `now`. Only files named as the cache names them are touched.
void trimArchiveCache(
    const QString &directory, const QSet<QString> &keep, qint64 capBytes, const QDateTime &now);
// What the cache folder holds, counting only files named as the cache names them.
struct ArchiveCacheContents
{
    int archives = 0;
    qint64 archiveBytes = 0;
    // Downloads that stopped, with their records.
    int parts = 0;
    qint64 partBytes = 0;
};
ArchiveCacheContents archiveCacheContents(const QString &directory);

// Deletes every archive, part and record of the cache, digest by digest under the lock a download
// holds, so that a download running in another installer keeps its files. Files with other names are
// left alone. `inUse` counts the digests skipped for a running download. Stops at the first file that
// cannot be deleted: "Failed to remove %1 from the archive cache."
bool emptyArchiveCache(
    const QString &directory, ArchiveCacheContents &removed, int &inUse, QString &errorText);

// The trim after a successful apply: the cap for the cache's disk, the apply's archives kept.
void trimArchiveCacheAfterApply(const QSet<QString> &usedArchives);

} // namespace vexa
