#include "engine/applypreflight.h"

#include "archive/pathcontainment.h"
#include "archive/printabletext.h"
#include "engine/archiveacquisition.h"
#include "engine/archivecache.h"
#include "engine/bytesize.h"
#include "engine/rootinspection.h"
#include "engine/rootpaths.h"
#include "platform/directoryaccess.h"
#include "platform/longpaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <iterator>
#include <vector>

namespace vexa {

namespace {

// The path itself when it exists, otherwise its nearest existing ancestor; empty when none exists.
QString nearestExisting(const QString &path)
{
    QString current = QDir::cleanPath(QDir(path).absolutePath());
    while (!QFileInfo::exists(current)) {
        const QString parent = QFileInfo(current).path();
        if (parent == current)
            return QString();
        current = parent;
    }
    return current;
}

bool checkRootWritable(const QString &root, QString &errorText)
{
    const QFileInfo info(root);
    if (info.exists()) {
        if (!info.isDir()) {
            errorText = QStringLiteral("The install root %1 is not a directory.").arg(printableName(root));
            return false;
        }
        if (!canWriteInDirectory(root)) {
            errorText = QStringLiteral("The install root %1 cannot be written.").arg(printableName(root));
            return false;
        }
        return true;
    }
    // The apply creates the root and the directories above it that are missing; the nearest one
    // that exists must take them.
    const QString existing = nearestExisting(root);
    const QFileInfo parent(existing);
    if (existing.isEmpty() || !parent.isDir() || !canWriteInDirectory(existing)) {
        errorText = QStringLiteral("The install root %1 cannot be created in %2.")
                        .arg(printableName(root), printableName(existing));
        return false;
    }
    return true;
}

bool checkPathLengths(
    const PackageCatalog &catalog, const QString &root, const ChangePlan &plan, int limit, QString &errorText)
{
    if (limit <= 0)
        return true;
    for (const QString &id : plan.installOrder) {
        const PackageDefinition *package = catalog.findPackage(id);
        if (!package)
            continue;
        for (const QString &relative : pathsPackageWrites(*package)) {
            const QString path = resolveRootPath(root, relative);
            if (path.size() <= limit)
                continue;
            errorText = QStringLiteral(
                "The path %1 is %2 characters long; without long paths enabled Windows allows at most %3.")
                            .arg(printableName(path))
                            .arg(path.size())
                            .arg(limit);
            return false;
        }
    }
    return true;
}

bool isWholeInCache(const PackageDefinition &package, const QString &cacheDirectory)
{
    // Its size is enough here: the apply checks the digest before it uses the archive, and fetches it
    // again when it does not match.
    const QFileInfo archive(QDir(cacheDirectory).filePath(cachedArchiveName(package.sha256)));
    return archive.isFile() && archive.size() == package.size_bytes;
}

// Bytes the plan puts on each file system, in the order the file systems are first met.
class SpaceNeeds
{
public:
    explicit SpaceNeeds(const FileSystemProbe &probe)
        : m_probe(probe)
    { }

    void add(const QString &path, qint64 bytes)
    {
        if (bytes <= 0 || path.isEmpty())
            return;
        auto found = m_paths.find(path);
        if (found == m_paths.end())
            found = m_paths.insert(path, indexOf(m_probe(path)));
        m_needs[*found].bytes += bytes;
    }

    bool check(QString &errorText) const
    {
        for (const Need &need : m_needs) {
            if (need.space.freeBytes < 0 || need.bytes <= need.space.freeBytes)
                continue;
            errorText = QStringLiteral("Not enough free space on %1: needs %2, %3 free.")
                            .arg(printableName(need.space.mountPoint), byteSizeText(need.bytes),
                                byteSizeText(need.space.freeBytes));
            return false;
        }
        return true;
    }

private:
    struct Need
    {
        FileSystemSpace space;
        qint64 bytes = 0;
    };

    qsizetype indexOf(const FileSystemSpace &space)
    {
        for (qsizetype index = 0; index < qsizetype(m_needs.size()); ++index) {
            if (m_needs[index].space.mountPoint == space.mountPoint)
                return index;
        }
        m_needs.push_back(Need { space, 0 });
        return qsizetype(m_needs.size()) - 1;
    }

    const FileSystemProbe &m_probe;
    // Each path is probed once.
    QHash<QString, qsizetype> m_paths;
    std::vector<Need> m_needs;
};

} // namespace

FileSystemSpace probeFileSystem(const QString &path)
{
    const QString existing = nearestExisting(path);
    if (existing.isEmpty())
        return {};
    const QStorageInfo storage(existing);
    if (!storage.isValid())
        return {};
    return FileSystemSpace { storage.rootPath(), storage.bytesAvailable() };
}

PreflightEnvironment systemPreflightEnvironment()
{
    PreflightEnvironment environment;
    environment.archiveCacheDirectory = archiveCacheDirectory();
    environment.downloadDirectory = QDir::tempPath();
    environment.pathLengthLimit = pathLengthLimit();
    return environment;
}

bool checkApplyPreflight(const PackageCatalog &catalog, const QString &repositoryBase, const QString &root,
    const ChangePlan &plan, const PreflightEnvironment &environment, QString &errorText)
{
    if (!checkRootWritable(root, errorText)
        || !checkPathLengths(catalog, root, plan, environment.pathLengthLimit, errorText))
        return false;

    SpaceNeeds needs(environment.probe);
    for (const QString &id : plan.installOrder) {
        const PackageDefinition *package = catalog.findPackage(id);
        if (!package || package->size_bytes <= 0)
            continue;
        needs.add(root, package->size_bytes);
        if (!downloadsArchive(*package, repositoryBase))
            continue;
        const bool cached = isCacheableArchive(*package) && !environment.archiveCacheDirectory.isEmpty();
        if (!cached)
            needs.add(environment.downloadDirectory, package->size_bytes);
        else if (!isWholeInCache(*package, environment.archiveCacheDirectory))
            needs.add(environment.archiveCacheDirectory, package->size_bytes);
    }
    return needs.check(errorText);
}

} // namespace vexa
