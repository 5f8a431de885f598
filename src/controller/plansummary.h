#pragma once

#include "catalog/packagedefinition.h"

#include <QString>

namespace vexa {

// "512 B", "1.50 KB", "15.0 MB", "250 GB": steps of 1024, up to TB, formatted by the default QLocale.
QString formatByteSize(qint64 bytes);

// Whether the package's archive is fetched over HTTP(S) when applied against `repositoryBase`.
bool willDownload(const PackageDefinition &package, const QString &repositoryBase);

} // namespace vexa
