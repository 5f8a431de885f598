// The catalog document: loading, then every graph operation over what loaded.
#include "catalog/packagecatalog.h"

#include <cstddef>
#include <cstdint>

using namespace vexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    PackageCatalog catalog;
    QString error;
    if (!loadFromJson(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), catalog, error))
        return 0;
    QSet<QString> ids;
    for (const PackageDefinition &package : catalog.packages()) {
        ids.insert(package.package_id);
        ids.unite(QSet<QString>(package.dependencies.cbegin(), package.dependencies.cend()));
    }
    QStringList problems;
    catalog.dependencyClosure(ids, &problems);
    catalog.topologicalOrder(ids);
    for (const PackageDefinition &package : catalog.packages()) {
        catalog.dependentsOf(package.package_id, ids);
        displayLabel(package);
        versionLabel(package);
    }
    return 0;
}
