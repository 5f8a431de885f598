#pragma once

#include <QString>

namespace vexa {

// Builds and runs a small CMake project against the Vexa root `root`, as a developer would: configured
// with Ninja and the support package's toolchain file, it finds nlohmann_json in config mode, reports
// the Vexa packages and prints a quoted JSON string. Works in `workDirectory`; false with the output
// of the failing step.
bool buildNlohmannJsonConsumer(const QString &root, const QString &workDirectory, QString &errorText);

} // namespace vexa
