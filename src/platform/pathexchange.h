#pragma once

#include <QString>

namespace vexa {

enum class PathExchange {
    Exchanged,
    // The system or the file system cannot swap two names in one step; nothing changed.
    Unsupported,
    // The exchange was refused (permissions, a path missing); nothing changed.
    Failed,
};

// Swaps what two names in one directory lead to in a single step, so that there is no instant with
// nothing under either name. Linux: renameat2 with RENAME_EXCHANGE; Windows has no such call.
PathExchange exchangePaths(const QString &first, const QString &second);

} // namespace vexa
