#include "engine/archivecache.h"

#include "archive/filedigest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStorageInfo>

#include <algorithm>

namespace vexa {

namespace {

// Every name the cache gives a file; anything else in the folder is left alone.
const QRegularExpression &cacheFileNamePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{64}\\.(zip|part|part\\.json|lock)$"));
    return pattern;
}

} // namespace

QString archiveCacheDirectory()
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return location.isEmpty() ? QString() : QDir::cleanPath(location + QStringLiteral("/archives"));
}

bool isCacheableArchive(const PackageDefinition &package)
{
    static const QRegularExpression digest(QStringLiteral("^[0-9a-fA-F]{64}$"));
    return digest.match(package.sha256).hasMatch();
}

QString cachedArchiveName(const QString &sha256)
{
    return sha256.toLower() + QStringLiteral(".zip");
}

QString partName(const QString &sha256)
{
    return sha256.toLower() + QStringLiteral(".part");
}

QString partRecordName(const QString &sha256)
{
    return sha256.toLower() + QStringLiteral(".part.json");
}

QString cacheLockName(const QString &sha256)
{
    return sha256.toLower() + QStringLiteral(".lock");
}

bool isIntactArchive(const PackageDefinition &package, const QString &path)
{
    const QFileInfo info(path);
    // The size is known without reading a byte.
    if (!info.isFile() || (package.size_bytes > 0 && info.size() != package.size_bytes))
        return false;
    QString errorText;
    return sha256OfFile(path, errorText).compare(package.sha256, Qt::CaseInsensitive) == 0;
}

void markArchiveUsed(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
}

qint64 archiveCacheCap(qint64 freeBytes)
{
    return qMin(ArchiveCacheMaxBytes, qMax(qint64(0), freeBytes) / 4);
}

void trimArchiveCache(
    const QString &directory, const QSet<QString> &keep, qint64 capBytes, const QDateTime &now)
{
    const QDateTime staleBefore = now.addDays(-StalePartDays);
    QFileInfoList archives;
    qint64 total = 0;
    const QFileInfoList entries
        = QDir(directory).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &entry : entries) {
        if (!cacheFileNamePattern().match(entry.fileName()).hasMatch())
            continue;
        if (entry.suffix() == QLatin1String("zip")) {
            archives.append(entry);
            total += entry.size();
        } else if (entry.lastModified() < staleBefore) {
            QFile::remove(entry.absoluteFilePath());
        }
    }
    // Oldest use first; using an archive marks it (markArchiveUsed).
    std::sort(archives.begin(), archives.end(),
        [](const QFileInfo &a, const QFileInfo &b) { return a.lastModified() < b.lastModified(); });
    for (const QFileInfo &archive : std::as_const(archives)) {
        if (total <= capBytes)
            break;
        if (!keep.contains(archive.absoluteFilePath()) && QFile::remove(archive.absoluteFilePath()))
            total -= archive.size();
    }
}

ArchiveCacheContents archiveCacheContents(const QString &directory)
{
    ArchiveCacheContents contents;
    const QFileInfoList entries
        = QDir(directory).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch match = cacheFileNamePattern().match(entry.fileName());
        if (!match.hasMatch())
            continue;
        const QString kind = match.captured(1);
        if (kind == QLatin1String("zip")) {
            ++contents.archives;
            contents.archiveBytes += entry.size();
        } else if (kind == QLatin1String("part")) {
            ++contents.parts;
            contents.partBytes += entry.size();
        } else if (kind == QLatin1String("part.json")) {
            contents.partBytes += entry.size();
        }
    }
    return contents;
}

bool emptyArchiveCache(
    const QString &directory, ArchiveCacheContents &removed, int &inUse, QString &errorText)
{
    removed = ArchiveCacheContents();
    inUse = 0;
    // The cache's files by digest: a digest's files go together, under its lock.
    QMap<QString, QFileInfoList> byDigest;
    const QFileInfoList entries
        = QDir(directory).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch match = cacheFileNamePattern().match(entry.fileName());
        if (match.hasMatch() && match.captured(1) != QLatin1String("lock"))
            byDigest[entry.fileName().left(64)].append(entry);
    }
    for (auto digest = byDigest.cbegin(); digest != byDigest.cend(); ++digest) {
        QLockFile lock(QDir(directory).filePath(cacheLockName(digest.key())));
        // Held only while its process lives, however long its download takes.
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0)) {
            ++inUse;
            continue;
        }
        for (const QFileInfo &entry : digest.value()) {
            const qint64 size = entry.size();
            if (!QFile::remove(entry.absoluteFilePath())) {
                errorText = QStringLiteral("Failed to remove %1 from the archive cache.")
                                .arg(entry.absoluteFilePath());
                return false;
            }
            if (entry.suffix() == QLatin1String("zip")) {
                ++removed.archives;
                removed.archiveBytes += size;
            } else {
                removed.parts += entry.fileName().endsWith(QLatin1String(".part")) ? 1 : 0;
                removed.partBytes += size;
            }
        }
    }
    return true;
}

void trimArchiveCacheAfterApply(const QSet<QString> &usedArchives)
{
    const QString directory = archiveCacheDirectory();
    if (directory.isEmpty() || !QFileInfo(directory).isDir())
        return;
    // A disk whose free space cannot be read gets the full cap rather than none.
    const qint64 freeBytes = QStorageInfo(directory).bytesAvailable();
    const qint64 cap = freeBytes >= 0 ? archiveCacheCap(freeBytes) : ArchiveCacheMaxBytes;
    trimArchiveCache(directory, usedArchives, cap, QDateTime::currentDateTimeUtc());
}

} // namespace vexa
