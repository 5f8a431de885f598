#include "engine/rootpaths.h"

#include <QDir>

namespace vexa {

QString cleanRootPath(const QString &root)
{
    const QString trimmed = root.trimmed();
    if (trimmed.isEmpty())
        return QString();
    return QDir::cleanPath(QDir::fromNativeSeparators(trimmed));
}

QString resolveRootPath(const QString &root, const QString &relativePath)
{
    const QString cleanedRoot = cleanRootPath(root);
    if (relativePath.isEmpty())
        return cleanedRoot;
    const QString relative = QDir::fromNativeSeparators(relativePath);
    if (QDir::isAbsolutePath(relative))
        return relative;
    if (cleanedRoot.isEmpty())
        return relative;
    if (cleanedRoot.endsWith(QLatin1Char('/')))
        return cleanedRoot + relative;
    return cleanedRoot + QLatin1Char('/') + relative;
}

bool isInsideRoot(const QString &root, const QString &relativePath)
{
    const QString cleanedRoot = cleanRootPath(root);
    if (cleanedRoot.isEmpty())
        return false;
    const QString resolved = QDir::cleanPath(resolveRootPath(cleanedRoot, relativePath));
    const QString prefix
        = cleanedRoot.endsWith(QLatin1Char('/')) ? cleanedRoot : cleanedRoot + QLatin1Char('/');
    return resolved.startsWith(prefix);
}

} // namespace vexa
