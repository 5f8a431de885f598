#pragma once

#include <QString>

namespace vexa {

// Deletes whatever is at `path`: a directory with all its content, a file, or a link (only the link,
// never what it points to). Nothing there is success. Failures: "Failed to remove directory %1",
// "Failed to remove file %1".
bool removePath(const QString &path, QString &errorText);

// Removes the directories that deleting `ownedPath` left empty, bottom up, stopping at the first
// directory that still holds anything (hidden entries included) and never touching the root or
// anything above it. An owned path that is not strictly inside the root is refused.
bool pruneEmptyParents(const QString &root, const QString &ownedPath, QString &errorText);

// Checks that one owned path of the package labelled `packageLabel` names something strictly inside
// the root, so that deleting it can never take the root itself or anything outside it.
bool checkOwnedPath(
    const QString &root, const QString &ownedPath, const QString &packageLabel, QString &errorText);

// Deletes one owned path of a package and prunes the directories that became empty, after checking it
// with checkOwnedPath and refusing a path that reaches outside the root through a link.
bool removeOwnedPath(
    const QString &root, const QString &ownedPath, const QString &packageLabel, QString &errorText);

// The refusal shared by every check of a path that a catalog or state file supplies: `what` names the
// field ("owned path", "install_subdir", ...), `reason` says where the path leads.
QString unsafePathMessage(
    const QString &what, const QString &path, const QString &packageLabel, const QString &reason);
QString outsideInstallRootReason(const QString &root);
QString installRootItselfReason();

} // namespace vexa
