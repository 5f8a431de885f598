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

QString resolveRootPath(const QString &cleanedRoot, const QString &relativePath)
{
    if (relativePath.isEmpty())
        return cleanedRoot;
    const QString relative = QDir::fromNativeSeparators(relativePath);
    if (QDir::isAbsolutePath(relative) || cleanedRoot.isEmpty())
        return relative;
    if (cleanedRoot.endsWith(QLatin1Char('/')))
        return cleanedRoot + relative;
    return cleanedRoot + QLatin1Char('/') + relative;
}

} // namespace vexa
