#include "engine/archivedownload.h"

#include "net/httpreply.h"

namespace vexa {

PercentCallback downloadPercentLines(const PackageDefinition &package, const ProgressCallback &progress)
{
    if (!progress)
        return {};
    return [label = displayLabel(package), progress](int percentage) {
        progress(QStringLiteral("Downloading %1 (%2%)").arg(label, QString::number(percentage)));
    };
}

void reportDownloaded(const PackageDefinition &package, const ProgressCallback &progress)
{
    if (progress)
        progress(QStringLiteral("Downloaded %1.").arg(displayLabel(package)));
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
