#include "engine/archiveacquisition.h"

#include "archive/filedigest.h"
#include "archive/pathcontainment.h"
#include "archive/printabletext.h"
#include "engine/archivecache.h"
#include "engine/archivedownload.h"
#include "engine/cacheddownload.h"
#include "net/remotesource.h"
#include "net/streamdownload.h"
#include "platform/savefile.h"
#include "platform/sha256hasher.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace vexa {

namespace {

// Catalogs are written on Windows, so "\" separates directories whatever system reads them.
QString withForwardSlashes(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

QString payloadUrlOf(const PackageDefinition &package)
{
    return package.payload_url.trimmed();
}

QUrl downloadUrl(const PackageDefinition &package, const QString &repositoryBase)
{
    const QString payloadUrl = payloadUrlOf(package);
    if (!payloadUrl.isEmpty())
        return QUrl::fromUserInput(payloadUrl);
    if (isRemoteSource(repositoryBase) && !package.payload_archive.isEmpty()) {
        const QUrl base = QUrl::fromUserInput(repositoryBase.trimmed());
        return base.resolved(QUrl(withForwardSlashes(package.payload_archive)));
    }
    return {};
}

// A payload_url names where the archive is downloaded from; one of another scheme ("file:///etc/...")
// must neither be read from this machine nor quietly stand back for payload_archive.
bool checkPayloadUrl(const PackageDefinition &package, const QUrl &url, QString &errorText)
{
    if (payloadUrlOf(package).isEmpty() || isHttpUrl(url))
        return true;
    errorText = unsafePathMessage(QStringLiteral("payload_url"), payloadUrlOf(package), displayLabel(package),
        QStringLiteral("it is not an http or https URL"));
    return false;
}

QString cacheFileName(const PackageDefinition &package)
{
    return downloadFileName(package.payload_archive, QStringLiteral("%1.zip").arg(package.package_id));
}

// Creates the folder and names the file a download of the package is stored in.
bool prepareDownloadTarget(const QString &downloadCacheDirectory, const PackageDefinition &package,
    QString &archivePath, QString &errorText)
{
    if (downloadCacheDirectory.isEmpty()) {
        errorText = QStringLiteral("Download cache directory is not set for %1.").arg(displayLabel(package));
        return false;
    }
    if (!QDir().mkpath(downloadCacheDirectory)) {
        errorText
            = QStringLiteral("Failed to create download cache directory %1").arg(downloadCacheDirectory);
        return false;
    }
    archivePath = QDir(downloadCacheDirectory).filePath(cacheFileName(package));
    return true;
}

// Checks an archive already on disk against the package's "sha256" and "size_bytes" (each only when set).
bool verifyArchive(const PackageDefinition &package, const QString &archivePath, QString &errorText)
{
    QString digest;
    if (!package.sha256.isEmpty()) {
        digest = sha256OfFile(archivePath, errorText);
        if (digest.isEmpty())
            return false;
    }
    return checkArchiveDigestAndSize(package, digest, QFileInfo(archivePath).size(), errorText);
}

// Streams one download into the save file, hashing each block as it arrives so that an archive of
// any size needs neither memory nor a second pass.
bool downloadInto(UnsyncedSaveFile &file, const PackageDefinition &package, const QUrl &url,
    const ApplyProgressCallback &progress, int inactivityTimeoutMs, QString &errorText)
{
    // Only a catalog digest needs one; without it hashing would be work nobody looks at.
    std::unique_ptr<Sha256Hasher> hasher
        = package.sha256.isEmpty() ? nullptr : std::make_unique<Sha256Hasher>();
    const BlockSink sink = [&](QByteArrayView block) {
        if (hasher)
            hasher->addData(block);
        return file.write(block) == block.size();
    };
    StreamDownloadOptions options;
    options.maxBytes = package.size_bytes;
    options.inactivityTimeoutMs = inactivityTimeoutMs;
    const StreamDownloadResult result
        = streamDownload(url, sink, options, downloadProgressEvents(package, progress));
    if (result.outcome != StreamDownloadResult::Completed) {
        errorText = transferFailureText(package, url, result);
        return false;
    }
    return checkArchiveDigestAndSize(
        package, hasher ? hasher->hexResult() : QString(), result.receivedBytes, errorText);
}

} // namespace

bool downloadsArchive(const PackageDefinition &package, const QString &repositoryBase)
{
    return !payloadUrlOf(package).isEmpty()
        || (!package.payload_archive.trimmed().isEmpty() && isRemoteSource(repositoryBase));
}

bool acquireArchive(const QString &repositoryBase, const PackageDefinition &package,
    const QString &downloadCacheDirectory, QString &archivePath, QString &errorText,
    const ApplyProgressCallback &progress, int inactivityTimeoutMs)
{
    const QString label = displayLabel(package);
    const QUrl url = downloadUrl(package, repositoryBase);
    if (!checkPayloadUrl(package, url, errorText))
        return false;

    if (!isHttpUrl(url)) {
        if (package.payload_archive.isEmpty()) {
            errorText = QStringLiteral("Package %1 does not provide a payload archive path.").arg(label);
            return false;
        }
        if (repositoryBase.isEmpty()) {
            errorText = QStringLiteral("Repository directory is not set for %1.").arg(label);
            return false;
        }
        const QString path
            = QDir::cleanPath(QDir(repositoryBase).filePath(withForwardSlashes(package.payload_archive)));
        const QFileInfo info(path);
        if (!info.exists()) {
            errorText = QStringLiteral("Archive not found for %1: %2").arg(label, printableName(path));
            return false;
        }
        archivePath = path;
        return verifyArchive(package, archivePath, errorText);
    }

    if (isCacheableArchive(package)) {
        switch (fetchThroughArchiveCache(
            package, url, archiveCacheDirectory(), archivePath, errorText, progress, inactivityTimeoutMs)) {
        case CachedFetch::Fetched:
            return true;
        case CachedFetch::Failed:
            return false;
        case CachedFetch::CacheUnavailable:
            // Fetched as an archive without a digest is, into the apply's own folder.
            break;
        }
    }

    QString targetPath;
    if (!prepareDownloadTarget(downloadCacheDirectory, package, targetPath, errorText))
        return false;
    // The save file writes beside the target and renames on commit, so the archive path only ever
    // holds a complete, verified archive; an uncommitted save file removes its temporary file. It is
    // not synced: the cache lives for one apply and every archive in it is checked before use.
    UnsyncedSaveFile file(targetPath);
    if (!file.open()) {
        archivePath = targetPath;
        errorText = QStringLiteral("Failed to open %1 for writing").arg(printableName(targetPath));
        return false;
    }
    archivePath = targetPath;
    bool ok = downloadInto(file, package, url, progress, inactivityTimeoutMs, errorText);
    if (!ok) {
        file.cancelWriting();
    } else if (!file.commit()) {
        errorText = archiveCommitFailureText(package);
        ok = false;
    }
    if (!ok) {
        // Another package's archive of the same file name may sit there from earlier in this apply;
        // after a failure the path must not look like this package's archive.
        QFile::remove(targetPath);
        return false;
    }
    reportDownloaded(package, QFileInfo(archivePath).size(), progress);
    return true;
}

} // namespace vexa
