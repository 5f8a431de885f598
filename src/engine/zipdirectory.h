#pragma once

#include <QByteArrayView>
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
    // What the archive recorded; empty when it recorded nothing usable.
    QFileDevice::Permissions permissions;
};

// Reads the central directory of a zip archive (ZIP64 included) without touching the entries' data.
// Returns false when the file cannot be opened or is not a well-formed zip archive. The zip reader
// silently drops leading "../" and "/" from names, so this list is the one to judge an archive by.
bool readZipDirectory(const QString &archivePath, QList<ZipDirectoryEntry> &entries);

// The CRC-32 that zip archives record for each entry's data.
quint32 zipCrc32(QByteArrayView data);

// True when writing an entry stored under this path (either separator) stays inside the destination:
// not absolute, no drive or UNC prefix, no ".." segment. An empty path is contained (it is skipped).
bool isContainedEntryPath(const QString &storedPath);

} // namespace vexa
