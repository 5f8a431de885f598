#include "engine/archivedownload.h"

#include "net/httpreply.h"

namespace vexa {

TransferProgressCallback downloadProgressEvents(
    const PackageDefinition &package, const ApplyProgressCallback &progress)
{
    if (!progress)
        return {};
    // Built once per download: each report only copies it (the strings are shared, not copied).
    return [event = packageProgress(ApplyProgress::Phase::Downloading, package), progress](
               const TransferProgress &transfer) mutable {
        event.bytesDone = transfer.bytesDone;
        event.bytesTotal = transfer.bytesTotal;
        event.percentage = transfer.percentage;
        progress(event);
    };
}

void reportHeldWhole(const PackageDefinition &package, qint64 size, const ApplyProgressCallback &progress)
{
    if (const TransferProgressCallback events = downloadProgressEvents(package, progress))
        events(TransferProgress { size, size, 100 });
}

void reportDownloaded(const PackageDefinition &package, qint64 size, const ApplyProgressCallback &progress)
{
    if (!progress)
        return;
    ApplyProgress event = packageProgress(ApplyProgress::Phase::Downloaded, package);
    event.bytesDone = size;
    event.bytesTotal = size;
    progress(event);
}

QString transferFailureText(
    const PackageDefinition &package, const QUrl &url, const StreamDownloadResult &result)
{
    switch (result.outcome) {
    case StreamDownloadResult::SinkFailed:
        return archiveWriteFailureText(package);
    case StreamDownloadResult::TooLarge:
        return sizeMismatchText(package, result.bodyOffset + result.receivedBytes);
    case StreamDownloadResult::TimedOut:
        return downloadTimedOutText(url);
    case StreamDownloadResult::Failed:
    case StreamDownloadResult::Refused:
    case StreamDownloadResult::Completed:
        break;
    }
    return downloadFailureText(
        QStringLiteral("%1 from %2").arg(displayLabel(package), url.toString(QUrl::FullyEncoded)),
        result.reason);
}

QString archiveWriteFailureText(const PackageDefinition &package)
{
    return QStringLiteral("Failed to write the downloaded archive for %1.").arg(displayLabel(package));
}

QString archiveCommitFailureText(const PackageDefinition &package)
{
    return QStringLiteral("Failed to commit the downloaded archive for %1.").arg(displayLabel(package));
}

QString digestMismatchText(const PackageDefinition &package, const QString &actual)
{
    return QStringLiteral("SHA-256 mismatch for %1. Expected %2, got %3.")
        .arg(displayLabel(package), package.sha256, actual);
}

QString sizeMismatchText(const PackageDefinition &package, qint64 actual)
{
    return QStringLiteral("Downloaded size mismatch for %1. Expected %2 bytes, got %3 bytes.")
        .arg(displayLabel(package), QString::number(package.size_bytes), QString::number(actual));
}

bool checkArchiveDigestAndSize(
    const PackageDefinition &package, const QString &digest, qint64 size, QString &errorText)
{
    if (!package.sha256.isEmpty() && digest.compare(package.sha256, Qt::CaseInsensitive) != 0) {
        errorText = digestMismatchText(package, digest);
        return false;
    }
    if (package.size_bytes >= 1 && package.size_bytes != size) {
        errorText = sizeMismatchText(package, size);
        return false;
    }
    return true;
}

} // namespace vexa
