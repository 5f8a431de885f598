#include "platform/linkfreelookup.h"

#include <QFile>

// openat2 came with Linux 5.6; older kernel headers leave the walk to the caller.
#if defined(Q_OS_LINUX) && __has_include(<linux/openat2.h>)
#define VEXA_HAS_OPENAT2_HEADER 1
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace vexa {

#if defined(VEXA_HAS_OPENAT2_HEADER) && defined(SYS_openat2)

namespace {

// A folder with more entries than this is no Vexa root worth listing (a home folder picked by
// mistake, say); its lookups go to the file system one by one.
constexpr qsizetype MaxListedEntries = 100000;

// A name as a file system that ignores case or normalises Unicode (a Windows drive, a case-folding
// ext4 folder) may match it: two names with different keys can never be the same entry anywhere, so a
// missing key means a missing entry, while a key that is there still leaves the answer to the file
// system.
QString entryKey(QStringView name)
{
    return name.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
}

} // namespace

LinkFreeLookup::LinkFreeLookup(const QString &directory, bool readEntries)
    : m_directory(::open(QFile::encodeName(directory).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC))
{
    if (m_directory < 0 || !readEntries)
        return;
    // A descriptor opened for the path alone cannot be read; the listing needs one of its own.
    const int listed = ::openat(m_directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *const entries = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!entries) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(entries);
        if (!entry || m_entries.size() >= MaxListedEntries)
            break;
        m_entries.insert(entryKey(QString::fromUtf8(entry->d_name)));
    }
    // A listing cut short would call present names missing.
    m_entriesRead = errno == 0 && m_entries.size() < MaxListedEntries;
    if (!m_entriesRead)
        m_entries.clear();
    ::closedir(entries);
}

LinkFreeLookup::~LinkFreeLookup()
{
    if (m_directory >= 0)
        ::close(m_directory);
}

LinkFreeLookup::Result LinkFreeLookup::find(const QString &relativePath) const
{
    if (m_directory < 0 || m_unsupported)
        return Result::Unknown;
    if (m_entriesRead
        && !m_entries.contains(entryKey(QStringView(relativePath).left(relativePath.indexOf(u'/')))))
        return Result::Missing;
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

LinkFreeLookup::LinkFreeLookup(const QString &, bool) { }

LinkFreeLookup::~LinkFreeLookup() = default;

LinkFreeLookup::Result LinkFreeLookup::find(const QString &) const
{
    return Result::Unknown;
}

#endif

} // namespace vexa
