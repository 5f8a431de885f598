#include "platform/directoryaccess.h"

#ifndef Q_OS_WIN
#include <QFile>

#include <unistd.h>
#endif

namespace vexa {

bool canWriteInDirectory(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return true;
#else
    return ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
#endif
}

} // namespace vexa
