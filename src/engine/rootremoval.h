#pragma once

#include <QString>

namespace vexa {

// Deletes whatever is at `path`: a directory with all its content, a file, or a link or junction (only
// the link, never what it points to). Nothing there is success. Failures: "Failed to remove directory
// %1", "Failed to remove file %1".
bool removePath(const QString &path, QString &errorText);

// Removes the directories that deleting `ownedPath` left empty, bottom up, stopping at the first
// directory that still holds anything (hidden entries included) and never touching the root or
// anything above it. An owned path that is not strictly inside the root is refused. `root` is cleaned.
bool pruneEmptyParents(const QString &root, const QString &ownedPath, QString &errorText);

// Checks that one owned path of the package labelled `packageLabel` names something strictly inside
// the (cleaned) root, so that deleting it can never take the root itself or anything outside it.
bool checkOwnedPath(
    const QString &root, const QString &ownedPath, const QString &packageLabel, QString &errorText);

// Deletes one owned path of a package and prunes the directories that became empty, after checking it
// with checkOwnedPath and refusing a path that reaches outside the root through a link.
bool removeOwnedPath(
    const QString &root, const QString &ownedPath, const QString &packageLabel, QString &errorText);

} // namespace vexa
