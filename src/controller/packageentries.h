#pragma once

#include "catalog/packagedefinition.h"

#include <QString>

namespace vexa {

// The styling key of an action name: "upgrade", "install", "remove", "keep", and "skip" for anything else.
QString actionKey(const QString &action);

// The lower-cased text a search is matched against: display name, product, version label, toolchain
// with the internal version code, and description.
QString searchHaystack(const PackageDefinition &package);

// Case-insensitive substring test of the search text against the package's name, product, version,
// toolchain, "iv" code and description. An empty search text matches every package.
bool matchesSearch(const PackageDefinition &package, const QString &searchText);

} // namespace vexa
