#pragma once

#include <QList>
#include <QString>

namespace vexa {

// One entry to pack: a directory, or a file whose bytes are read from `sourcePath`.
struct ZipSourceEntry
{
    QString storedPath; // "/"-separated and relative, without a trailing "/"
    QString sourcePath; // the file to read; empty for a directory
    bool isDirectory = false;
};

struct ZipWriteResult
{
    QString sha256; // lower-case hex of the archive's bytes
    qint64 size = 0;
};

// Entries are deflated in blocks of this size, each block on its own.
constexpr qint64 ZipWriterBlockSize = 1024 * 1024;

// Writes `entries` as a new zip archive at `archivePath` whose bytes depend on nothing but the
// entries' names and contents, so that a repository published twice, anywhere, is the same:
// entries in the byte order of their UTF-8 names, every time 1980-01-01 00:00, mode 0644 for files
// and 0755 for directories, no comments and no extra fields but the ZIP64 ones that entries or
// offsets beyond 4 GiB need. Files are deflated in blocks of ZipWriterBlockSize on `threadCount`
// threads (0: one per core); each block starts afresh with the 32 KiB before it as its dictionary
// and ends on a byte boundary, so the result does not depend on the number of threads. A file of at
// most one block is stored when deflating does not make it smaller. The archive's SHA-256 and size
// are taken as it is written. On failure returns false with one message and leaves no file behind.
bool writeDeterministicZip(QList<ZipSourceEntry> entries, const QString &archivePath, ZipWriteResult &result,
    QString &errorText, int threadCount = 0);

} // namespace vexa
