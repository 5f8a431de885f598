#pragma once

#include "catalog/packagedefinition.h"

#include <QString>

namespace vexa {

// Confirms after an install that the package's required files are all in the (cleaned) root (and the support
// version marker agrees with the catalog), or after a removal that none of them survived. On a
// mismatch returns false with a message naming every required file of the package.
bool verifyPackageState(
    const QString &root, const PackageDefinition &package, bool expectInstalled, QString &errorText);

} // namespace vexa
