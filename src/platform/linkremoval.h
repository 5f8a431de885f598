#pragma once

#include <QFileInfo>
#include <QString>

namespace vexa {

// A symbolic link or, on Windows, also a junction (which Qt does not count as a symbolic link): an
// entry that a deletion removes as itself and never enters.
bool isLinkEntry(const QFileInfo &info);

// Deletes whatever is at `path` without ever following a link: a link is removed as itself (also one
// that names a directory), a file is deleted, a directory is emptied entry by entry and removed.
// QDir::removeRecursively is not enough: it empties the target of a directory that is itself a link,
// and on Windows it descends into junctions. Nothing there is success; false when anything stayed.
bool removeWithoutFollowingLinks(const QString &path);

} // namespace vexa
