#pragma once

#include <QString>

namespace vexa {

// Builds and runs examples/consumer against the Vexa root `root` (which holds the sample's
// nlohmann_json), as a developer would: configured with Ninja and the support package's toolchain
// file, it finds nlohmann_json in config mode, reports the Vexa packages and prints a quoted string
// with the package's version. Builds in `workDirectory`; false with the output of the failing step.
bool buildNlohmannJsonConsumer(const QString &root, const QString &workDirectory, QString &errorText);

} // namespace vexa
