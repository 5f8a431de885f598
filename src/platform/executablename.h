#pragma once

#include <QString>
#include <QStringList>

namespace vexa {

// The file name of one of our programs on this system: the base name, with ".exe" on Windows.
QString executableFileName(const QString &baseName);

// Name filters for the shared libraries a program may carry in its own directory: "*.dll" on
// Windows, "*.so" and versioned "*.so.*" elsewhere.
QStringList sharedLibraryNameFilters();

} // namespace vexa
