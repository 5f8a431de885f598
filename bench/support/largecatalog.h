#pragma once

#include "catalog/packagecatalog.h"

#include <QByteArray>
#include <QSet>
#include <QString>

namespace vexa {

// A catalog document shaped like a large distribution: `count` packages in 40 groups, package trees
// three levels deep, and dependency chains reaching back into earlier packages. Package i has the id
// largeCatalogPackageId(i); every 50th is selected by default.
QByteArray largeCatalog(int count);
QString largeCatalogPackageId(int index);

// Fills `root` the way an apply would have left it holding every fifth package of a largeCatalog, up
// to `installed` of them: each package's required files and both manifests. Returns the installed ids,
// or an empty set with `errorText` set.
QSet<QString> writeLargeRoot(
    const PackageCatalog &catalog, const QString &root, int installed, QString &errorText);

} // namespace vexa
