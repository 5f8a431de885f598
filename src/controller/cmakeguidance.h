#pragma once

#include "catalog/packagecatalog.h"
#include "catalog/packagedefinition.h"

#include <QSet>
#include <QString>

namespace vexa {

// The guidance the catalog itself gives in the package's "usage" object; empty when it gives none.
QString catalogUsageText(const PackageDefinition &package);

// How a CMake project consumes the package: the catalog's guidance, else the built-in text for its
// product, else the support package's text, else a generic hint.
QString packageHelpText(const PackageDefinition &package);

// The package whose guidance is shown: `selectedPackageId` when the catalog knows it, otherwise the
// last of the target's dependency order (the package the selection was built around); empty when the
// catalog knows neither.
QString guidancePackageId(
    const PackageCatalog &catalog, const QString &selectedPackageId, const QSet<QString> &target);

// The guidance for `packageId`, or the prompt to pick a package when the catalog does not know it.
QString guidanceText(const PackageCatalog &catalog, const QString &packageId);

} // namespace vexa
