#include "platform/linkfreelookup.h"

#include <QFile>

// openat2 came with Linux 5.6; older kernel headers leave the walk to the caller.
#if defined(Q_OS_LINUX) && __has_include(<linux/openat2.h>)
#define VEXA_HAS_OPENAT2_HEADER 1
#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace vexa {

#if defined(VEXA_HAS_OPENAT2_HEADER) && defined(SYS_openat2)

LinkFreeLookup::LinkFreeLookup(const QString &directory)
    : m_directory(::open(QFile::encodeName(directory).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC))
{ }

LinkFreeLookup::~LinkFreeLookup()
{
    if (m_directory >= 0)
        ::close(m_directory);
}

LinkFreeLookup::Result LinkFreeLookup::find(const QString &relativePath) const
{
    if (m_directory < 0 || m_unsupported)
        return Result::Unknown;
    // An O_PATH descriptor reads nothing, so even a file we may not read is found, as stat finds it.
    open_how how {};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
    const QByteArray path = QFile::encodeName(relativePath);
    const long descriptor = ::syscall(SYS_openat2, m_directory, path.constData(), &how, sizeof how);
    if (descriptor >= 0) {
        ::close(int(descriptor));
        return Result::Found;
    }
    switch (errno) {
    case ENOENT:
    case ENOTDIR:
    case EACCES:
    case ENAMETOOLONG:
        return Result::Missing;
    case ELOOP:
        return Result::ThroughLink;
    case ENOSYS:
    case EPERM: // a sandbox that filters the call
        m_unsupported = true;
        return Result::Unknown;
    default:
        return Result::Unknown;
    }
}

#else

LinkFreeLookup::LinkFreeLookup(const QString &) { }

LinkFreeLookup::~LinkFreeLookup() = default;

LinkFreeLookup::Result LinkFreeLookup::find(const QString &) const
{
    return Result::Unknown;
}

#endif

} // namespace vexa
