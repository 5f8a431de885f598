#include "engine/rootremoval.h"

#include "engine/pathcontainment.h"
#include "engine/rootpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vexa {

namespace {

bool isLink(const QFileInfo &info)
{
    return info.isSymLink() || info.isJunction();
}

QString throughLinkReason(const QString &root)
{
    return QStringLiteral("it leads through a link out of the install root %1").arg(root);
}

QString absoluteClean(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

QString unsafePathMessage(
    const QString &what, const QString &path, const QString &packageLabel, const QString &reason)
{
    return QStringLiteral("Refusing unsafe %1 \"%2\" of %3: %4.").arg(what, path, packageLabel, reason);
}

QString outsideInstallRootReason(const QString &root)
{
    return QStringLiteral("it lies outside the install root %1").arg(root);
}

QString installRootItselfReason()
{
    return QStringLiteral("it names the install root itself");
}

bool removePath(const QString &path, QString &errorText)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (isLink(info)) {
        // A link to a directory is removed as a directory entry on Windows, as a file elsewhere.
        if (QFile::remove(path) || QDir().rmdir(path))
            return true;
        errorText = QStringLiteral("Failed to remove file %1").arg(path);
        return false;
    }
    if (info.isDir()) {
        // removeRecursively deletes links inside the tree as links and never descends through them.
        if (!QDir(path).removeRecursively()) {
            errorText = QStringLiteral("Failed to remove directory %1").arg(path);
            return false;
        }
        return true;
    }
    if (!QFile::remove(path)) {
        errorText = QStringLiteral("Failed to remove file %1").arg(path);
        return false;
    }
    return true;
}

bool pruneEmptyParents(const QString &root, const QString &ownedPath, QString &errorText)
{
    const QString cleanedRoot = cleanRootPath(root);
    if (placementUnder(cleanedRoot, ownedPath) != PathPlacement::Inside) {
        errorText = QStringLiteral(
            "Refusing to prune directories above \"%1\": it is not inside the install root %2.")
                        .arg(ownedPath, cleanedRoot);
        return false;
    }
    const QString stop = absoluteClean(cleanedRoot);
    const QString stopPrefix = stop.endsWith(QLatin1Char('/')) ? stop : stop + QLatin1Char('/');
    QString current = QDir::cleanPath(QFileInfo(resolveRootPath(cleanedRoot, ownedPath)).absolutePath());
    for (;;) {
        // The prefix test keeps the walk below the root even if the two strings were to differ in form.
        if (current.isEmpty() || current == stop || !current.startsWith(stopPrefix))
            return true;
        const QFileInfo info(current);
        if (info.isDir() && !isLink(info)) {
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
    const QString cleanedRoot = cleanRootPath(root);
    switch (placementUnder(cleanedRoot, ownedPath)) {
    case PathPlacement::Inside:
        return true;
    case PathPlacement::Base:
        errorText = unsafePathMessage(
            QStringLiteral("owned path"), ownedPath, packageLabel, installRootItselfReason());
        return false;
    case PathPlacement::Outside:
        break;
    }
    errorText = unsafePathMessage(
        QStringLiteral("owned path"), ownedPath, packageLabel, outsideInstallRootReason(cleanedRoot));
    return false;
}

bool removeOwnedPath(
    const QString &root, const QString &ownedPath, const QString &packageLabel, QString &errorText)
{
    if (!checkOwnedPath(root, ownedPath, packageLabel, errorText))
        return false;
    const QString cleanedRoot = cleanRootPath(root);
    const QString target = QDir::cleanPath(resolveRootPath(cleanedRoot, ownedPath));
    if (!staysInsideThroughLinks(cleanedRoot, target)) {
        errorText = unsafePathMessage(
            QStringLiteral("owned path"), ownedPath, packageLabel, throughLinkReason(cleanedRoot));
        return false;
    }
    return removePath(target, errorText) && pruneEmptyParents(cleanedRoot, ownedPath, errorText);
}

} // namespace vexa
