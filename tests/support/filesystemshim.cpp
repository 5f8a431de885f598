// Loaded with LD_PRELOAD into a program under test, to see and steer what it asks of the file system.
// Each variable turns on one behaviour:
//   VEXA_TEST_FAIL_RENAME=<prefix>  renaming a name that starts with the prefix fails with EACCES (either
//                                   name of an exchange), as on a file system that refuses the change;
//                                   reaches a swap's roll-back even as root, where permissions would not
//   VEXA_TEST_NO_EXCHANGE=1         an exchange (renameat2 with RENAME_EXCHANGE) fails with EINVAL, as
//                                   on a file system that cannot swap two names
//   VEXA_TEST_FS_LOG=<file>         each rename, exchange, link, deletion and sync that succeeded is
//                                   appended to the file as one line: "rename OLD NEW", "exchange A B",
//                                   "link OLD NEW", "unlink P", "rmdir P", "fsync P", "syncfs P", "sync",
//                                   with absolute paths
//   VEXA_TEST_KILL_AT=<n>           the process kills itself with SIGKILL just before the n-th of those
//                                   calls, counted from 1 whether they succeed or not, as a power cut or a
//                                   kill at that point would
//   VEXA_TEST_SKIP_SYNC=1           fsync, fdatasync, syncfs and sync succeed without doing anything, to
//                                   measure what syncing costs
// Qt renames through renameat2 or rename, gives a new save file its name with linkat, removes files with
// unlink and directories with rmdir. Only the program it was preloaded into is observed: the programs
// that one starts (the relaunched installer) run without it.

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::atomic<long> callCount { 0 };

__attribute__((constructor)) void leaveChildProcessesUnobserved()
{
    ::unsetenv("LD_PRELOAD");
}

bool enabled(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value && std::strcmp(value, "0") != 0;
}

template<typename Function> Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::string descriptorPath(int descriptor)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
    char target[4096];
    const ssize_t size = ::readlink(link, target, sizeof target - 1);
    return size > 0 ? std::string(target, size_t(size)) : std::string("?");
}

std::string absolutePath(int directory, const char *path)
{
    if (!path)
        return "?";
    if (path[0] == '/')
        return path;
    if (directory != AT_FDCWD)
        return descriptorPath(directory) + "/" + path;
    char cwd[4096];
    return std::string(::getcwd(cwd, sizeof cwd) ? cwd : "?") + "/" + path;
}

// Counts the call and kills the process when it is the chosen one.
void countCall()
{
    const long count = ++callCount;
    const char *killAt = std::getenv("VEXA_TEST_KILL_AT");
    if (killAt && *killAt && std::atol(killAt) == count)
        ::raise(SIGKILL);
}

// Logs a call that succeeded; passes its result on.
int logged(int result, const std::string &line)
{
    const char *logFile = std::getenv("VEXA_TEST_FS_LOG");
    if (result != 0 || !logFile || !*logFile)
        return result;
    const int savedErrno = errno;
    const int log = ::open(logFile, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (log >= 0) {
        const std::string text = line + "\n";
        if (::write(log, text.data(), text.size()) < 0)
            ::perror("filesystemshim");
        ::close(log);
    }
    errno = savedErrno;
    return result;
}

bool refusedName(const char *path)
{
    const char *prefix = std::getenv("VEXA_TEST_FAIL_RENAME");
    if (!prefix || !*prefix || !path)
        return false;
    const char *slash = std::strrchr(path, '/');
    return std::strncmp(slash ? slash + 1 : path, prefix, std::strlen(prefix)) == 0;
}

// A sync that VEXA_TEST_SKIP_SYNC turns into a success that did nothing.
template<typename Function, typename... Arguments>
int syncCall(const char *name, const std::string &line, Arguments... arguments)
{
    countCall();
    if (enabled("VEXA_TEST_SKIP_SYNC"))
        return logged(0, line);
    return logged(next<Function>(name)(arguments...), line);
}

} // namespace

extern "C" {

int renameat2(int oldDir, const char *oldPath, int newDir, const char *newPath, unsigned flags) noexcept
{
    countCall();
    const bool exchange = flags & RENAME_EXCHANGE;
    if (exchange && enabled("VEXA_TEST_NO_EXCHANGE")) {
        errno = EINVAL;
        return -1;
    }
    if (refusedName(oldPath) || (exchange && refusedName(newPath))) {
        errno = EACCES;
        return -1;
    }
    using Function = int (*)(int, const char *, int, const char *, unsigned);
    return logged(next<Function>("renameat2")(oldDir, oldPath, newDir, newPath, flags),
        std::string(exchange ? "exchange " : "rename ") + absolutePath(oldDir, oldPath) + " "
            + absolutePath(newDir, newPath));
}

int renameat(int oldDir, const char *oldPath, int newDir, const char *newPath) noexcept
{
    countCall();
    if (refusedName(oldPath)) {
        errno = EACCES;
        return -1;
    }
    using Function = int (*)(int, const char *, int, const char *);
    return logged(next<Function>("renameat")(oldDir, oldPath, newDir, newPath),
        "rename " + absolutePath(oldDir, oldPath) + " " + absolutePath(newDir, newPath));
}

int rename(const char *oldPath, const char *newPath) noexcept
{
    countCall();
    if (refusedName(oldPath)) {
        errno = EACCES;
        return -1;
    }
    using Function = int (*)(const char *, const char *);
    return logged(next<Function>("rename")(oldPath, newPath),
        "rename " + absolutePath(AT_FDCWD, oldPath) + " " + absolutePath(AT_FDCWD, newPath));
}

int linkat(int oldDir, const char *oldPath, int newDir, const char *newPath, int flags) noexcept
{
    countCall();
    const std::string old = (flags & AT_EMPTY_PATH) && oldPath && !*oldPath ? descriptorPath(oldDir)
                                                                            : absolutePath(oldDir, oldPath);
    using Function = int (*)(int, const char *, int, const char *, int);
    return logged(next<Function>("linkat")(oldDir, oldPath, newDir, newPath, flags),
        "link " + old + " " + absolutePath(newDir, newPath));
}

int link(const char *oldPath, const char *newPath) noexcept
{
    countCall();
    using Function = int (*)(const char *, const char *);
    return logged(next<Function>("link")(oldPath, newPath),
        "link " + absolutePath(AT_FDCWD, oldPath) + " " + absolutePath(AT_FDCWD, newPath));
}

int unlink(const char *path) noexcept
{
    countCall();
    const std::string line = "unlink " + absolutePath(AT_FDCWD, path);
    using Function = int (*)(const char *);
    return logged(next<Function>("unlink")(path), line);
}

int unlinkat(int directory, const char *path, int flags) noexcept
{
    countCall();
    const std::string line
        = std::string(flags & AT_REMOVEDIR ? "rmdir " : "unlink ") + absolutePath(directory, path);
    using Function = int (*)(int, const char *, int);
    return logged(next<Function>("unlinkat")(directory, path, flags), line);
}

int rmdir(const char *path) noexcept
{
    countCall();
    const std::string line = "rmdir " + absolutePath(AT_FDCWD, path);
    using Function = int (*)(const char *);
    return logged(next<Function>("rmdir")(path), line);
}

int fsync(int descriptor)
{
    return syncCall<int (*)(int)>("fsync", "fsync " + descriptorPath(descriptor), descriptor);
}

int fdatasync(int descriptor)
{
    return syncCall<int (*)(int)>("fdatasync", "fsync " + descriptorPath(descriptor), descriptor);
}

int syncfs(int descriptor) noexcept
{
    return syncCall<int (*)(int)>("syncfs", "syncfs " + descriptorPath(descriptor), descriptor);
}

void sync() noexcept
{
    countCall();
    logged(0, "sync");
    if (!enabled("VEXA_TEST_SKIP_SYNC"))
        next<void (*)()>("sync")();
}

} // extern "C"
