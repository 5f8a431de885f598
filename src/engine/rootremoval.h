#pragma once

#include <QString>

namespace vexa {

// Deletes whatever is at `path`: a directory with all its content, a file, or a link or junction (only
// the link, never what it points to). Nothing there is success. Failures: "Failed to remove directory
// %1", "Failed to remove file %1".
bool removePath(const QString &path, QString &errorText);

// Checks that one owned path of the package labelled `packageLabel` names something strictly inside
// the (cleaned) root, so that deleting it can never take the root itself or anything outside it.
bool checkOwnedPath(
    const QString &root, const QString &ownedPath, const QString &packageLabel, QString &errorText);

// Deletes one owned path of a package and removes the directories that became empty, bottom up, up to
// the first that still holds anything (hidden entries included) and never the root itself; after
// checking the path with checkOwnedPath and refusing one that reaches outside the root through a link.
bool removeOwnedPath(
    const QString &root, const QString &ownedPath, const QString &packageLabel, QString &errorText);

} // namespace vexa
