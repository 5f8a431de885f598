// Loaded with LD_PRELOAD into a program under test: renaming anything whose file name starts with
// $VEXA_TEST_FAIL_RENAME fails with EACCES, as on a file system that refuses the change. Lets a test
// reach a swap's roll-back deterministically, even as root, where permissions would not stop a rename.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

bool refused(const char *path)
{
    const char *prefix = std::getenv("VEXA_TEST_FAIL_RENAME");
    if (!prefix || !*prefix || !path)
        return false;
    const char *slash = std::strrchr(path, '/');
    return std::strncmp(slash ? slash + 1 : path, prefix, std::strlen(prefix)) == 0;
}

template<typename Function> Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int renameat2(
    int oldDir, const char *oldPath, int newDir, const char *newPath, unsigned flags) noexcept
{
    if (refused(oldPath)) {
        errno = EACCES;
        return -1;
    }
    static const auto real = next<int (*)(int, const char *, int, const char *, unsigned)>("renameat2");
    return real(oldDir, oldPath, newDir, newPath, flags);
}

extern "C" int rename(const char *oldPath, const char *newPath) noexcept
{
    if (refused(oldPath)) {
        errno = EACCES;
        return -1;
    }
    static const auto real = next<int (*)(const char *, const char *)>("rename");
    return real(oldPath, newPath);
}
