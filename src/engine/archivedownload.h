#pragma once

#include "catalog/packagedefinition.h"
#include "engine/applyprogress.h"
#include "net/streamdownload.h"

#include <QString>
#include <QUrl>

namespace vexa {

// What every check and download of a package archive shares, whether it goes to the archive cache or
// to the apply's own folder: its progress events, its messages and the checks of what arrived.

// The transfer's reports as Downloading events of the package; empty without a progress callback.
TransferProgressCallback downloadProgressEvents(
    const PackageDefinition &package, const ApplyProgressCallback &progress);

// The Downloading event at 100% of an archive of `size` bytes already held whole (found in the cache,
// or a part that needs no more bytes), as a download that completes at once reports it.
void reportHeldWhole(const PackageDefinition &package, qint64 size, const ApplyProgressCallback &progress);

// The Downloaded event, once the archive of `size` bytes passed its checks and is stored.
void reportDownloaded(const PackageDefinition &package, qint64 size, const ApplyProgressCallback &progress);

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
