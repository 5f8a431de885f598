#pragma once

#include "catalog/packagecatalog.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QSet>
#include <QString>

namespace vexa {

// Root-relative locations of the two manifest files.
inline const QString ManifestDirectoryPath = QStringLiteral("manifest");
inline const QString StateFileRelativePath = QStringLiteral("manifest/state.json");
inline const QString InstalledPackagesFileRelativePath = QStringLiteral("manifest/installed-packages.json");

// Every function here takes a root already cleaned with cleanRootPath.

// The state.json document for the packages in `packageIds` (catalog data only, dependencies first,
// unknown ids left out). `generatedAt` is written as UTC to the second with a "Z" suffix.
QJsonDocument buildStateDocument(const PackageCatalog &catalog, const QString &root,
    const QSet<QString> &packageIds, const QDateTime &generatedAt = QDateTime::currentDateTimeUtc());

// The installed-packages.json document: like the state document but with absolute paths, without the
// support package and without a time stamp.
QJsonDocument buildInstalledPackagesDocument(
    const PackageCatalog &catalog, const QString &root, const QSet<QString> &packageIds);

// Whether a manifest read from disk says what the builders above would write for these packages, the
// time stamp aside (key order in the file never matters; array order, types and strings do). Checked
// against the catalog directly, without building the expected document.
bool stateDocumentIsCurrent(const QJsonDocument &fileDocument, const PackageCatalog &catalog,
    const QString &root, const QSet<QString> &packageIds);
bool installedPackagesDocumentIsCurrent(const QJsonDocument &fileDocument, const PackageCatalog &catalog,
    const QString &root, const QSet<QString> &packageIds);

// Write root/manifest/state.json atomically. An empty id set writes nothing and succeeds.
bool writeStateFile(
    const PackageCatalog &catalog, const QString &root, const QSet<QString> &packageIds, QString &errorText);

// Write root/manifest/installed-packages.json atomically. An empty id set writes nothing and succeeds.
bool writeInstalledPackagesFile(
    const PackageCatalog &catalog, const QString &root, const QSet<QString> &packageIds, QString &errorText);

} // namespace vexa
