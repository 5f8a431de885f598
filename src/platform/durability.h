#pragma once

#include <QFileDevice>
#include <QString>
#include <QStringList>

namespace vexa {

// Puts on disk the entries of one directory (a rename or a deletion in it), so that a power cut cannot
// undo them. Windows' file systems journal directory entries themselves, so there this is a no-op.
bool syncDirectory(const QString &directory);

// Puts on disk everything written below each of `paths`, files and the directories naming them, before
// the caller takes a step that depends on it. All of them lie on the file system holding `base`.
// Linux: one syncfs of that file system, which covers every path (deletions included) at once;
// Windows: FlushFileBuffers on each file below the paths; other systems: fsync of each file. Paths that
// do not exist are skipped. False when the system reports that something could not be written.
bool syncWrittenTrees(const QString &base, const QStringList &paths);

// Waits until the bytes written to the open file are on the disk, so that a record naming them can
// be trusted after a power cut. The file must be unbuffered or flushed. False when the system says
// the bytes did not get there.
bool syncFileData(QFileDevice &file);

} // namespace vexa
