#pragma once

#include <QSet>
#include <QString>

namespace vexa {

// Which wording a missing source directory is reported with: the installer copies package payload
// directories, the update helper copies its own staging tree.
enum class CopySourceKind {
    PayloadDirectory, // "Source payload directory not found: %1"
    PlainDirectory, // "Source directory not found: %1"
};

// Copies every file and directory below the source over the destination, replacing files that exist
// there and keeping the rest. Hidden entries and links (junctions included) are left out: a link is
// never followed, so nothing from outside the source can be copied through one. Nothing is written
// through a link that leads out of the destination. File permissions are carried over. Files whose
// relative path is in `writeLast` (compared without regard to case) are copied after all others. On
// failure returns false with one message; what was copied before stays, a half-copied file does not.
bool copyDirectoryTree(const QString &sourceDirectory, const QString &destinationDirectory,
    QString &errorText, CopySourceKind sourceKind = CopySourceKind::PayloadDirectory,
    const QSet<QString> &writeLast = {});

} // namespace vexa
