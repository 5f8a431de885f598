#include "platform/executablename.h"

namespace vexa {

QString executableFileName(const QString &baseName)
{
#ifdef Q_OS_WIN
    return baseName + QStringLiteral(".exe");
#else
    return baseName;
#endif
}

} // namespace vexa
