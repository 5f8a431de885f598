#pragma once

#include <QString>

namespace vexa {

// The file name of one of our programs on this system: the base name, with ".exe" on Windows.
QString executableFileName(const QString &baseName);

} // namespace vexa
