#include "testzipwriter.h"

#include "archive/zipdirectory.h"

#include <QFile>
#include <QtEndian>

namespace vexa {

namespace {

void put16(QByteArray &out, quint32 value)
{
    char bytes[2];
    qToLittleEndian<quint16>(quint16(value), bytes);
    out.append(bytes, 2);
}

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian<quint32>(value, bytes);
    out.append(bytes, 4);
}

bool isAscii(const QByteArray &name)
{
    for (const char c : name) {
        if (quint8(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

QByteArray buildTestZip(const QList<TestZipEntry> &entries)
{
    QByteArray out;
    QByteArray central;
    for (const TestZipEntry &entry : entries) {
        const quint32 offset = quint32(out.size());
        const quint32 crc = zipCrc32(entry.data);
        const quint32 size = quint32(entry.data.size());
        // qCompress writes a 4-byte length and a zlib stream; zip wants the raw deflate data inside.
        const QByteArray stored = entry.deflated ? qCompress(entry.data, 9).mid(6).chopped(4) : entry.data;
        const quint32 method = entry.method >= 0 ? quint32(entry.method) : entry.deflated ? 8 : 0;
        const quint32 recorded = entry.recordedSize >= 0 ? quint32(entry.recordedSize) : size;
        const quint32 flags = (isAscii(entry.name) ? 0 : 0x0800) | entry.extraFlags;
        const quint32 dosTime = 0x6000; // 12:00:00
        const quint32 dosDate = 0x5821; // 2024-01-01

        put32(out, 0x04034b50);
        put16(out, 10);
        put16(out, flags);
        put16(out, method);
        put16(out, dosTime);
        put16(out, dosDate);
        put32(out, crc);
        put32(out, quint32(stored.size()));
        put32(out, recorded);
        put16(out, quint32(entry.name.size()));
        put16(out, quint32(entry.localExtra.size()));
        out.append(entry.name);
        out.append(entry.localExtra);
        out.append(stored);

        quint32 typeBits = 0100000;
        if (entry.kind == TestZipEntry::Directory)
            typeBits = 0040000;
        else if (entry.kind == TestZipEntry::SymLink)
            typeBits = 0120000;
        const bool unixHost = entry.unixMode != 0;
        quint32 external = unixHost ? (typeBits | quint32(entry.unixMode)) << 16 : 0;
        if (entry.kind == TestZipEntry::Directory)
            external |= 0x10;

        put32(central, 0x02014b50);
        put16(central, unixHost ? (3 << 8) | 20 : 20);
        put16(central, 10);
        put16(central, flags);
        put16(central, method);
        put16(central, dosTime);
        put16(central, dosDate);
        put32(central, crc);
        put32(central, quint32(stored.size()));
        put32(central, recorded);
        put16(central, quint32(entry.name.size()));
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, external);
        put32(central, offset);
        central.append(entry.name);
    }
    const quint32 centralOffset = quint32(out.size());
    out.append(central);
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint32(entries.size()));
    put16(out, quint32(entries.size()));
    put32(out, quint32(central.size()));
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}

bool writeTestZip(const QString &path, const QList<TestZipEntry> &entries)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = buildTestZip(entries);
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace vexa
