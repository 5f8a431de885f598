// The zip directory reader, the placement rule over every name it returns, and the streaming of each
// entry's data (into memory, bounded), as extraction would write it.
#include "archive/pathcontainment.h"
#include "archive/zipdirectory.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

using namespace vexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer archive(&bytes);
    archive.open(QIODevice::ReadOnly);
    QList<ZipDirectoryEntry> entries;
    if (!readZipDirectory(archive, entries))
        return 0;
    int decoded = 0;
    for (const ZipDirectoryEntry &entry : entries) {
        if (pathPlacement(entry.storedPath) == PathPlacement::Inside)
            cleanRelativePath(entry.storedPath);
        // Entries claiming more than a mebibyte would only measure the machine's memory.
        if (entry.isDirectory || entry.uncompressedSize > 1024 * 1024 || ++decoded > 64)
            continue;
        QByteArray content;
        QBuffer output(&content);
        output.open(QIODevice::WriteOnly);
        quint64 written = 0;
        quint32 crc = 0;
        copyZipEntryData(archive, entry, output, written, crc);
    }
    return 0;
}
