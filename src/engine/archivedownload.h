#pragma once

#include "catalog/packagedefinition.h"
#include "net/progresscallback.h"
#include "net/streamdownload.h"

#include <QString>
#include <QUrl>

namespace vexa {

// What every check and download of a package archive shares, whether it goes to the archive cache or
// to the apply's own folder: its progress lines, its messages and the checks of what arrived.

// "Downloading %1 (%2%)" for each percentage; empty without a progress callback.
PercentCallback downloadPercentLines(const PackageDefinition &package, const ProgressCallback &progress);

// "Downloaded %1.", once the archive passed its checks and is stored; nothing without a callback.
void reportDownloaded(const PackageDefinition &package, const ProgressCallback &progress);

// The message of a transfer that ended other than Completed or Refused.
QString transferFailureText(
    const PackageDefinition &package, const QUrl &url, const StreamDownloadResult &result);
// "Failed to write the downloaded archive for %1."
QString archiveWriteFailureText(const PackageDefinition &package);
// "Failed to commit the downloaded archive for %1."
QString archiveCommitFailureText(const PackageDefinition &package);
// "SHA-256 mismatch for %1. Expected %2, got %3."
QString digestMismatchText(const PackageDefinition &package, const QString &actual);
// "Downloaded size mismatch for %1. Expected %2 bytes, got %3 bytes.", also for local archives.
QString sizeMismatchText(const PackageDefinition &package, qint64 actual);

// The digest of the arrived bytes against the catalog's (when it has one), then their count against
// "size_bytes" (when known), with the message of the first that differs.
bool checkArchiveDigestAndSize(
    const PackageDefinition &package, const QString &digest, qint64 size, QString &errorText);

} // namespace vexa
