#pragma once

#include <QByteArray>
#include <QString>

namespace vexa {

// A catalog document shaped like a large distribution: `count` packages in 40 groups, package trees
// three levels deep, and dependency chains reaching back into earlier packages. Package i has the id
// largeCatalogPackageId(i); every 50th is selected by default.
QByteArray largeCatalog(int count);
QString largeCatalogPackageId(int index);

} // namespace vexa
