#pragma once

#include <QString>

namespace vexa {

// Which wording a missing source directory is reported with: the installer copies package payload
// directories, the update helper copies its own staging tree.
enum class CopySourceKind {
    PayloadDirectory, // "Source payload directory not found: %1"
    PlainDirectory, // "Source directory not found: %1"
};

// Copies every file and directory below the source (not hidden ones, not following symbolic links)
// over the destination, replacing files that exist there and keeping the rest. File permissions are
// carried over. On failure returns false with one message; what was copied before stays.
bool copyDirectoryTree(const QString &sourceDirectory, const QString &destinationDirectory,
    QString &errorText, CopySourceKind sourceKind = CopySourceKind::PayloadDirectory);

} // namespace vexa
