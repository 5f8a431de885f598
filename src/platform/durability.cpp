#include "platform/durability.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vexa {

namespace {

#ifdef Q_OS_WIN

HANDLE openForFlush(const wchar_t *name)
{
    return CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool flushFile(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    const auto name = reinterpret_cast<const wchar_t *>(native.utf16());
    HANDLE file = openForFlush(name);
    // Windows refuses write access, which the flush needs, to a file marked read-only, and extraction
    // marks files so when their archive says so: the mark is lifted for the flush and put back.
    const DWORD attributes
        = file == INVALID_HANDLE_VALUE ? GetFileAttributesW(name) : INVALID_FILE_ATTRIBUTES;
    bool unmarked = false;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        unmarked = SetFileAttributesW(name, attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)) != 0;
        if (unmarked)
            file = openForFlush(name);
    }
    bool flushed = false;
    if (file != INVALID_HANDLE_VALUE) {
        flushed = FlushFileBuffers(file) != 0;
        CloseHandle(file);
    }
    if (unmarked)
        SetFileAttributesW(name, attributes);
    return flushed;
}

#else

int openForSync(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
}

#ifndef Q_OS_LINUX
bool flushFile(const QString &path)
{
    const int descriptor = openForSync(path);
    if (descriptor < 0)
        return false;
    const bool flushed = ::fsync(descriptor) == 0;
    ::close(descriptor);
    return flushed;
}
#endif

#endif

#ifndef Q_OS_LINUX
// Every file below the path, or the path itself when it is a file. Links are not followed: what they
// lead to was not written here.
bool flushFilesBelow(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.exists())
        return true;
    if (!info.isDir())
        return flushFile(path);
    bool flushed = true;
    QDirIterator it(
        path, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext())
        flushed = flushFile(it.next()) && flushed;
    return flushed;
}
#endif

} // namespace

bool syncDirectory(const QString &directory)
{
#ifdef Q_OS_WIN
    Q_UNUSED(directory);
    return true;
#else
    const int descriptor = openForSync(directory);
    if (descriptor < 0)
        return false;
    const bool synced = ::fsync(descriptor) == 0;
    ::close(descriptor);
    return synced;
#endif
}

bool syncWrittenTrees(const QString &base, const QStringList &paths)
{
#ifdef Q_OS_LINUX
    // One call, whatever the number of files: per-file fsync of a package of thousands of files costs
    // a journal commit each.
    Q_UNUSED(paths);
    const int descriptor = openForSync(base);
    if (descriptor < 0)
        return false;
    const bool synced = ::syncfs(descriptor) == 0;
    ::close(descriptor);
    return synced;
#else
    Q_UNUSED(base);
    bool flushed = true;
    for (const QString &path : paths)
        flushed = flushFilesBelow(path) && flushed;
    return flushed;
#endif
}

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
