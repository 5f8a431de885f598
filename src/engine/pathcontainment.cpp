#include "engine/pathcontainment.h"

#include "engine/rootpaths.h"

#include <QDir>
#include <QFileInfo>

namespace vexa {

namespace {

bool isBelow(const QString &path, const QString &base)
{
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    return path.size() > prefix.size() && path.startsWith(prefix);
}

// "C:x", "C:/x" and "//server/share" name places of their own wherever they are joined.
bool isQualifiedPath(const QString &path)
{
    if (path.startsWith(QLatin1String("//")))
        return true;
    const QString firstSegment = path.section(QLatin1Char('/'), 0, 0);
#ifdef Q_OS_WIN
    return firstSegment.contains(QLatin1Char(':'));
#else
    Q_UNUSED(firstSegment);
    return false;
#endif
}

} // namespace

PathPlacement placementUnder(const QString &baseDirectory, const QString &relativePath)
{
    const QString base = cleanRootPath(baseDirectory);
    if (base.isEmpty())
        return PathPlacement::Outside;
    const QString relative = QDir::fromNativeSeparators(relativePath.trimmed());
    if (relative.isEmpty())
        return PathPlacement::Base;
    if (QDir::isAbsolutePath(relative) || isQualifiedPath(relative))
        return PathPlacement::Outside;
    const QString resolved = QDir::cleanPath(resolveRootPath(base, relative));
    if (resolved == base)
        return PathPlacement::Base;
    return isBelow(resolved, base) ? PathPlacement::Inside : PathPlacement::Outside;
}

bool staysInsideThroughLinks(const QString &root, const QString &path)
{
    const QString canonicalRoot = QFileInfo(cleanRootPath(root)).canonicalFilePath();
    if (canonicalRoot.isEmpty())
        return true; // no root on disk, so nothing below it can be reached either
    // The path itself may be a link; only the directories leading to it are followed. Walk up to the
    // nearest one that exists.
    QString directory = QFileInfo(path).absolutePath();
    while (!QFileInfo::exists(directory)) {
        const QString parent = QFileInfo(directory).absolutePath();
        if (parent == directory)
            return true;
        directory = parent;
    }
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    return canonical == canonicalRoot || isBelow(canonical, canonicalRoot);
}

} // namespace vexa
