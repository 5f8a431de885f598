#pragma once

#include <QString>

namespace vexa {

// The system's tar program: "tar", then "tar.exe" on the search path, then (Windows only) the copy
// that ships with the system in System32. Empty when there is none. The search path is read at each
// call, so a changed PATH takes effect at once.
QString findTarProgram();

} // namespace vexa
