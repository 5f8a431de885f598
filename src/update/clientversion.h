#pragma once

#include <QString>

namespace vexa {

// Negative, zero or positive as `a` is older than, equal to or newer than `b`. Both are read as
// dotted numbers with any suffix ignored ("1.0.0-rc1" is 1.0.0), and a version that extends another
// is newer (1.0 < 1.0.0). When either yields no number at all, the trimmed texts are compared without
// regard to case.
int compareClientVersions(const QString &a, const QString &b);

} // namespace vexa
