#pragma once

#include <QString>

namespace vexa {

// Deletes the file or symbolic link at the path so that a new file can be written there without
// following an old link. A read-only file is made writable first: Windows refuses to delete it
// otherwise, and an archive's own permissions must not block the next upgrade. Nothing there is success.
bool removeFileForReplacement(const QString &path);

// Deletes whatever is at the path: a directory with everything below it, a file, or a link or junction
// (only the link itself). The walk never descends through a link or a junction, so nothing outside the
// tree is touched; Qt's own recursive removal follows junctions. Nothing there is success.
bool removeTree(const QString &path);

} // namespace vexa
