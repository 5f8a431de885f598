#include "engine/rootinspection.h"

#include "archive/pathcontainment.h"
#include "engine/manifestfiles.h"
#include "engine/packagesinprogress.h"
#include "engine/rootpaths.h"
#include "platform/linkfreelookup.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QVariant>

namespace vexa {

namespace {

// Root files are edited by hand now and then; anything far larger than a real manifest (a few MB for
// thousands of packages) is not one, and reading it whole would only stall the GUI thread.
constexpr qint64 MaxManifestBytes = 32 * 1024 * 1024;
constexpr qint64 MaxVersionMarkerBytes = 64 * 1024;

// The bytes of a regular file no larger than `maxBytes`; false for directories, missing, unreadable
// or oversized files.
bool readSmallFile(const QString &path, qint64 maxBytes, QByteArray &content)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > maxBytes)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // One byte past the size seen: a file that is growing while we read it is being rewritten, and
    // counts as unreadable rather than being read half-way.
    content = file.read(info.size() + 1);
    return content.size() <= info.size() && file.error() == QFileDevice::NoError;
}

bool parseJsonFile(const QString &path, QJsonDocument &document)
{
    QByteArray content;
    if (!readSmallFile(path, MaxManifestBytes, content))
        return false;
    QJsonParseError error;
    document = QJsonDocument::fromJson(content, &error);
    return error.error == QJsonParseError::NoError && !document.isNull();
}

// Strings as they are; numbers and booleans in their usual text; anything else is empty.
QString elementText(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble() || value.isBool())
        return value.toVariant().toString();
    return QString();
}

InstalledPackageRecord readRecord(const QJsonObject &entry)
{
    InstalledPackageRecord record;
    record.packageId = entry.value(QLatin1String("package_id")).toString().trimmed();
    record.product = entry.value(QLatin1String("product")).toString().trimmed();
    record.version = entry.value(QLatin1String("version")).toString().trimmed();
    record.internalVersionCode = entry.value(QLatin1String("internal_version_code")).toInt(1);
    record.toolchain = entry.value(QLatin1String("toolchain")).toString().trimmed();
    record.markerRelativePath = entry.value(QLatin1String("marker_relative_path")).toString().trimmed();
    const QJsonArray ownedPaths = entry.value(QLatin1String("owned_paths")).toArray();
    for (const QJsonValue &value : ownedPaths) {
        // A blank owned path would resolve to the root itself, and removing the package would then
        // delete the whole root; such an entry names nothing the package owns.
        const QString path = elementText(value).trimmed();
        if (!path.isEmpty())
            record.ownedPaths.append(path);
    }
    return record;
}

// A package file counts only where it really is inside the root: a marker that climbs out, names the
// root itself, or is reached through a link leading out would let a file that is not the package's
// (anything of the user's) pass as its marker.
// A file that exists is inside the root when no part of its path below the root is a link; only a
// path through a link is followed to where it leads. The root is opened once, so that most files cost
// a single look that follows no link; where the system cannot do that, the parts are looked at one by
// one, still far less than resolving the whole path twice.
class RootFiles
{
public:
    // `manyLookups` reads the root's entries first, which pays off over a whole catalog.
    explicit RootFiles(const QString &root, bool manyLookups = false)
        : m_root(root)
        , m_lookup(root, manyLookups)
    { }

    bool existsInside(const QString &relativePath) const
    {
        if (pathPlacement(relativePath) != PathPlacement::Inside)
            return false;
        const QString relative = cleanRelativePath(relativePath);
        switch (m_lookup.find(relative)) {
        case LinkFreeLookup::Result::Missing:
            return false;
        case LinkFreeLookup::Result::Found:
            return true;
        case LinkFreeLookup::Result::ThroughLink: {
            const QString path = resolveRootPath(m_root, relative);
            return QFileInfo::exists(path) && staysInsideThroughLinks(m_root, path);
        }
        case LinkFreeLookup::Result::Unknown:
            break;
        }
        const QString path = resolveRootPath(m_root, relative);
        if (!QFileInfo::exists(path))
            return false;
        for (qsizetype end = path.size() - relative.size();; ++end) {
            end = path.indexOf(QLatin1Char('/'), end);
            if (isLinkOrJunction(QFileInfo(end < 0 ? path : path.left(end))))
                return staysInsideThroughLinks(m_root, path);
            if (end < 0)
                return true;
        }
    }

    bool allExistInside(const QStringList &relativePaths) const
    {
        for (const QString &relativePath : relativePaths) {
            if (!existsInside(relativePath))
                return false;
        }
        return true;
    }

    const QString &root() const { return m_root; }

private:
    const QString m_root;
    const LinkFreeLookup m_lookup;
};

int supportVersionIn(const RootFiles &files)
{
    QByteArray content;
    if (!files.existsInside(SupportVersionMarkerPath)
        || !readSmallFile(
            resolveRootPath(files.root(), SupportVersionMarkerPath), MaxVersionMarkerBytes, content))
        return 0;
    // Windows editors like to start a UTF-8 file with a byte order mark; it is not part of the number.
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    bool ok = false;
    const int version = QString::fromUtf8(content).trimmed().toInt(&ok, 10);
    return ok ? version : 0;
}

bool packagePresentIn(const RootFiles &files, const PackageDefinition &package)
{
    // Most packages of a large catalog are absent, and the catalog marker, required of every package,
    // says so in one look. It is also the only file an ordinary package requires, so only the support
    // package goes on to the list of required files.
    const QString marker = package.marker_relative_path.trimmed();
    if (!marker.isEmpty() && !files.existsInside(marker))
        return false;
    if (!isSupportPackage(package.package_id))
        return !marker.isEmpty();
    const QStringList required = requiredFiles(package, QString());
    return !required.isEmpty() && files.allExistInside(required)
        && supportVersionIn(files) == package.internal_version_code;
}

void appendUnique(QStringList &list, const QString &value)
{
    const QString trimmed = value.trimmed();
    if (!trimmed.isEmpty() && !list.contains(trimmed))
        list.append(trimmed);
}

QList<InstalledPackageRecord> stateRecordsOf(const QJsonDocument &document)
{
    QList<InstalledPackageRecord> records;
    if (!document.isObject())
        return records;
    const QJsonValue packages = document.object().value(QLatin1String("packages"));
    if (!packages.isArray())
        return records;
    const QJsonArray entries = packages.toArray();
    for (const QJsonValue &value : entries) {
        InstalledPackageRecord record = readRecord(value.toObject());
        if (record.packageId.isEmpty() || record.product.isEmpty() || record.version.isEmpty()
            || record.toolchain.isEmpty())
            continue;
        records.append(std::move(record));
    }
    return records;
}

// Whether a manifest read from disk says what `document` says, its time stamp aside.
bool documentsMatch(const QJsonDocument &fileDocument, const QJsonDocument &document)
{
    // Comparing the parsed values is what comparing their compact, key-sorted texts amounts to (object
    // keys are unordered, arrays keep their order, types and strings must agree) at a fraction of the
    // cost of serialising two large documents on every refresh.
    if (fileDocument.isObject() && document.isObject()) {
        // The time stamp changes on every write; only the content says whether the file is current.
        QJsonObject fileObject = fileDocument.object();
        QJsonObject expectedObject = document.object();
        fileObject.remove(QLatin1String("generated_at"));
        expectedObject.remove(QLatin1String("generated_at"));
        return fileObject == expectedObject;
    }
    return fileDocument == document;
}

// manifestsNeedRepair with state.json already read: `stateDocument` is null when it could not be.
bool needsRepair(const PackageCatalog &catalog, const QString &rootPath, const QSet<QString> &installedIds,
    const QJsonDocument *stateDocument)
{
    const QString &root = rootPath;
    // Without a root there are no manifest files, and none may be looked for in the working directory.
    if (root.isEmpty())
        return false;
    const QString statePath = resolveRootPath(root, StateFileRelativePath);
    const QString installedPath = resolveRootPath(root, InstalledPackagesFileRelativePath);
    if (installedIds.isEmpty())
        return stateDocument || QFileInfo::exists(statePath) || QFileInfo::exists(installedPath);
    if (!stateDocument || !stateDocumentIsCurrent(*stateDocument, catalog, root, installedIds))
        return true;
    QJsonDocument installedDocument;
    return !parseJsonFile(installedPath, installedDocument)
        || !installedPackagesDocumentIsCurrent(installedDocument, catalog, root, installedIds);
}

} // namespace

QStringList pathsPackageWrites(const PackageDefinition &package)
{
    QStringList paths;
    for (const QString &relative : package.owned_paths + requiredFiles(package, QString())) {
        if (!relative.trimmed().isEmpty())
            paths.append(cleanRelativePath(relative));
    }
    if (!package.install_subdir.trimmed().isEmpty())
        paths.append(cleanRelativePath(package.install_subdir));
    return paths;
}

QStringList requiredFiles(const PackageDefinition &package, const QString &markerRelativePath)
{
    QStringList files;
    appendUnique(files, markerRelativePath);
    appendUnique(files, package.marker_relative_path);
    if (isSupportPackage(package.package_id)) {
        for (const QString &file : SupportToolchainFiles)
            appendUnique(files, file);
        appendUnique(files, SupportVersionMarkerPath);
    }
    return files;
}

int readSupportVersion(const QString &rootPath)
{
    return supportVersionIn(RootFiles(rootPath));
}

bool isPackagePresent(const QString &rootPath, const PackageDefinition &package)
{
    return packagePresentIn(RootFiles(rootPath), package);
}

QStringList missingRootFiles(const QString &rootPath, const QStringList &relativePaths)
{
    const RootFiles files(rootPath);
    QStringList missing;
    for (const QString &relativePath : relativePaths) {
        if (!files.existsInside(relativePath))
            missing.append(relativePath);
    }
    return missing;
}

QList<InstalledPackageRecord> readStateRecords(const QString &stateFilePath)
{
    QJsonDocument document;
    return parseJsonFile(stateFilePath, document) ? stateRecordsOf(document)
                                                  : QList<InstalledPackageRecord>();
}

bool documentMatchesFile(const QString &path, const QJsonDocument &document)
{
    QJsonDocument fileDocument;
    return parseJsonFile(path, fileDocument) && documentsMatch(fileDocument, document);
}

bool manifestsNeedRepair(
    const PackageCatalog &catalog, const QString &rootPath, const QSet<QString> &installedIds)
{
    QJsonDocument stateDocument;
    const bool stateRead = !rootPath.isEmpty()
        && parseJsonFile(resolveRootPath(rootPath, StateFileRelativePath), stateDocument);
    return needsRepair(catalog, rootPath, installedIds, stateRead ? &stateDocument : nullptr);
}

InstalledState inspectRoot(const PackageCatalog &catalog, const QString &rootPath)
{
    InstalledState state;
    const QString root = cleanRootPath(rootPath);
    if (root.isEmpty())
        return state;

    const RootFiles rootFiles(root, true);
    const int supportVersion = supportVersionIn(rootFiles);
    // A package an apply was changing when it stopped may be missing files whatever its markers say,
    // so it is never current. With a state record it stays installed but stale, even when its markers
    // went first, so that the next plan reinstalls or finishes removing it; without one it is not
    // installed.
    const PackagesInProgress inProgress = readPackagesInProgress(root);
    // Catalog packages a record has spoken for, by catalog position.
    QList<bool> seen(catalog.packages().size(), false);
    // state.json is read once, for the records and for the repair check.
    QJsonDocument stateDocument;
    const bool stateRead = parseJsonFile(resolveRootPath(root, StateFileRelativePath), stateDocument);
    const QList<InstalledPackageRecord> records
        = stateRead ? stateRecordsOf(stateDocument) : QList<InstalledPackageRecord>();
    for (const InstalledPackageRecord &record : records) {
        const PackageDefinition *package = catalog.findPackage(record.packageId);
        if (package) {
            const QString marker = record.markerRelativePath.isEmpty() ? package->marker_relative_path
                                                                       : record.markerRelativePath;
            const QStringList files = requiredFiles(*package, marker);
            if (!inProgress.contains(record.packageId)
                && (files.isEmpty() || !rootFiles.allExistInside(files)))
                continue;
        } else if (record.markerRelativePath.isEmpty()
            || !rootFiles.existsInside(record.markerRelativePath)) {
            continue;
        }

        state.hasInstalledContent = true;
        if (!package)
            continue;
        seen[package - catalog.packages().constData()] = true;

        // The catalog's own string for the id: the planner finds shared ids without hashing them.
        const QString &id = package->package_id;
        state.installed.insert(id);
        state.records.insert(record.packageId, record);
        const bool stale = inProgress.contains(record.packageId)
            || (isSupportPackage(package->package_id) && package->internal_version_code != supportVersion)
            || record.internalVersionCode < package->internal_version_code;
        // A later record for the same id replaces the earlier one, so its verdict must too: a package
        // is never both current and stale.
        state.current.remove(record.packageId);
        state.stale.remove(record.packageId);
        if (stale)
            state.stale.insert(id);
        else
            state.current.insert(id);
    }

    for (qsizetype position = 0; position < catalog.packages().size(); ++position) {
        const PackageDefinition &package = catalog.packages().at(position);
        if (seen.at(position) || inProgress.contains(package.package_id)
            || !packagePresentIn(rootFiles, package))
            continue;
        state.installed.insert(package.package_id);
        state.current.insert(package.package_id);
        state.hasInstalledContent = true;
    }

    if (!state.installed.isEmpty())
        state.hasInstalledContent = true;
    state.needsRepair = needsRepair(catalog, root, state.installed, stateRead ? &stateDocument : nullptr);
    return state;
}

} // namespace vexa
