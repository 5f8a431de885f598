#pragma once

#include "catalog/packagecatalog.h"
#include "engine/applyprogress.h"
#include "engine/changeplan.h"

#include <QString>

namespace vexa {

// Downloads of archives without a digest go to <temporary directory>/company-vexa-installer-cache/<uuid>,
// one folder per apply; those with one go through the archive cache (archivecache.h).
inline const QString DownloadCacheParentName = QStringLiteral("company-vexa-installer-cache");

// Carries the plan out on the root: removals (dependents first), deletion of the old versions of
// upgrades, installs (dependencies first) from archives or payload directories of `repositoryBase`,
// each verified against the package's required files; then the manifest files, a final verification
// and VEXA_ROOT. Progress as events (applyprogress.h): Removing, Upgrading, Installing, and for an
// archive that is fetched DownloadStarted, Downloading and Downloaded. Stops at the first failure with one
// message and undoes nothing; what it fetched into the archive cache stays there for the next apply.
// After a success the archive cache is trimmed to its cap, sparing the archives this apply used.
//
// A package the plan keeps that was complete before the apply but lost files to the deletions (it
// lives inside the directory of a package being upgraded or removed) is installed again in the
// install pass, in dependency order with the others.
//
// Before anything is touched the checks of applypreflight.h refuse a root that cannot be written, a
// path too long for the system, or a plan the file systems have no room for; then every path the
// plan would delete or write through is checked with the one placement rule (pathPlacement): an owned
// path or marker that is not strictly inside the root, an install_subdir outside it, and a payload
// directory that is not inside the repository (also through links) fail the apply with a message
// saying so.
//
// A kill or a full disk at any point leaves a root that inspection reads correctly: every package is
// entered in the root's in-progress record (packagesinprogress.h) before its files are touched and
// leaves it once verified, and each package's markers are written after the rest of its files.
//
// The root and a local repository base are cleaned here once; the helpers below take them as they are.
bool applyPlan(const PackageCatalog &catalog, const QString &repositoryBase, const QString &rootPath,
    const ChangePlan &plan, QString &errorText, const ApplyProgressCallback &progress = {});

} // namespace vexa
