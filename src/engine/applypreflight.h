#pragma once

#include "catalog/packagecatalog.h"
#include "engine/changeplan.h"

#include <QString>

#include <functional>

namespace vexa {

// A file system as the checks before an apply see it: where it is mounted (named in messages, and
// what tells two file systems apart) and the bytes free to this user, -1 when unknown.
struct FileSystemSpace
{
    QString mountPoint;
    qint64 freeBytes = -1;
};

// The file system a path is on; a path that does not exist yet stands for its nearest existing
// ancestor.
using FileSystemProbe = std::function<FileSystemSpace(const QString &path)>;
FileSystemSpace probeFileSystem(const QString &path);

// What the checks look at beyond the plan, so that tests can point them elsewhere.
struct PreflightEnvironment
{
    FileSystemProbe probe = probeFileSystem;
    // Where downloads of archives with a digest go (the archive cache; empty when there is none),
    // and where the others go (the apply's own download folder).
    QString archiveCacheDirectory;
    QString downloadDirectory;
    // The longest path the plan may create, 0 for no limit.
    int pathLengthLimit = 0;
};

// This machine's: the archive cache, the temporary directory and the system's path length limit.
PreflightEnvironment systemPreflightEnvironment();

// The checks an apply makes before it changes anything, each refusal naming its figures:
// - the root (cleaned) must be a directory that can be written, or one that can be created:
//   "The install root %1 is not a directory.", "The install root %1 cannot be written.",
//   "The install root %1 cannot be created in %2.";
// - no path the plan creates (install_subdir, owned paths and required files of the packages it
//   installs, below the root) may be longer than the limit: "The path %1 is %2 characters long; without
//   long paths enabled Windows allows at most %3.";
// - every file system must have room for what the plan puts on it: the "size_bytes" of the packages
//   it installs or upgrades on the root's, and of the archives it downloads on the cache's (those not
//   already whole there) or the download folder's; needs on one file system are added up:
//   "Not enough free space on %1: needs %2, %3 free." A size or free space that is not known is not
//   checked.
bool checkApplyPreflight(const PackageCatalog &catalog, const QString &repositoryBase, const QString &root,
    const ChangePlan &plan, const PreflightEnvironment &environment, QString &errorText);

} // namespace vexa
