#include "platform/defaultroot.h"

#include <QDir>

namespace vexa {

QString DefaultRootPath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:/Vexa");
#else
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/Vexa"));
#endif
}

} // namespace vexa
