#pragma once

namespace vexa {

// The longest path, in characters, that the tools reading a root can open, or 0 for no limit. On
// Windows that is MAX_PATH (260, counting the terminating null, so 259 characters) unless the system
// enables long paths ("LongPathsEnabled" under
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\FileSystem); the installer itself would cope,
// but compilers and build tools reading the root would not. Elsewhere there is no such limit.
int pathLengthLimit();

} // namespace vexa
