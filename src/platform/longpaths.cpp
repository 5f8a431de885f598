#include "platform/longpaths.h"

// Defines Q_OS_WIN; without it the Windows branch below would never be compiled.
#include <QtGlobal>

#ifdef Q_OS_WIN
#include <QSettings>
#include <QString>
#endif

namespace vexa {

int pathLengthLimit()
{
#ifdef Q_OS_WIN
    const QSettings fileSystem(
        QStringLiteral("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\FileSystem"),
        QSettings::NativeFormat);
    if (fileSystem.value(QStringLiteral("LongPathsEnabled"), 0).toInt() == 1)
        return 0;
    return 259;
#else
    return 0;
#endif
}

} // namespace vexa
