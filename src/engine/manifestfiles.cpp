#include "engine/manifestfiles.h"

#include "engine/rootpaths.h"
#include "platform/savefile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QVarLengthArray>

#include <type_traits>
#include <variant>

namespace vexa {

namespace {

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

// The packages installed-packages.json lists: the support package is tooling for the root itself, not
// something a build consumes.
QList<const PackageDefinition *> installedPackagesListed(
    const PackageCatalog &catalog, const QSet<QString> &packageIds)
{
    QList<const PackageDefinition *> packages = orderedPackages(catalog, packageIds);
    packages.removeIf([](const PackageDefinition *package) { return isSupportPackage(package->package_id); });
    return packages;
}

// A manifest object's fields in key order. The writers and the check of a file on disk take them from
// the same place, so the two cannot drift apart.
struct Field
{
    QLatin1String key;
    std::variant<QString, int, QStringList, QJsonObject> value;
};
using Fields = QVarLengthArray<Field, 9>;

Fields stateHeader(const QString &root)
{
    return { { QLatin1String("schema_version"), 1 }, { QLatin1String("vexa_root"), root } };
}

Fields stateEntry(const PackageDefinition &package)
{
    return { { QLatin1String("cmake"), package.cmake },
        { QLatin1String("install_subdir"), package.install_subdir },
        { QLatin1String("internal_version_code"), package.internal_version_code },
        { QLatin1String("marker_relative_path"), package.marker_relative_path },
        { QLatin1String("owned_paths"), package.owned_paths },
        { QLatin1String("package_id"), package.package_id }, { QLatin1String("product"), package.product },
        { QLatin1String("toolchain"), package.toolchain }, { QLatin1String("version"), package.version } };
}

Fields installedHeader(const QString &root)
{
    return { { QLatin1String("schema_version"), 2 }, { QLatin1String("vexa_root"), root } };
}

Fields installedEntry(const QString &root, const PackageDefinition &package)
{
    return { { QLatin1String("internal_version_code"), package.internal_version_code },
        { QLatin1String("marker"), resolveRootPath(root, package.marker_relative_path) },
        { QLatin1String("package_id"), package.package_id },
        { QLatin1String("path"), resolveRootPath(root, package.install_subdir) },
        { QLatin1String("product"), package.product },
        { QLatin1String("status"), QStringLiteral("installed") },
        { QLatin1String("toolchain"), package.toolchain }, { QLatin1String("version"), package.version } };
}

QJsonObject objectOf(const Fields &fields)
{
    QJsonObject object;
    for (const Field &field : fields) {
        std::visit(
            [&](const auto &value) {
                using Value = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<Value, QStringList>)
                    object.insert(field.key, QJsonArray::fromStringList(value));
                else
                    object.insert(field.key, value);
            },
            field.value);
    }
    return object;
}

// What comparing `json` with the value as written amounts to (1 and 1.0 agree, as JSON numbers do),
// without converting the value first.
bool holds(const QJsonValue &json, const Field &field)
{
    if (const auto *text = std::get_if<QString>(&field.value))
        return json.isString() && json.toString() == *text;
    if (const auto *number = std::get_if<int>(&field.value))
        return json.isDouble() && json.toDouble() == double(*number);
    if (const auto *list = std::get_if<QStringList>(&field.value)) {
        const QJsonArray array = json.toArray();
        if (!json.isArray() || array.size() != list->size())
            return false;
        for (qsizetype i = 0; i < array.size(); ++i) {
            const QJsonValue element = array.at(i);
            if (!element.isString() || element.toString() != list->at(i))
                return false;
        }
        return true;
    }
    return json.isObject() && json.toObject() == std::get<QJsonObject>(field.value);
}

// Exactly these fields, each equal as a JSON value.
bool objectHolds(const QJsonObject &object, const Fields &fields)
{
    if (object.size() != fields.size())
        return false;
    for (const Field &field : fields) {
        if (!holds(object.value(field.key), field))
            return false;
    }
    return true;
}

// Whether a manifest read from disk equals the document the writer would build from `header`, a time
// stamp and `packages`, the time stamp aside. Checked field by field against the catalog instead of
// building that document, which costs far more than reading the file.
template<typename EntryOf>
bool manifestHolds(const QJsonDocument &fileDocument, const Fields &header,
    const QList<const PackageDefinition *> &packages, const EntryOf &entryOf)
{
    if (!fileDocument.isObject())
        return false;
    QJsonObject object = fileDocument.object();
    object.remove(QLatin1String("generated_at"));
    const QJsonValue list = object.take(QLatin1String("packages"));
    if (!list.isArray() || !objectHolds(object, header))
        return false;
    const QJsonArray entries = list.toArray();
    if (entries.size() != packages.size())
        return false;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QJsonValue entry = entries.at(i);
        if (!entry.isObject() || !objectHolds(entry.toObject(), entryOf(*packages.at(i))))
            return false;
    }
    return true;
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
    for (const PackageDefinition *package : orderedPackages(catalog, packageIds))
        packages.append(objectOf(stateEntry(*package)));

    QJsonObject document = objectOf(stateHeader(root));
    document.insert(QStringLiteral("generated_at"), generatedAt.toUTC().toString(Qt::ISODate));
    document.insert(QStringLiteral("packages"), packages);
    return QJsonDocument(document);
}

QJsonDocument buildInstalledPackagesDocument(
    const PackageCatalog &catalog, const QString &root, const QSet<QString> &packageIds)
{
    QJsonArray packages;
    for (const PackageDefinition *package : installedPackagesListed(catalog, packageIds))
        packages.append(objectOf(installedEntry(root, *package)));

    QJsonObject document = objectOf(installedHeader(root));
    document.insert(QStringLiteral("packages"), packages);
    return QJsonDocument(document);
}

bool stateDocumentIsCurrent(const QJsonDocument &fileDocument, const PackageCatalog &catalog,
    const QString &root, const QSet<QString> &packageIds)
{
    return manifestHolds(fileDocument, stateHeader(root), orderedPackages(catalog, packageIds),
        [](const PackageDefinition &package) { return stateEntry(package); });
}

bool installedPackagesDocumentIsCurrent(const QJsonDocument &fileDocument, const PackageCatalog &catalog,
    const QString &root, const QSet<QString> &packageIds)
{
    return manifestHolds(fileDocument, installedHeader(root), installedPackagesListed(catalog, packageIds),
        [&root](const PackageDefinition &package) { return installedEntry(root, package); });
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
