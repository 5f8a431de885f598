#pragma once

#include <QtGlobal>

// The numbers of the zip format that both the reader (zipdirectory, archiveextraction) and the writer
// (zipwriter) use, so that the two agree by construction.
namespace vexa::zipformat {

constexpr quint32 LocalHeaderSignature = 0x04034b50;
constexpr quint32 CentralHeaderSignature = 0x02014b50;
constexpr quint32 Zip64EndOfDirectorySignature = 0x06064b50;
constexpr quint32 Zip64LocatorSignature = 0x07064b50;
constexpr quint32 EndOfDirectorySignature = 0x06054b50;

constexpr quint16 StoredMethod = 0;
constexpr quint16 DeflatedMethod = 8;

constexpr quint16 EncryptedFlag = 0x0001;
constexpr quint16 Utf8NamesFlag = 0x0800;

// "Version made by": the host system whose file attributes an entry records.
constexpr quint16 UnixHost = 3;

// The only methods this code reads and writes.
constexpr bool isSupportedMethod(quint16 method)
{
    return method == StoredMethod || method == DeflatedMethod;
}

} // namespace vexa::zipformat
