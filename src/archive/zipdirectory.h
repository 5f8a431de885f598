#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileDevice>
#include <QIODevice>
#include <QList>
#include <QString>

namespace vexa {

// One entry of a zip archive's central directory, as stored.
struct ZipDirectoryEntry
{
    QString storedPath;
    // The name's bytes as stored; each local header must repeat them exactly.
    QByteArray rawName;
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

// Reads the central directory of a zip archive (ZIP64 included) and checks that every entry's local
// header repeats its name. Returns false when the file cannot be opened or is not a well-formed zip
// archive. The zip reader silently drops leading "../" and "/" from names, so this list is the one to
// judge an archive by, and the one extraction writes.
bool readZipDirectory(const QString &archivePath, QList<ZipDirectoryEntry> &entries);
// The same over an archive already open for reading, a file or bytes in memory.
bool readZipDirectory(QIODevice &archive, QList<ZipDirectoryEntry> &entries);

enum class ZipEntryRead {
    Read, // the data went to the output; size and checksum are for the caller to judge
    Damaged, // the entry's headers or compressed data are broken
    Unsupported, // encrypted, or a method other than stored and deflated
    WriteFailed, // the output did not take the data
};

// Streams one entry's uncompressed data from its offset in the open archive into `output`, with its
// size and CRC-32. Memory stays bounded whatever the entry's size, and at most the recorded size plus
// one byte is written, so a lying header can neither exhaust memory nor fill the disk. One seek per
// entry: the zip reader instead compares a name with every stored name for each entry, which makes an
// archive of tens of thousands of files take minutes.
ZipEntryRead copyZipEntryData(
    QIODevice &archive, const ZipDirectoryEntry &entry, QIODevice &output, quint64 &size, quint32 &crc);

// The CRC-32 that zip archives record for each entry's data, continued from `crc` for data read in parts.
quint32 zipCrc32(QByteArrayView data, quint32 crc = 0);

} // namespace vexa
