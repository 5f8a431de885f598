#include "engine/rootremoval.h"

#include "archive/filereplacement.h"
#include "archive/pathcontainment.h"
#include "engine/rootpaths.h"

#include <QDir>
#include <QFileInfo>

namespace vexa {

namespace {

QString absoluteClean(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString ownedPathWhat()
{
    return QStringLiteral("owned path");
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
        ? QStringLiteral("Failed to remove directory %1").arg(path)
        : QStringLiteral("Failed to remove file %1").arg(path);
    return false;
}

bool pruneEmptyParents(const QString &root, const QString &ownedPath, QString &errorText)
{
    if (pathPlacement(ownedPath) != PathPlacement::Inside) {
        errorText = QStringLiteral(
            "Refusing to prune directories above \"%1\": it is not inside the install root %2.")
                        .arg(ownedPath, root);
        return false;
    }
    const QString stop = absoluteClean(root);
    const QString stopPrefix = stop.endsWith(QLatin1Char('/')) ? stop : stop + QLatin1Char('/');
    QString current
        = QDir::cleanPath(QFileInfo(resolveRootPath(root, cleanRelativePath(ownedPath))).absolutePath());
    for (;;) {
        // The prefix test keeps the walk below the root even if the two strings were to differ in form.
        if (current.isEmpty() || current == stop || !current.startsWith(stopPrefix))
            return true;
        const QFileInfo info(current);
        if (info.isDir() && !isLinkOrJunction(info)) {
            // Hidden files and dangling links count: a directory holding only those is not empty,
            // and treating it as empty would make the removal below fail the whole apply.
            const QDir directory(current);
            const QStringList entries
                = directory.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            if (!entries.isEmpty())
                return true;
            if (!QDir().rmdir(current)) {
                errorText = QStringLiteral("Failed to remove empty directory %1").arg(current);
                return false;
            }
        }
        const QString parent = QDir::cleanPath(QFileInfo(current).absolutePath());
        if (parent == current)
            return true;
        current = parent;
    }
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
    const QString target = resolveRootPath(root, cleanRelativePath(ownedPath));
    // The last part is removed as what it is (a link only as a link); the directories leading to it
    // must not lead out of the root.
    if (!staysInsideThroughLinks(root, QFileInfo(target).absolutePath())) {
        errorText = unsafePathMessage(
            ownedPathWhat(), ownedPath, packageLabel, throughLinkReason(installRootPlace(root)));
        return false;
    }
    return removePath(target, errorText) && pruneEmptyParents(root, ownedPath, errorText);
}

} // namespace vexa
