#include "engine/rootremoval.h"

#include "archive/filereplacement.h"
#include "archive/pathcontainment.h"
#include "archive/printabletext.h"
#include "engine/rootpaths.h"

#include <QDir>
#include <QFileInfo>

namespace vexa {

namespace {

QString ownedPathWhat()
{
    return QStringLiteral("owned path");
}

// Removes the directories that deleting the clean, root-relative `relativePath` left empty, bottom up,
// stopping at the first directory that still holds anything. It walks the path's own parts, so it can
// never reach the root or anything above it.
bool pruneEmptyParents(const QString &root, const QString &relativePath, QString &errorText)
{
    for (QString directory = relativePath.section(QLatin1Char('/'), 0, -2); !directory.isEmpty();
         directory = directory.section(QLatin1Char('/'), 0, -2)) {
        const QString current = resolveRootPath(root, directory);
        const QFileInfo info(current);
        if (!info.isDir() || isLinkOrJunction(info))
            continue;
        // Hidden files and dangling links count: a directory holding only those is not empty, and
        // treating it as empty would make the removal below fail the whole apply.
        if (!QDir(current).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            return true;
        if (!QDir().rmdir(current)) {
            errorText = QStringLiteral("Failed to remove empty directory %1").arg(printableName(current));
            return false;
        }
    }
    return true;
}

} // namespace

bool removePath(const QString &path, QString &errorText)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (removeTree(path))
        return true;
    errorText = info.isDir() && !isLinkOrJunction(info)
        ? QStringLiteral("Failed to remove directory %1").arg(printableName(path))
        : QStringLiteral("Failed to remove file %1").arg(printableName(path));
    return false;
}

bool checkOwnedPath(
    const QString &root, const QString &ownedPath, const QString &packageLabel, QString &errorText)
{
    const PathPlacement placement = pathPlacement(ownedPath);
    if (placement == PathPlacement::Inside)
        return true;
    errorText = unsafePathMessage(
        ownedPathWhat(), ownedPath, packageLabel, placementReason(placement, installRootPlace(root)));
    return false;
}

bool removeOwnedPath(
    const QString &root, const QString &ownedPath, const QString &packageLabel, QString &errorText)
{
    if (!checkOwnedPath(root, ownedPath, packageLabel, errorText))
        return false;
    const QString relativePath = cleanRelativePath(ownedPath);
    const QString target = resolveRootPath(root, relativePath);
    // The last part is removed as what it is (a link only as a link); the directories leading to it
    // must not lead out of the root.
    if (!staysInsideThroughLinks(root, QFileInfo(target).absolutePath())) {
        errorText = unsafePathMessage(
            ownedPathWhat(), ownedPath, packageLabel, throughLinkReason(installRootPlace(root)));
        return false;
    }
    return removePath(target, errorText) && pruneEmptyParents(root, relativePath, errorText);
}

} // namespace vexa
