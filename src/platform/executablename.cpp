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

QStringList sharedLibraryNameFilters()
{
#ifdef Q_OS_WIN
    return { QStringLiteral("*.dll") };
#else
    return { QStringLiteral("*.so"), QStringLiteral("*.so.*") };
#endif
}

} // namespace vexa
