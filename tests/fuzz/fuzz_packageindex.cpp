// The remote package index and its sidecars: the input is the index, then each sidecar document,
// separated by NUL bytes. Sidecars that merge are loaded as a catalog.
#include "catalog/catalogsource.h"
#include "catalog/packagecatalog.h"

#include <cstddef>
#include <cstdint>

using namespace vexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts
        = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0');
    QString error;
    parsePackageIndex(parts.first(), error);
    QByteArray merged;
    PackageCatalog catalog;
    if (mergeSidecars(parts.mid(1), merged, error))
        loadFromJson(merged, catalog, error);
    return 0;
}
