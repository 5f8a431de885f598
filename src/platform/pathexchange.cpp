#include "platform/pathexchange.h"

#ifdef Q_OS_LINUX
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#endif

namespace vexa {

PathExchange exchangePaths(const QString &first, const QString &second)
{
#ifdef Q_OS_LINUX
    if (::renameat2(AT_FDCWD, QFile::encodeName(first).constData(), AT_FDCWD,
            QFile::encodeName(second).constData(), RENAME_EXCHANGE)
        == 0)
        return PathExchange::Exchanged;
    // Older kernels and some file systems (network shares above all) answer these.
    return errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ? PathExchange::Unsupported
                                                                     : PathExchange::Failed;
#else
    Q_UNUSED(first);
    Q_UNUSED(second);
    return PathExchange::Unsupported;
#endif
}

} // namespace vexa
