#include "update/clientarchive.h"

#include "archive/filedigest.h"
#include "archive/pathcontainment.h"
#include "archive/printabletext.h"
#include "net/httpreply.h"
#include "net/remotesource.h"
#include "net/streamdownload.h"
#include "platform/savefile.h"
#include "platform/sha256hasher.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace vexa {

namespace {

// The archive's own name when it is a plain file name: a decoded URL segment may hold "\" (a separator
// on Windows), "..", a drive ("C:x") or a device name, and none may steer the file out of the workspace.
QString archiveFileName(const ClientUpdateManifest &manifest)
{
    const QString path = isRemoteSource(manifest.archiveUrl)
        ? QUrl::fromUserInput(manifest.archiveUrl).path(QUrl::FullyDecoded)
        : manifest.archiveUrl;
    return downloadFileName(path, QStringLiteral("CompanyVexaInstallerClient-%1.zip").arg(manifest.version));
}

QString sizeMismatchMessage(const QString &archivePath, qint64 expected, qint64 actual)
{
    return QStringLiteral("Client update archive size mismatch for %1: expected %2 bytes, got %3 bytes.")
        .arg(printableName(archivePath), QString::number(expected), QString::number(actual));
}

// Size first, then the digest, where the manifest gives them.
bool checkClientArchive(const ClientUpdateManifest &manifest, const QString &archivePath, qint64 size,
    const QString &digest, QString &errorText)
{
    if (manifest.archiveSizeBytes > 0 && size != manifest.archiveSizeBytes) {
        errorText = sizeMismatchMessage(archivePath, manifest.archiveSizeBytes, size);
        return false;
    }
    if (!manifest.archiveSha256.isEmpty()
        && digest.compare(manifest.archiveSha256, Qt::CaseInsensitive) != 0) {
        errorText = QStringLiteral("Client update archive SHA-256 mismatch for %1.")
                        .arg(printableName(archivePath));
        return false;
    }
    return true;
}

// Streams the archive into the save file block by block, hashing each block as it is written, so memory
// stays flat whatever the archive's size. The time-out bounds both a stall and the whole transfer.
bool streamRemoteArchive(const ClientUpdateManifest &manifest, UnsyncedSaveFile &file,
    const QString &destination, int timeoutMs, QString &errorText)
{
    const QUrl url = QUrl::fromUserInput(manifest.archiveUrl);
    if (!url.isValid() || url.isEmpty()) {
        errorText = invalidUrlText(url);
        return false;
    }
    Sha256Hasher hasher;
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    bool writeFailed = false;
    const BlockSink sink = [&](QByteArrayView block) {
        if (deadline.hasExpired())
            return false;
        hasher.addData(block);
        writeFailed = file.write(block) != block.size();
        return !writeFailed;
    };
    StreamDownloadOptions options;
    // One byte past the published size is enough to know the archive is not the one published.
    options.maxBytes = manifest.archiveSizeBytes;
    options.inactivityTimeoutMs = qMax(0, timeoutMs);
    const StreamDownloadResult result = streamDownload(url, sink, options);

    switch (result.outcome) {
    case StreamDownloadResult::SinkFailed:
        if (writeFailed) {
            errorText = QStringLiteral("Failed to write complete client update archive %1")
                            .arg(printableName(destination));
            return false;
        }
        Q_FALLTHROUGH(); // the deadline passed
    case StreamDownloadResult::TimedOut:
        errorText = downloadTimedOutText(url);
        return false;
    case StreamDownloadResult::Failed:
    case StreamDownloadResult::Refused:
        errorText = downloadFailureText(url.toString(QUrl::FullyEncoded), result.reason);
        return false;
    case StreamDownloadResult::TooLarge:
    case StreamDownloadResult::Completed:
        break;
    }
    return checkClientArchive(manifest, destination, result.receivedBytes, hasher.hexResult(), errorText);
}

// Written beside the destination and renamed on commit, so the name only ever holds a whole, checked
// archive. Not synced: the archive is checked before use and a new one is fetched after a power cut.
bool fetchRemoteArchive(
    const ClientUpdateManifest &manifest, const QString &destination, QString &errorText, int timeoutMs)
{
    UnsyncedSaveFile file(destination);
    if (!file.open()) {
        errorText = QStringLiteral("Failed to open %1 for writing").arg(printableName(destination));
        return false;
    }
    if (!streamRemoteArchive(manifest, file, destination, timeoutMs, errorText))
        return false;
    if (!file.commit()) {
        errorText
            = QStringLiteral("Failed to commit client update archive %1").arg(printableName(destination));
        return false;
    }
    return true;
}

bool copyLocalArchive(const ClientUpdateManifest &manifest, const QString &destination, QString &errorText)
{
    const QString path = QDir::cleanPath(QDir::fromNativeSeparators(manifest.archiveUrl));
    if (!QFileInfo(path).isFile()) {
        errorText = QStringLiteral("Client update archive was not found at %1").arg(printableName(path));
        return false;
    }
    if (!QFile::copy(path, destination)) {
        errorText = QStringLiteral("Failed to copy client update archive from %1 to %2")
                        .arg(printableName(path), printableName(destination));
        return false;
    }
    const qint64 size = QFileInfo(destination).size();
    QString digest;
    // A file of the wrong size is refused by its size; hashing it would only cost time.
    const bool sizeAgrees = manifest.archiveSizeBytes <= 0 || size == manifest.archiveSizeBytes;
    if (!manifest.archiveSha256.isEmpty() && sizeAgrees) {
        digest = sha256OfFile(destination, errorText);
        if (digest.isEmpty())
            return false;
    }
    return checkClientArchive(manifest, destination, size, digest, errorText);
}

} // namespace

bool downloadClientArchive(const ClientUpdateManifest &manifest, const QString &workspaceDirectory,
    QString &archivePath, QString &errorText, const ProgressCallback &progress, int timeoutMs)
{
    if (!manifest.isComplete()) {
        errorText = QStringLiteral("Client update manifest is incomplete.");
        return false;
    }
    if (progress)
        progress(QStringLiteral("Downloading client update %1...").arg(printableName(manifest.version)));
    if (!QDir().mkpath(workspaceDirectory)) {
        errorText
            = QStringLiteral("Failed to create client update download directory %1").arg(workspaceDirectory);
        return false;
    }

    const QString destination = QDir(workspaceDirectory).filePath(archiveFileName(manifest));
    QFile::remove(destination);
    const bool fetched = isRemoteSource(manifest.archiveUrl)
        ? fetchRemoteArchive(manifest, destination, errorText, timeoutMs)
        : copyLocalArchive(manifest, destination, errorText);
    if (!fetched)
        return false;
    archivePath = destination;
    return true;
}

} // namespace vexa
