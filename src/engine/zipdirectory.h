#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileDevice>
#include <QList>
#include <QString>

namespace vexa {

// One entry of a zip archive's central directory, as stored.
struct ZipDirectoryEntry
{
    QString storedPath;
    bool isDirectory = false;
    bool isSymLink = false;
    quint64 uncompressedSize = 0;
    quint32 crc32 = 0;
    quint64 compressedSize = 0;
    quint64 localHeaderOffset = 0;
    quint16 method = 0;
    quint16 flags = 0;
    // What the archive recorded; empty when it recorded nothing usable.
    QFileDevice::Permissions permissions;
};

// Reads the central directory of a zip archive (ZIP64 included) without touching the entries' data.
// Returns false when the file cannot be opened or is not a well-formed zip archive. The zip reader
// silently drops leading "../" and "/" from names, so this list is the one to judge an archive by.
bool readZipDirectory(const QString &archivePath, QList<ZipDirectoryEntry> &entries);

enum class ZipEntryRead {
    Read, // the data is in `data`; size and checksum are for the caller to judge
    Damaged, // the entry's headers or compressed data are broken
    Unsupported, // this build cannot decode the entry (no zlib for deflate, or another method)
};

// Reads one entry's uncompressed data straight from its offset in the open archive. The zip reader
// finds an entry by comparing its name with every stored name, which makes unpacking an archive of
// tens of thousands of files take minutes; this costs one seek per entry. At most the recorded size
// plus one byte is produced, so a lying header cannot blow up memory.
ZipEntryRead readZipEntryData(QFile &archive, const ZipDirectoryEntry &entry, QByteArray &data);

// The CRC-32 that zip archives record for each entry's data.
quint32 zipCrc32(QByteArrayView data);

// True when writing an entry stored under this path (either separator) stays inside the destination:
// not absolute, no drive or UNC prefix, no ".." segment. An empty path is contained (it is skipped).
bool isContainedEntryPath(const QString &storedPath);

} // namespace vexa
