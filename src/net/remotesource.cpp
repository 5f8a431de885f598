#include "net/remotesource.h"

#include <QDir>

namespace vexa {

bool isHttpUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool isRemoteSource(const QString &source)
{
    // Read against the working directory, so an existing relative path is a file even when it could
    // pass for a host name.
    return isHttpUrl(QUrl::fromUserInput(source.trimmed(), QDir::currentPath()));
}

} // namespace vexa
