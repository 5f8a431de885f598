#include "engine/applytransaction.h"

#include "archive/archiveextraction.h"
#include "archive/directorycopy.h"
#include "archive/pathcontainment.h"
#include "archive/printabletext.h"
#include "engine/applypreflight.h"
#include "engine/archiveacquisition.h"
#include "engine/archivecache.h"
#include "engine/manifestfiles.h"
#include "engine/packagesinprogress.h"
#include "engine/packageverification.h"
#include "engine/rootinspection.h"
#include "engine/rootpaths.h"
#include "engine/rootremoval.h"
#include "engine/rootvariable.h"
#include "net/remotesource.h"
#include "platform/durability.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <QtDebug>

#include <algorithm>

namespace vexa {

namespace {

void report(
    const ApplyProgressCallback &progress, ApplyProgress::Phase phase, const PackageDefinition &package)
{
    if (progress)
        progress(packageProgress(phase, package));
}

// The owned paths a removal or upgrade of the package deletes: those recorded in state.json when the
// plan has a non-empty list for it, the catalog's otherwise.
QStringList ownedPathsForRemoval(const ChangePlan &plan, const PackageDefinition &package)
{
    const auto record = plan.installedRecords.constFind(package.package_id);
    if (record != plan.installedRecords.constEnd() && !record->ownedPaths.isEmpty())
        return record->ownedPaths;
    return package.owned_paths;
}

// A fresh download folder for one apply. It is only named here, created when the first archive is
// downloaded into it and removed when the apply ends, successful or not.
QString newDownloadCacheDirectory()
{
    return QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/') + DownloadCacheParentName + QLatin1Char('/')
        + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool usesPayloadDirectory(const PackageDefinition &package)
{
    return package.payload_archive.isEmpty() && package.payload_url.isEmpty();
}

// The repository base was cleaned where the apply came in, and a payload_source_dir is used only once
// its placement is Inside, which its clean form keeps free of "." and "..".
QString payloadSourcePath(const QString &repositoryBase, const QString &payloadSourceDir)
{
    return resolveRootPath(repositoryBase, cleanRelativePath(payloadSourceDir));
}

// A path the root is written through (install_subdir, marker) must lead below the root; install_subdir
// may also name the root itself. A blank one names nothing.
bool checkRootPath(const QString &root, const QString &what, const QString &path, const QString &label,
    bool mayNameRoot, QString &errorText)
{
    if (path.trimmed().isEmpty())
        return true;
    const PathPlacement placement = pathPlacement(path);
    if (placement == PathPlacement::Inside || (mayNameRoot && placement == PathPlacement::Base))
        return true;
    errorText = unsafePathMessage(what, path, label, placementReason(placement, installRootPlace(root)));
    return false;
}

// The payload directory is read whole into the root, so it must lie below the repository directory,
// also when followed through links.
bool checkPayloadDirectory(
    const QString &repositoryBase, const PackageDefinition &package, QString &errorText)
{
    if (!usesPayloadDirectory(package) || package.payload_source_dir.isEmpty() || repositoryBase.isEmpty())
        return true;
    const QString label = displayLabel(package);
    const QString what = QStringLiteral("payload_source_dir");
    const PathPlacement placement = pathPlacement(package.payload_source_dir);
    if (placement != PathPlacement::Inside) {
        errorText = unsafePathMessage(what, package.payload_source_dir, label,
            placementReason(placement, repositoryPlace(repositoryBase)));
        return false;
    }
    if (!staysInsideThroughLinks(
            repositoryBase, payloadSourcePath(repositoryBase, package.payload_source_dir))) {
        errorText = unsafePathMessage(
            what, package.payload_source_dir, label, throughLinkReason(repositoryPlace(repositoryBase)));
        return false;
    }
    return true;
}

bool checkInstallPaths(
    const QString &root, const QString &repositoryBase, const PackageDefinition &package, QString &errorText)
{
    const QString label = displayLabel(package);
    for (const QString &ownedPath : package.owned_paths) {
        if (!checkOwnedPath(root, ownedPath, label, errorText))
            return false;
    }
    return checkRootPath(
               root, QStringLiteral("install_subdir"), package.install_subdir, label, true, errorText)
        && checkRootPath(root, QStringLiteral("marker_relative_path"), package.marker_relative_path, label,
            false, errorText)
        && checkPayloadDirectory(repositoryBase, package, errorText);
}

// Everything the plan would delete or write through is checked before the first change, so a hostile
// or corrupt catalog or state file cannot leave the root half-changed either.
bool checkPlanPaths(const PackageCatalog &catalog, const QString &repositoryBase, const QString &root,
    const ChangePlan &plan, QString &errorText)
{
    for (const QStringList *order : { &plan.removeOrder, &plan.upgradeOrder }) {
        for (const QString &id : *order) {
            const PackageDefinition *package = catalog.findPackage(id);
            if (!package)
                continue;
            const QString label = displayLabel(*package);
            for (const QString &ownedPath : ownedPathsForRemoval(plan, *package)) {
                if (!checkOwnedPath(root, ownedPath, label, errorText))
                    return false;
            }
        }
    }
    for (const QString &id : plan.installOrder) {
        const PackageDefinition *package = catalog.findPackage(id);
        if (package && !checkInstallPaths(root, repositoryBase, *package, errorText))
            return false;
    }
    return true;
}

// The root's record of the packages this apply is changing (see packagesinprogress.h). Packages an
// earlier apply left in it stay until this one completes them.
class ProgressRecord
{
public:
    explicit ProgressRecord(const QString &root)
        : m_root(root)
        , m_ids(readPackagesInProgress(root).ids)
    { }

    // Records the packages before their files are touched.
    bool add(const QSet<QString> &ids, QString &errorText)
    {
        const qsizetype before = m_ids.size();
        m_ids.unite(ids);
        return m_ids.size() == before && !m_dirty ? true : save(errorText);
    }
    // Called once the package is verified, with the root-relative paths its change wrote or deleted;
    // written with the next change.
    void complete(const QString &id, const QStringList &changedPaths)
    {
        if (!m_ids.remove(id))
            return;
        m_dirty = true;
        for (const QString &path : changedPaths)
            m_changedPaths.append(resolveRootPath(m_root, path));
    }
    bool save(QString &errorText)
    {
        // A package leaves the record only once its files are on disk: with delayed allocation a power
        // cut could otherwise leave zero-length files that nothing marks as unfinished.
        if (m_dirty && !syncWrittenTrees(m_root, m_changedPaths)) {
            errorText = QStringLiteral("Failed to write the changes below %1 to disk.").arg(m_root);
            return false;
        }
        m_dirty = false;
        m_changedPaths.clear();
        return writePackagesInProgress(m_root, m_ids, errorText);
    }

private:
    QString m_root;
    QSet<QString> m_ids;
    QStringList m_changedPaths;
    bool m_dirty = false;
};

bool deletePackage(
    const QString &root, const ChangePlan &plan, const PackageDefinition &package, QString &errorText)
{
    const QString label = displayLabel(package);
    for (const QString &ownedPath : ownedPathsForRemoval(plan, package)) {
        if (!removeOwnedPath(root, ownedPath, label, errorText))
            return false;
    }
    return verifyPackageState(root, package, false, errorText);
}

bool installPackage(const QString &repositoryBase, const QString &root, const PackageDefinition &package,
    const QString &cacheDirectory, QSet<QString> &usedArchives, QString &errorText,
    const ApplyProgressCallback &progress)
{
    const QString label = displayLabel(package);
    // The package only reads as present once its markers exist, so they are written last.
    const QStringList markers = requiredFiles(package, QString());
    const QSet<QString> writeLast(markers.cbegin(), markers.cend());
    if (usesPayloadDirectory(package)) {
        if (package.payload_source_dir.isEmpty() || repositoryBase.isEmpty()) {
            errorText = QStringLiteral("Package %1 does not provide an installable payload.").arg(label);
            return false;
        }
        const QString source = payloadSourcePath(repositoryBase, package.payload_source_dir);
        if (!QFileInfo(source).isDir()) {
            errorText = QStringLiteral("Payload source directory not found for %1: %2")
                            .arg(label, printableName(source));
            return false;
        }
        if (!copyDirectoryTree(source, root, errorText, CopySourceKind::PayloadDirectory, writeLast))
            return false;
    } else {
        if (downloadsArchive(package, repositoryBase))
            report(progress, ApplyProgress::Phase::DownloadStarted, package);
        QString archivePath;
        if (!acquireArchive(repositoryBase, package, cacheDirectory, archivePath, errorText, progress))
            return false;
        usedArchives.insert(QFileInfo(archivePath).absoluteFilePath());
        if (!extractArchive(archivePath, root, errorText, writeLast))
            return false;
    }
    return verifyPackageState(root, package, true, errorText);
}

bool writeManifests(
    const PackageCatalog &catalog, const QString &root, const QSet<QString> &target, QString &errorText)
{
    if (!target.isEmpty()) {
        return writeStateFile(catalog, root, target, errorText)
            && writeInstalledPackagesFile(catalog, root, target, errorText);
    }
    // An empty root keeps its manifest directory but no longer claims to hold anything; a state file
    // that stays would go on claiming it.
    return removePath(resolveRootPath(root, StateFileRelativePath), errorText)
        && removePath(resolveRootPath(root, InstalledPackagesFileRelativePath), errorText);
}

// Target packages that the plan keeps as they are and that are complete in the root right now.
QSet<QString> keptPresentPackages(const PackageCatalog &catalog, const QString &root, const ChangePlan &plan)
{
    QSet<QString> kept;
    const QSet<QString> installing(plan.installOrder.cbegin(), plan.installOrder.cend());
    for (const QString &id : plan.target) {
        const PackageDefinition *package = catalog.findPackage(id);
        if (package && !installing.contains(id) && isPackagePresent(root, *package))
            kept.insert(id);
    }
    return kept;
}

// The packages the removal and upgrade passes change: their own, and kept packages with a required
// file at or below a path those passes delete (a Qt module inside "qt6"), whose files go with it.
QSet<QString> packagesTouchedByDeletions(
    const PackageCatalog &catalog, const ChangePlan &plan, const QSet<QString> &kept)
{
    QSet<QString> touched;
    QStringList deleted;
    for (const QStringList *order : { &plan.removeOrder, &plan.upgradeOrder }) {
        for (const QString &id : *order) {
            const PackageDefinition *package = catalog.findPackage(id);
            if (!package)
                continue;
            touched.insert(id);
            for (const QString &ownedPath : ownedPathsForRemoval(plan, *package))
                deleted.append(cleanRelativePath(ownedPath).toLower() + QLatin1Char('/'));
        }
    }
    for (const QString &id : kept) {
        const QStringList files = requiredFiles(*catalog.findPackage(id), QString());
        for (const QString &file : files) {
            const QString path = cleanRelativePath(file).toLower() + QLatin1Char('/');
            if (std::any_of(deleted.cbegin(), deleted.cend(),
                    [&path](const QString &prefix) { return path.startsWith(prefix); }))
                touched.insert(id);
        }
    }
    return touched;
}

// The install pass: the plan's installs, plus kept packages whose files the deletions took with them.
// A package may live inside another's directory (a Qt module inside "qt6"); upgrading the outer one
// deletes that directory, and without this the final verification would fail on the module.
QStringList installSequence(const PackageCatalog &catalog, const QString &root, const ChangePlan &plan,
    const QSet<QString> &keptBefore, QSet<QString> &reinstalled)
{
    for (const QString &id : keptBefore) {
        if (!isPackagePresent(root, *catalog.findPackage(id)))
            reinstalled.insert(id);
    }
    if (reinstalled.isEmpty())
        return plan.installOrder;
    QSet<QString> ids(plan.installOrder.cbegin(), plan.installOrder.cend());
    ids.unite(reinstalled);
    return catalog.topologicalOrder(ids);
}

// Removes the apply's own download folder when the apply ends, whatever the outcome: its archives have
// no digest to be found again by. Those with one stay in the archive cache.
class DownloadFolderRemoval
{
public:
    explicit DownloadFolderRemoval(const QString &path)
        : m_path(path)
    { }
    ~DownloadFolderRemoval()
    {
        QString errorText;
        if (!removePath(m_path, errorText))
            qWarning().noquote() << errorText;
    }
    DownloadFolderRemoval(const DownloadFolderRemoval &) = delete;
    DownloadFolderRemoval &operator=(const DownloadFolderRemoval &) = delete;

private:
    QString m_path;
};

} // namespace

bool applyPlan(const PackageCatalog &catalog, const QString &repositoryBaseText, const QString &rootPath,
    const ChangePlan &plan, QString &errorText, const ApplyProgressCallback &progress)
{
    // Cleaned once here; everything below trusts them. A URL keeps its "//".
    const QString root = cleanRootPath(rootPath);
    const QString repositoryBase = isRemoteSource(repositoryBaseText) ? repositoryBaseText.trimmed()
                                                                      : cleanRootPath(repositoryBaseText);
    if (root.isEmpty()) {
        errorText = QStringLiteral("Select an install root before applying changes.");
        return false;
    }
    // Before anything is created, fetched or deleted: a refusal leaves everything as it was.
    if (!checkApplyPreflight(catalog, repositoryBase, root, plan, systemPreflightEnvironment(), errorText))
        return false;
    if (!QDir().mkpath(root)) {
        errorText = QStringLiteral("Failed to create the install root %1").arg(root);
        return false;
    }
    const QString cacheDirectory = newDownloadCacheDirectory();
    const DownloadFolderRemoval removeDownloads(cacheDirectory);
    QSet<QString> usedArchives;

    if (!checkPlanPaths(catalog, repositoryBase, root, plan, errorText))
        return false;

    const QSet<QString> keptBefore = keptPresentPackages(catalog, root, plan);
    ProgressRecord record(root);
    if (!record.add(packagesTouchedByDeletions(catalog, plan, keptBefore), errorText))
        return false;

    for (const QString &id : plan.removeOrder) {
        const PackageDefinition *package = catalog.findPackage(id);
        if (!package)
            continue;
        report(progress, ApplyProgress::Phase::Removing, *package);
        if (!deletePackage(root, plan, *package, errorText))
            return false;
        record.complete(id, ownedPathsForRemoval(plan, *package));
    }
    for (const QString &id : plan.upgradeOrder) {
        const PackageDefinition *package = catalog.findPackage(id);
        if (!package)
            continue;
        report(progress, ApplyProgress::Phase::Upgrading, *package);
        if (!deletePackage(root, plan, *package, errorText))
            return false;
    }
    QSet<QString> reinstalled;
    for (const QString &id : installSequence(catalog, root, plan, keptBefore, reinstalled)) {
        const PackageDefinition *package = catalog.findPackage(id);
        if (!package)
            continue;
        if (reinstalled.contains(id) && !checkInstallPaths(root, repositoryBase, *package, errorText))
            return false;
        report(progress, ApplyProgress::Phase::Installing, *package);
        if (!record.add({ id }, errorText)
            || !installPackage(
                repositoryBase, root, *package, cacheDirectory, usedArchives, errorText, progress))
            return false;
        record.complete(id, pathsPackageWrites(*package));
    }
    if (!record.save(errorText) || !writeManifests(catalog, root, plan.target, errorText))
        return false;

    for (const QString &id : catalog.topologicalOrder(plan.target)) {
        const PackageDefinition *package = catalog.findPackage(id);
        if (package && !verifyPackageState(root, *package, true, errorText))
            return false;
    }

    if (!publishRootVariable(root, plan.target.isEmpty(), errorText))
        return false;

    // Only after a success: a failed apply keeps everything it fetched for the next one.
    trimArchiveCacheAfterApply(usedArchives);
    return true;
}

} // namespace vexa
