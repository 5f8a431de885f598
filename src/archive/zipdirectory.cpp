#include "archive/zipdirectory.h"

#include "archive/zipformat.h"

#include <QFile>
#include <QtEndian>

#include <limits>
#include <utility>

#include <zlib.h>

namespace vexa {

namespace {

using namespace zipformat;

constexpr qint64 EndOfDirectorySize = 22;
constexpr qint64 Zip64LocatorSize = 20;
constexpr qint64 Zip64EndOfDirectorySize = 56;
constexpr qint64 CentralHeaderSize = 46;
constexpr qint64 MaxCommentSize = 0xffff;
// Far above any real package (a million entries of 100 bytes), yet a bound for a hostile header.
constexpr quint64 MaxCentralDirectorySize = 512ull * 1024 * 1024;
constexpr quint32 UnixTypeMask = 0170000;
constexpr quint32 UnixSymLink = 0120000;
constexpr quint32 UnixDirectory = 0040000;
constexpr quint32 DosDirectoryAttribute = 0x10;
constexpr quint32 DosReadOnlyAttribute = 0x01;

quint16 u16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}
quint32 u32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}
quint64 u64(const char *p)
{
    return qFromLittleEndian<quint64>(p);
}

bool readAt(QIODevice &file, qint64 offset, qint64 size, QByteArray &data)
{
    if (offset < 0 || size < 0 || !file.seek(offset))
        return false;
    data = file.read(size);
    return data.size() == size;
}

// Finds the central directory's offset, size and entry count from the end-of-directory records.
bool locateCentralDirectory(QIODevice &file, quint64 &offset, quint64 &size, quint64 &count)
{
    const qint64 fileSize = file.size();
    if (fileSize < EndOfDirectorySize)
        return false;
    const qint64 tailSize = qMin(fileSize, EndOfDirectorySize + MaxCommentSize);
    QByteArray tail;
    if (!readAt(file, fileSize - tailSize, tailSize, tail))
        return false;
    // The record may be followed by a comment, so scan backwards for the signature whose comment
    // length matches what is left of the file.
    qint64 recordAt = -1;
    for (qint64 i = tailSize - EndOfDirectorySize; i >= 0; --i) {
        const char *p = tail.constData() + i;
        if (u32(p) == EndOfDirectorySignature && i + EndOfDirectorySize + u16(p + 20) <= tailSize) {
            recordAt = i;
            break;
        }
    }
    if (recordAt < 0)
        return false;
    const char *record = tail.constData() + recordAt;
    count = u16(record + 10);
    size = u32(record + 12);
    offset = u32(record + 16);
    const qint64 recordOffset = fileSize - tailSize + recordAt;
    const bool needsZip64 = count == 0xffff || size == 0xffffffffu || offset == 0xffffffffu;
    if (recordOffset < Zip64LocatorSize)
        return !needsZip64;
    QByteArray locator;
    if (!readAt(file, recordOffset - Zip64LocatorSize, Zip64LocatorSize, locator))
        return false;
    if (u32(locator.constData()) != Zip64LocatorSignature)
        return !needsZip64;
    QByteArray zip64Record;
    const quint64 zip64Offset = u64(locator.constData() + 8);
    if (zip64Offset > quint64(fileSize)
        || !readAt(file, qint64(zip64Offset), Zip64EndOfDirectorySize, zip64Record)
        || u32(zip64Record.constData()) != Zip64EndOfDirectorySignature)
        return false;
    count = u64(zip64Record.constData() + 32);
    size = u64(zip64Record.constData() + 40);
    offset = u64(zip64Record.constData() + 48);
    return true;
}

// Unix archives record a full mode; DOS and Windows archives only a read-only flag, which becomes
// read for everyone and write for the owner unless the flag is set.
QFileDevice::Permissions recordedPermissions(int madeBy, quint32 externalAttributes, bool isDirectory)
{
    QFileDevice::Permissions permissions;
    if (madeBy == UnixHost) {
        const quint32 mode = externalAttributes >> 16;
        const struct
        {
            quint32 bit;
            QFileDevice::Permissions flags;
        } table[] = {
            { 0400, QFileDevice::ReadOwner | QFileDevice::ReadUser },
            { 0200, QFileDevice::WriteOwner | QFileDevice::WriteUser },
            { 0100, QFileDevice::ExeOwner | QFileDevice::ExeUser },
            { 0040, QFileDevice::ReadGroup },
            { 0020, QFileDevice::WriteGroup },
            { 0010, QFileDevice::ExeGroup },
            { 0004, QFileDevice::ReadOther },
            { 0002, QFileDevice::WriteOther },
            { 0001, QFileDevice::ExeOther },
        };
        for (const auto &row : table) {
            if (mode & row.bit)
                permissions |= row.flags;
        }
        return permissions;
    }
    if (madeBy == 0 || madeBy == 6 || madeBy == 11 || madeBy == 14) {
        permissions = QFileDevice::ReadOwner | QFileDevice::ReadUser | QFileDevice::ReadGroup
            | QFileDevice::ReadOther;
        if (!(externalAttributes & DosReadOnlyAttribute))
            permissions |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
        if (isDirectory)
            permissions |= QFileDevice::ExeOwner | QFileDevice::ExeUser | QFileDevice::ExeGroup
                | QFileDevice::ExeOther;
    }
    return permissions;
}

// The ZIP64 extra field holds, in this order, the 64-bit values of exactly those of the uncompressed
// size, compressed size and local header offset whose 32-bit fields hold 0xffffffff.
void applyZip64Extra(const char *extra, int extraLength, quint32 uncompressed32, quint32 compressed32,
    quint32 offset32, ZipDirectoryEntry &entry)
{
    entry.uncompressedSize = uncompressed32;
    entry.compressedSize = compressed32;
    entry.localHeaderOffset = offset32;
    int at = 0;
    while (at + 4 <= extraLength) {
        const quint16 tag = u16(extra + at);
        const quint16 length = u16(extra + at + 2);
        if (at + 4 + length > extraLength)
            return;
        if (tag == 0x0001) {
            const char *value = extra + at + 4;
            const char *valueEnd = value + length;
            for (auto [field32, field] : { std::pair { uncompressed32, &entry.uncompressedSize },
                     std::pair { compressed32, &entry.compressedSize },
                     std::pair { offset32, &entry.localHeaderOffset } }) {
                if (field32 != 0xffffffffu)
                    continue;
                if (value + 8 > valueEnd)
                    return;
                *field = u64(value);
                value += 8;
            }
            return;
        }
        at += 4 + length;
    }
}

constexpr qint64 LocalHeaderSize = 30;

// Reads the local header of an entry: where its data starts, after checking that the header repeats
// the entry's name.
bool readLocalHeader(QIODevice &archive, const ZipDirectoryEntry &entry, quint64 &dataStart)
{
    QByteArray header;
    const quint64 fileSize = quint64(archive.size());
    if (entry.localHeaderOffset > fileSize
        || !readAt(archive, qint64(entry.localHeaderOffset), LocalHeaderSize + entry.rawName.size(), header)
        || u32(header.constData()) != LocalHeaderSignature)
        return false;
    const int nameLength = u16(header.constData() + 26);
    const int extraLength = u16(header.constData() + 28);
    if (nameLength != entry.rawName.size()
        || QByteArrayView(header.constData() + LocalHeaderSize, nameLength) != entry.rawName)
        return false;
    dataStart = entry.localHeaderOffset + LocalHeaderSize + quint64(nameLength) + quint64(extraLength);
    return dataStart <= fileSize && entry.compressedSize <= fileSize - dataStart;
}

// A local header that names its entry differently from the directory describes another archive than
// the one judged, so such an archive is not a well-formed one.
bool localHeadersRepeatNames(QIODevice &archive, const QList<ZipDirectoryEntry> &entries)
{
    quint64 dataStart = 0;
    for (const ZipDirectoryEntry &entry : entries) {
        if (!readLocalHeader(archive, entry, dataStart))
            return false;
    }
    return true;
}

} // namespace

bool readZipDirectory(const QString &archivePath, QList<ZipDirectoryEntry> &entries)
{
    entries.clear();
    // Unbuffered reads keep each local header at one small read.
    QFile file(archivePath);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && readZipDirectory(file, entries);
}

bool readZipDirectory(QIODevice &file, QList<ZipDirectoryEntry> &entries)
{
    entries.clear();
    quint64 offset = 0;
    quint64 size = 0;
    quint64 count = 0;
    if (!locateCentralDirectory(file, offset, size, count))
        return false;
    const quint64 fileSize = quint64(file.size());
    if (size > MaxCentralDirectorySize || offset > fileSize || size > fileSize - offset
        || count > size / quint64(CentralHeaderSize))
        return false;
    QByteArray directory;
    if (!readAt(file, qint64(offset), qint64(size), directory))
        return false;

    entries.reserve(qsizetype(count));
    const char *data = directory.constData();
    const qint64 end = directory.size();
    qint64 at = 0;
    for (quint64 i = 0; i < count; ++i) {
        if (at + CentralHeaderSize > end || u32(data + at) != CentralHeaderSignature)
            return false;
        const char *header = data + at;
        const int madeBy = u16(header + 4) >> 8;
        const quint16 flags = u16(header + 8);
        const quint16 method = u16(header + 10);
        const quint32 crc = u32(header + 16);
        const quint32 compressed = u32(header + 20);
        const quint32 uncompressed = u32(header + 24);
        const int nameLength = u16(header + 28);
        const int extraLength = u16(header + 30);
        const int commentLength = u16(header + 32);
        const quint32 externalAttributes = u32(header + 38);
        const qint64 next = at + CentralHeaderSize + nameLength + extraLength + commentLength;
        if (next > end)
            return false;
        const QByteArray rawName(header + CentralHeaderSize, nameLength);
        if (rawName.contains('\0'))
            return false;

        ZipDirectoryEntry entry;
        entry.rawName = rawName;
        entry.storedPath
            = (flags & Utf8NamesFlag) ? QString::fromUtf8(rawName) : QString::fromLocal8Bit(rawName);
        const quint32 unixMode = externalAttributes >> 16;
        entry.isSymLink = madeBy == UnixHost && (unixMode & UnixTypeMask) == UnixSymLink;
        entry.isDirectory = !entry.isSymLink
            && (rawName.endsWith('/') || rawName.endsWith('\\')
                || (externalAttributes & DosDirectoryAttribute)
                || (madeBy == UnixHost && (unixMode & UnixTypeMask) == UnixDirectory));
        applyZip64Extra(header + CentralHeaderSize + nameLength, extraLength, uncompressed, compressed,
            u32(header + 42), entry);
        entry.crc32 = crc;
        entry.method = method;
        entry.flags = flags;
        entry.permissions = recordedPermissions(madeBy, externalAttributes, entry.isDirectory);
        entries.append(entry);
        at = next;
    }
    return localHeadersRepeatNames(file, entries);
}

ZipEntryRead copyZipEntryData(
    QIODevice &archive, const ZipDirectoryEntry &entry, QIODevice &output, quint64 &size, quint32 &crc)
{
    constexpr qint64 BlockSize = 1024 * 1024;

    size = 0;
    crc = 0;
    if (!archive.isOpen() || (entry.flags & EncryptedFlag))
        return ZipEntryRead::Unsupported;
    if (!isSupportedMethod(entry.method))
        return ZipEntryRead::Unsupported;
    quint64 dataStart = 0;
    if (!readLocalHeader(archive, entry, dataStart) || !archive.seek(qint64(dataStart)))
        return ZipEntryRead::Damaged;

    // Output is bounded by the recorded size plus one byte: enough to tell that the data is larger.
    const quint64 limit = entry.uncompressedSize + 1;
    const auto deliver = [&](const char *data, qint64 length) {
        const qint64 allowed = qint64(qMin<quint64>(quint64(length), limit - size));
        if (output.write(data, allowed) != allowed)
            return false;
        crc = zipCrc32(QByteArrayView(data, allowed), crc);
        size += quint64(allowed);
        return true;
    };

    QByteArray input;
    quint64 inputLeft = entry.compressedSize;
    if (entry.method == StoredMethod) {
        while (inputLeft > 0 && size < limit) {
            input = archive.read(qint64(qMin<quint64>(inputLeft, BlockSize)));
            if (input.isEmpty())
                return ZipEntryRead::Damaged;
            inputLeft -= quint64(input.size());
            if (!deliver(input.constData(), input.size()))
                return ZipEntryRead::WriteFailed;
        }
        return ZipEntryRead::Read;
    }

    z_stream stream {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return ZipEntryRead::Damaged;
    QByteArray block(BlockSize, Qt::Uninitialized);
    int result = Z_OK;
    ZipEntryRead outcome = ZipEntryRead::Damaged;
    while (size < limit) {
        if (stream.avail_in == 0) {
            if (inputLeft == 0)
                break;
            input = archive.read(qint64(qMin<quint64>(inputLeft, BlockSize)));
            if (input.isEmpty())
                break;
            inputLeft -= quint64(input.size());
            stream.next_in = reinterpret_cast<Bytef *>(input.data());
            stream.avail_in = uInt(input.size());
        }
        stream.next_out = reinterpret_cast<Bytef *>(block.data());
        stream.avail_out = uInt(block.size());
        result = inflate(&stream, Z_NO_FLUSH);
        const qint64 produced = block.size() - qint64(stream.avail_out);
        if (produced > 0 && !deliver(block.constData(), produced)) {
            outcome = ZipEntryRead::WriteFailed;
            break;
        }
        if (result == Z_STREAM_END) {
            outcome = ZipEntryRead::Read;
            break;
        }
        if (result != Z_OK && !(result == Z_BUF_ERROR && stream.avail_in == 0))
            break;
    }
    if (size >= limit && outcome == ZipEntryRead::Damaged)
        outcome = ZipEntryRead::Read; // larger than recorded: the caller reports the size
    inflateEnd(&stream);
    return outcome;
}

quint32 zipCrc32(QByteArrayView data, quint32 crc)
{
    uLong value = crc;
    const auto *bytes = reinterpret_cast<const Bytef *>(data.data());
    qsizetype left = data.size();
    while (left > 0) {
        const uInt slice = uInt(qMin<qsizetype>(left, 1 << 30));
        value = crc32(value, bytes, slice);
        bytes += slice;
        left -= slice;
    }
    return quint32(value);
}

} // namespace vexa
