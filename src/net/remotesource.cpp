#include "net/remotesource.h"

#include <QDir>
#include <QUrl>

namespace vexa {

bool isRemoteSource(const QString &source)
{
    // Read against the working directory, so an existing relative path is a file even when it could
    // pass for a host name.
    const QUrl url = QUrl::fromUserInput(source.trimmed(), QDir::currentPath());
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace vexa
