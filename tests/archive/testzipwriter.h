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
};

inline TestZipEntry testFile(const QByteArray &name, const QByteArray &data, int unixMode = 0644)
{
    return { name, data, TestZipEntry::File, unixMode, -1, false };
}
inline TestZipEntry testDirectory(const QByteArray &name)
{
    return { name, {}, TestZipEntry::Directory, 0755, -1, false };
}
inline TestZipEntry testSymLink(const QByteArray &name, const QByteArray &target)
{
    return { name, target, TestZipEntry::SymLink, 0777, -1, false };
}
inline TestZipEntry testDeflatedFile(const QByteArray &name, const QByteArray &data)
{
    return { name, data, TestZipEntry::File, 0644, -1, true };
}

// The archive's bytes: local headers and data, central directory, end record.
QByteArray buildTestZip(const QList<TestZipEntry> &entries);
// Writes buildTestZip(entries) to the path. False when the file cannot be written.
bool writeTestZip(const QString &path, const QList<TestZipEntry> &entries);

} // namespace vexa
