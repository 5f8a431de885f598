#pragma once

#include <QString>

namespace vexa {

// The root the installer offers before the user picks one: "C:/Vexa" on Windows, the user's home
// directory joined with "Vexa" elsewhere. A function rather than a constant because the home directory
// is only known at run time.
QString DefaultRootPath();

} // namespace vexa
