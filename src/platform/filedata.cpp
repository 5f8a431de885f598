#include "platform/filedata.h"

#ifdef Q_OS_LINUX
#include <cerrno>
#include <unistd.h>
#endif

namespace vexa {

namespace {

bool copyThroughBuffer(QFile &source, QFile &target, QByteArray &buffer)
{
    for (;;) {
        const qint64 count = source.read(buffer.data(), buffer.size());
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        if (target.write(buffer.constData(), count) != count)
            return false;
    }
}

#ifdef Q_OS_LINUX
enum class KernelCopy { Done, Failed, Unavailable };

// The kernel copies within the page cache (or shares extents where the file system can), which is
// what makes `cp` fast on large files. Files on different file systems, or systems without the
// call, report that at once and take the buffered path.
KernelCopy copyInKernel(QFile &source, QFile &target)
{
    const int in = source.handle();
    const int out = target.handle();
    if (in < 0 || out < 0)
        return KernelCopy::Unavailable;
    constexpr size_t Chunk = size_t(1) << 30;
    bool copiedAny = false;
    for (;;) {
        const ssize_t count = ::copy_file_range(in, nullptr, out, nullptr, Chunk, 0);
        if (count > 0) {
            copiedAny = true;
            continue;
        }
        if (count == 0)
            return KernelCopy::Done;
        if (errno == EINTR)
            continue;
        const bool unsupported = errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP
            || errno == EBADF || errno == EPERM;
        return !copiedAny && unsupported ? KernelCopy::Unavailable : KernelCopy::Failed;
    }
}
#endif

} // namespace

bool copyFileData(QFile &source, QFile &target, QByteArray &buffer)
{
#ifdef Q_OS_LINUX
    switch (copyInKernel(source, target)) {
    case KernelCopy::Done:
        return true;
    case KernelCopy::Failed:
        return false;
    case KernelCopy::Unavailable:
        break;
    }
#endif
    return copyThroughBuffer(source, target, buffer);
}

} // namespace vexa
