#include "engine/zipdirectory.h"

#include <QFile>
#include <QtEndian>

#include <array>

#ifdef VEXA_HAVE_ZLIB
#include <zlib.h>
#endif

namespace vexa {

namespace {

constexpr quint32 EndOfDirectorySignature = 0x06054b50;
constexpr quint32 Zip64LocatorSignature = 0x07064b50;
constexpr quint32 Zip64EndOfDirectorySignature = 0x06064b50;
constexpr quint32 CentralHeaderSignature = 0x02014b50;
constexpr qint64 EndOfDirectorySize = 22;
constexpr qint64 Zip64LocatorSize = 20;
constexpr qint64 Zip64EndOfDirectorySize = 56;
constexpr qint64 CentralHeaderSize = 46;
constexpr qint64 MaxCommentSize = 0xffff;
// Far above any real package (a million entries of 100 bytes), yet a bound for a hostile header.
constexpr quint64 MaxCentralDirectorySize = 512ull * 1024 * 1024;
constexpr quint16 Utf8NamesFlag = 0x0800;
constexpr int UnixHost = 3;
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

bool readAt(QFile &file, qint64 offset, qint64 size, QByteArray &data)
{
    if (offset < 0 || size < 0 || !file.seek(offset))
        return false;
    data = file.read(size);
    return data.size() == size;
}

// Finds the central directory's offset, size and entry count from the end-of-directory records.
bool locateCentralDirectory(QFile &file, quint64 &offset, quint64 &size, quint64 &count)
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

// The 64-bit sizes of the ZIP64 extra field replace the 32-bit fields that hold 0xffffffff.
quint64 zip64UncompressedSize(const char *extra, int extraLength, quint32 uncompressed32)
{
    if (uncompressed32 != 0xffffffffu)
        return uncompressed32;
    int at = 0;
    while (at + 4 <= extraLength) {
        const quint16 tag = u16(extra + at);
        const quint16 length = u16(extra + at + 2);
        if (at + 4 + length > extraLength)
            break;
        if (tag == 0x0001 && length >= 8)
            return u64(extra + at + 4);
        at += 4 + length;
    }
    return uncompressed32;
}

} // namespace

bool readZipDirectory(const QString &archivePath, QList<ZipDirectoryEntry> &entries)
{
    entries.clear();
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    quint64 offset = 0;
    quint64 size = 0;
    quint64 count = 0;
    if (!locateCentralDirectory(file, offset, size, count))
        return false;
    if (size > MaxCentralDirectorySize || offset + size > quint64(file.size())
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
        const quint32 crc = u32(header + 16);
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
        entry.storedPath
            = (flags & Utf8NamesFlag) ? QString::fromUtf8(rawName) : QString::fromLocal8Bit(rawName);
        const quint32 unixMode = externalAttributes >> 16;
        entry.isSymLink = madeBy == UnixHost && (unixMode & UnixTypeMask) == UnixSymLink;
        entry.isDirectory = !entry.isSymLink
            && (rawName.endsWith('/') || rawName.endsWith('\\')
                || (externalAttributes & DosDirectoryAttribute)
                || (madeBy == UnixHost && (unixMode & UnixTypeMask) == UnixDirectory));
        entry.uncompressedSize
            = zip64UncompressedSize(header + CentralHeaderSize + nameLength, extraLength, uncompressed);
        entry.crc32 = crc;
        entry.permissions = recordedPermissions(madeBy, externalAttributes, entry.isDirectory);
        entries.append(entry);
        at = next;
    }
    return true;
}

quint32 zipCrc32(QByteArrayView data)
{
#ifdef VEXA_HAVE_ZLIB
    uLong crc = crc32(0L, Z_NULL, 0);
    const auto *bytes = reinterpret_cast<const Bytef *>(data.data());
    qsizetype left = data.size();
    while (left > 0) {
        const uInt slice = uInt(qMin<qsizetype>(left, 1 << 30));
        crc = crc32(crc, bytes, slice);
        bytes += slice;
        left -= slice;
    }
    return quint32(crc);
#else
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t {};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xffffffffu;
    for (const char byte : data)
        crc = table[(crc ^ quint8(byte)) & 0xff] ^ (crc >> 8);
    return crc ^ 0xffffffffu;
#endif
}

bool isContainedEntryPath(const QString &storedPath)
{
    QString path = storedPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty())
        return true;
    if (path.startsWith(QLatin1Char('/')) || trimmed.startsWith(QLatin1Char('/')))
        return false;
    // "C:..." names a drive on Windows, whatever follows.
    if (trimmed.size() >= 2 && trimmed.at(1) == QLatin1Char(':') && trimmed.at(0).isLetter())
        return false;
    const QStringList segments = path.split(QLatin1Char('/'));
    for (const QString &segment : segments) {
        // Windows drops trailing dots and spaces from a name, so ".. " and "..." climb as well.
        QString core = segment.trimmed();
        while (core.endsWith(QLatin1Char('.')) || core.endsWith(QLatin1Char(' ')))
            core.chop(1);
        if (core.isEmpty() && segment.count(QLatin1Char('.')) >= 2)
            return false;
    }
    return true;
}

} // namespace vexa
