#pragma once

#include <QString>

#include <functional>

namespace vexa {

// Receives progress messages; may be empty, in which case nothing is reported.
using ProgressCallback = std::function<void(const QString &message)>;

} // namespace vexa
