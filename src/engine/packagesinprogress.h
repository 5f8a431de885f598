#pragma once

#include <QSet>
#include <QString>

namespace vexa {

// The root's record of the packages whose files an apply is changing: manifest/apply-in-progress.json,
// {"packages": [ids]}. An apply writes (and syncs) it before it touches a package's files and drops
// the package once the package is verified and its files are on disk, so a process killed or a disk filled at
// any point leaves a record that inspection reads: such a package is never current (stale when state.json
// records it, not installed otherwise), and the next plan reinstalls or removes it. Other readers of the
// root's manifests do not know the file and ignore it; it is deleted when it holds no package.
inline const QString PackagesInProgressRelativePath = QStringLiteral("manifest/apply-in-progress.json");

struct PackagesInProgress
{
    QSet<QString> ids;
    // A record that exists but cannot be read may have named any package, so it names them all.
    bool unreadable = false;

    bool contains(const QString &id) const { return unreadable || ids.contains(id); }
    bool isEmpty() const { return !unreadable && ids.isEmpty(); }
};

// The record of the (cleaned) root; none when the file does not exist.
PackagesInProgress readPackagesInProgress(const QString &root);

// Replaces the record with `ids`, or deletes it when `ids` is empty. Failures: "Failed to write the
// apply progress record at %1", "Failed to remove the apply progress record at %1".
bool writePackagesInProgress(const QString &root, const QSet<QString> &ids, QString &errorText);

} // namespace vexa
