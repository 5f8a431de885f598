#include "platform/filesync.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <io.h>
#else
#include <unistd.h>
#endif

namespace vexa {

bool syncFileData(QFileDevice &file)
{
    if (file.handle() < 0)
        return false;
#ifdef Q_OS_WIN
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
#elif defined(Q_OS_LINUX)
    // The data and the size; the times can wait.
    return ::fdatasync(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

} // namespace vexa
