#pragma once

#include "catalog/packagecatalog.h"
#include "catalog/packagedefinition.h"
#include "engine/installedstate.h"

#include <QJsonDocument>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace vexa {

// Root-relative files that only the CMake support package leaves behind.
inline const QString SupportVersionMarkerPath = QStringLiteral("support/vexa-support-package.version");
inline const QStringList SupportToolchainFiles = {
    QStringLiteral("cmake/toolchains/vexa.cmake"),
    QStringLiteral("cmake/toolchains/vexa-msvc2019-x64.cmake"),
    QStringLiteral("cmake/toolchains/vexa-msvc2022-x64.cmake"),
};

// What the root at `rootPath` holds, from its state.json records, the files each package leaves, the
// record of packages an interrupted apply was changing, and the catalog. Never writes and never
// fails: whatever cannot be read counts as absent. A blank root gives the empty state. The root is
// cleaned here once; the functions below take a cleaned root and trust it.
InstalledState inspectRoot(const PackageCatalog &catalog, const QString &rootPath);

// The root-relative paths that must exist for the package to count as installed: the given marker,
// the catalog marker and, for the support package, its toolchain files and version marker; blanks and
// exact duplicates left out, in that order.
QStringList requiredFiles(const PackageDefinition &package, const QString &markerRelativePath);

// The root-relative paths, cleaned, that the catalog says an install of the package writes: its owned
// paths, its required files and its install_subdir. Blank entries are left out.
QStringList pathsPackageWrites(const PackageDefinition &package);

// The integer in the root's support version marker, or 0 when it cannot be read or is not an integer.
int readSupportVersion(const QString &rootPath);

// True when the package's required files all exist inside the root (and, for the support package, the
// version marker matches the catalog's code). A required file that is not strictly inside the root, or
// is reached through a link leading out of it, counts as missing. A package with no required files is
// never present.
bool isPackagePresent(const QString &rootPath, const PackageDefinition &package);

// The paths of `relativePaths` that are not files or directories inside the (cleaned) root by the rule
// above: missing, not strictly inside, or reached through a link leading out of it.
QStringList missingRootFiles(const QString &rootPath, const QStringList &relativePaths);

// The usable records of a state file in file order; a missing, unreadable or malformed file gives none.
// A record needs a package id, product, version and toolchain.
QList<InstalledPackageRecord> readStateRecords(const QString &stateFilePath);

// True when the root's manifest files are not exactly what would be written for `installedIds`
// (ignoring "generated_at"); with nothing installed, true when either file exists.
bool manifestsNeedRepair(
    const PackageCatalog &catalog, const QString &rootPath, const QSet<QString> &installedIds);

// True when the file parses to the same JSON as `document`, compared with sorted keys and with
// "generated_at" ignored at the top level of two objects. Array order, types and strings all count.
bool documentMatchesFile(const QString &path, const QJsonDocument &document);

} // namespace vexa
