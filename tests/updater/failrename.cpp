// Loaded with LD_PRELOAD into a program under test: renaming anything whose file name starts with
// $VEXA_TEST_FAIL_RENAME fails with EACCES, as on a file system that refuses the change. Lets a test
// reach a swap's roll-back deterministically, even as root, where permissions would not stop a rename.
// Qt renames through renameat2 on Linux.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

extern "C" int renameat2(
    int oldDir, const char *oldPath, int newDir, const char *newPath, unsigned flags) noexcept
{
    const char *prefix = std::getenv("VEXA_TEST_FAIL_RENAME");
    const char *slash = std::strrchr(oldPath, '/');
    if (prefix && *prefix && std::strncmp(slash ? slash + 1 : oldPath, prefix, std::strlen(prefix)) == 0) {
        errno = EACCES;
        return -1;
    }
    using Rename = int (*)(int, const char *, int, const char *, unsigned);
    static const auto next = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "renameat2"));
    return next(oldDir, oldPath, newDir, newPath, flags);
}
