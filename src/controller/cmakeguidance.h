#pragma once

#include "catalog/packagedefinition.h"

#include <QString>

namespace vexa {

// The guidance the catalog itself gives in the package's "usage" object; empty when it gives none.
QString catalogUsageText(const PackageDefinition &package);

// How a CMake project consumes the package: the catalog's guidance, else the built-in text for its
// product, else the support package's text, else a generic hint.
QString packageHelpText(const PackageDefinition &package);

} // namespace vexa
