#include "engine/manifestfiles.h"

#include "engine/rootpaths.h"
#include "platform/savefile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

namespace vexa {

namespace {

QJsonArray stringArray(const QStringList &values)
{
    QJsonArray array;
    for (const QString &value : values)
        array.append(value);
    return array;
}

// Packages of the set that the catalog knows, dependencies first.
QList<const PackageDefinition *> orderedPackages(
    const PackageCatalog &catalog, const QSet<QString> &packageIds)
{
    QList<const PackageDefinition *> packages;
    const QStringList order = catalog.topologicalOrder(packageIds);
    packages.reserve(order.size());
    for (const QString &id : order) {
        if (const PackageDefinition *package = catalog.findPackage(id))
            packages.append(package);
    }
    return packages;
}

struct ManifestFileTexts
{
    QString relativePath;
    QString openFailed;
    QString commitFailed;
};

// Both manifests are replaced whole through a save file, so a crash or a full disk never leaves a
// half-written file for inspection to misread.
bool writeManifestFile(
    const QString &root, const ManifestFileTexts &texts, const QByteArray &content, QString &errorText)
{
    // A blank root would put the manifest under the working directory, which is nobody's root.
    if (root.isEmpty() || !QDir().mkpath(resolveRootPath(root, ManifestDirectoryPath))) {
        errorText = QStringLiteral("Failed to create manifest directory.");
        return false;
    }
    const QString path = resolveRootPath(root, texts.relativePath);
    switch (saveFileWhole(path, content)) {
    case SaveResult::Saved:
        return true;
    case SaveResult::OpenFailed:
        errorText = texts.openFailed.arg(path);
        return false;
    case SaveResult::WriteFailed:
        // A short write is a failed commit: the old file stays as it was.
        errorText = texts.commitFailed.arg(path);
        return false;
    }
    return false;
}

} // namespace

QJsonDocument buildStateDocument(const PackageCatalog &catalog, const QString &root,
    const QSet<QString> &packageIds, const QDateTime &generatedAt)
{
    QJsonArray packages;
    for (const PackageDefinition *package : orderedPackages(catalog, packageIds)) {
        QJsonObject entry;
        entry.insert(QStringLiteral("package_id"), package->package_id);
        entry.insert(QStringLiteral("product"), package->product);
        entry.insert(QStringLiteral("version"), package->version);
        entry.insert(QStringLiteral("internal_version_code"), package->internal_version_code);
        entry.insert(QStringLiteral("toolchain"), package->toolchain);
        entry.insert(QStringLiteral("install_subdir"), package->install_subdir);
        entry.insert(QStringLiteral("marker_relative_path"), package->marker_relative_path);
        entry.insert(QStringLiteral("cmake"), package->cmake);
        entry.insert(QStringLiteral("owned_paths"), stringArray(package->owned_paths));
        packages.append(entry);
    }

    QJsonObject document;
    document.insert(QStringLiteral("schema_version"), 1);
    document.insert(QStringLiteral("vexa_root"), root);
    document.insert(QStringLiteral("generated_at"), generatedAt.toUTC().toString(Qt::ISODate));
    document.insert(QStringLiteral("packages"), packages);
    return QJsonDocument(document);
}

QJsonDocument buildInstalledPackagesDocument(
    const PackageCatalog &catalog, const QString &root, const QSet<QString> &packageIds)
{
    QJsonArray packages;
    for (const PackageDefinition *package : orderedPackages(catalog, packageIds)) {
        // The support package is tooling for the root itself, not something a build consumes.
        if (isSupportPackage(package->package_id))
            continue;
        QJsonObject entry;
        entry.insert(QStringLiteral("package_id"), package->package_id);
        entry.insert(QStringLiteral("product"), package->product);
        entry.insert(QStringLiteral("version"), package->version);
        entry.insert(QStringLiteral("internal_version_code"), package->internal_version_code);
        entry.insert(QStringLiteral("toolchain"), package->toolchain);
        entry.insert(QStringLiteral("path"), resolveRootPath(root, package->install_subdir));
        entry.insert(QStringLiteral("marker"), resolveRootPath(root, package->marker_relative_path));
        entry.insert(QStringLiteral("status"), QStringLiteral("installed"));
        packages.append(entry);
    }

    QJsonObject document;
    document.insert(QStringLiteral("schema_version"), 2);
    document.insert(QStringLiteral("vexa_root"), root);
    document.insert(QStringLiteral("packages"), packages);
    return QJsonDocument(document);
}

bool writeStateFile(
    const PackageCatalog &catalog, const QString &root, const QSet<QString> &packageIds, QString &errorText)
{
    if (packageIds.isEmpty())
        return true;
    const ManifestFileTexts texts { StateFileRelativePath, QStringLiteral("Failed to write state file at %1"),
        QStringLiteral("Failed to commit state file at %1") };
    return writeManifestFile(root, texts,
        buildStateDocument(catalog, root, packageIds).toJson(QJsonDocument::Indented), errorText);
}

bool writeInstalledPackagesFile(
    const PackageCatalog &catalog, const QString &root, const QSet<QString> &packageIds, QString &errorText)
{
    if (packageIds.isEmpty())
        return true;
    const ManifestFileTexts texts { InstalledPackagesFileRelativePath,
        QStringLiteral("Failed to write manifest file at %1"),
        QStringLiteral("Failed to commit manifest file at %1") };
    return writeManifestFile(root, texts,
        buildInstalledPackagesDocument(catalog, root, packageIds).toJson(QJsonDocument::Indented), errorText);
}

} // namespace vexa
