#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace vexa {

// One entry of a test archive, stored uncompressed with whatever name and header values a test needs,
// including names no well-behaved zip tool would write.
struct TestZipEntry
{
    enum Kind { File, Directory, SymLink };

    QByteArray name;
    QByteArray data; // a symbolic link's data is its target
    Kind kind = File;
    int unixMode = 0644; // 0: the entry is recorded by a DOS host, without Unix permissions
    qint64 recordedSize = -1; // the uncompressed size written to the headers; -1: the real one
    bool deflated = false;
    int method = -1; // the compression method written to the headers; -1: what `deflated` says
    quint16 extraFlags = 0; // general-purpose flags on top of the UTF-8 name flag (1: encrypted)
    QByteArray localExtra; // the extra field of the local header only
};

inline TestZipEntry testEntry(const QByteArray &name, const QByteArray &data, TestZipEntry::Kind kind,
    int unixMode, bool deflated = false)
{
    TestZipEntry entry;
    entry.name = name;
    entry.data = data;
    entry.kind = kind;
    entry.unixMode = unixMode;
    entry.deflated = deflated;
    return entry;
}
inline TestZipEntry testFile(const QByteArray &name, const QByteArray &data, int unixMode = 0644)
{
    return testEntry(name, data, TestZipEntry::File, unixMode);
}
inline TestZipEntry testDirectory(const QByteArray &name)
{
    return testEntry(name, {}, TestZipEntry::Directory, 0755);
}
inline TestZipEntry testSymLink(const QByteArray &name, const QByteArray &target)
{
    return testEntry(name, target, TestZipEntry::SymLink, 0777);
}
inline TestZipEntry testDeflatedFile(const QByteArray &name, const QByteArray &data)
{
    return testEntry(name, data, TestZipEntry::File, 0644, true);
}
// A file whose headers record `recordedSize` as its uncompressed size, whatever its data holds.
inline TestZipEntry testMisrecordedFile(const QByteArray &name, const QByteArray &data, qint64 recordedSize)
{
    TestZipEntry entry = testFile(name, data);
    entry.recordedSize = recordedSize;
    return entry;
}

// The archive's bytes: local headers and data, central directory, end record.
QByteArray buildTestZip(const QList<TestZipEntry> &entries);
// Writes buildTestZip(entries) to the path. False when the file cannot be written.
bool writeTestZip(const QString &path, const QList<TestZipEntry> &entries);

} // namespace vexa
