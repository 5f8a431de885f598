#include "archive/archiveextraction.h"

#include "archive/filereplacement.h"
#include "archive/pathcontainment.h"
#include "archive/printabletext.h"
#include "archive/zipdirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace vexa {

namespace {

constexpr quint16 StoredMethod = 0;
constexpr quint16 DeflatedMethod = 8;
constexpr quint16 EncryptedFlag = 0x0001;

// The reader's status in brackets after a message: an archive that cannot be opened, one that may not
// be read, and one whose content is damaged.
const QString FileOpenError = QStringLiteral("FileOpenError");
const QString FilePermissionsError = QStringLiteral("FilePermissionsError");
const QString FileError = QStringLiteral("FileError");

QString archiveEntryWhat()
{
    return QStringLiteral("archive entry");
}

// Archivers that store the top folder itself ("./", as bsdtar and Windows' own tar do) add a directory
// entry for the destination: it asks for nothing that is not already there. A file of that name would
// replace the destination, and still refuses the archive.
bool namesDestinationItself(const ZipDirectoryEntry &entry)
{
    return entry.isDirectory && pathPlacement(entry.storedPath) == PathPlacement::Base;
}

// Everything that can be known before the first byte is written is judged first, so a refused archive
// leaves the destination as it was: each entry's path, and that the directory it is written in does
// not lead out of the destination through a link already there ("lib" linking elsewhere must not
// receive the archive's "lib/..."). Extraction itself never creates a link, so the answer holds.
bool checkEntries(const QString &archivePath, const QString &destination,
    const QList<ZipDirectoryEntry> &entries, QString &errorText)
{
    QSet<QString> checkedDirectories { QString() };
    for (const ZipDirectoryEntry &entry : entries) {
        if (namesDestinationItself(entry))
            continue;
        const PathPlacement placement = pathPlacement(entry.storedPath);
        if (placement != PathPlacement::Inside) {
            errorText = unsafePathMessage(archiveEntryWhat(), entry.storedPath, archivePath,
                placementReason(placement, destinationPlace(destination)));
            return false;
        }
        const QString relativePath = cleanRelativePath(entry.storedPath);
        const QString directory
            = entry.isDirectory ? relativePath : relativePath.section(QLatin1Char('/'), 0, -2);
        if (!checkedDirectories.contains(directory)) {
            if (!staysInsideThroughLinks(destination, destination + QLatin1Char('/') + directory)) {
                errorText = unsafePathMessage(archiveEntryWhat(), entry.storedPath, archivePath,
                    throughLinkReason(destinationPlace(destination)));
                return false;
            }
            checkedDirectories.insert(directory);
        }
        if (entry.flags & EncryptedFlag) {
            errorText = QStringLiteral("Cannot extract archive entry %1 from %2: it is encrypted.")
                            .arg(printableName(entry.storedPath), archivePath);
            return false;
        }
        if (entry.method != StoredMethod && entry.method != DeflatedMethod) {
            errorText
                = QStringLiteral("Cannot extract archive entry %1 from %2: compression method %3 is not "
                                 "supported.")
                      .arg(printableName(entry.storedPath), archivePath, QString::number(entry.method));
            return false;
        }
    }
    return true;
}

// Writes checked entries below the destination, one at a time.
class EntryWriter
{
public:
    EntryWriter(const QString &archivePath, const QString &destination)
        : m_archivePath(archivePath)
        , m_destination(destination)
    { }

    bool open(QString &errorText);
    bool write(const ZipDirectoryEntry &entry, QString &errorText);

private:
    QString targetOf(const QString &relativePath) const
    {
        return m_destination + QLatin1Char('/') + relativePath;
    }
    bool makeDirectory(const QString &relativePath, const QString &failure, QString &errorText);
    bool writeFile(const ZipDirectoryEntry &entry, const QString &target, QString &errorText);

    QString m_archivePath;
    QString m_destination;
    QFile m_archive;
    // Directories below the destination already made, so that each file does not cost a mkpath.
    QSet<QString> m_knownDirectories { QString() };
};

bool EntryWriter::open(QString &errorText)
{
    m_archive.setFileName(m_archivePath);
    if (m_archive.open(QIODevice::ReadOnly))
        return true;
    const QString &status
        = m_archive.error() == QFileDevice::PermissionsError ? FilePermissionsError : FileOpenError;
    errorText = QStringLiteral("Archive is not readable: %1 (%2)").arg(m_archivePath, status);
    return false;
}

bool EntryWriter::makeDirectory(const QString &relativePath, const QString &failure, QString &errorText)
{
    if (m_knownDirectories.contains(relativePath))
        return true;
    if (!QDir().mkpath(targetOf(relativePath))) {
        errorText = failure;
        return false;
    }
    for (QString known = relativePath; !known.isEmpty(); known = known.section(QLatin1Char('/'), 0, -2))
        m_knownDirectories.insert(known);
    return true;
}

bool EntryWriter::write(const ZipDirectoryEntry &entry, QString &errorText)
{
    const QString relativePath = cleanRelativePath(entry.storedPath);
    const QString target = targetOf(relativePath);
    if (entry.isDirectory) {
        return makeDirectory(relativePath,
            QStringLiteral("Failed to create extracted directory %1").arg(printableName(target)), errorText);
    }
    const QString parent = relativePath.section(QLatin1Char('/'), 0, -2);
    if (!makeDirectory(parent,
            QStringLiteral("Failed to create parent directory for extracted file %1")
                .arg(printableName(target)),
            errorText))
        return false;

    const QFileInfo existing(target);
    if (existing.isDir() && !isLinkOrJunction(existing)) {
        // Whatever was known below the directory goes with it.
        m_knownDirectories = { QString() };
        if (!removeTree(target)) {
            errorText = QStringLiteral("Failed to replace existing directory %1").arg(printableName(target));
            return false;
        }
    } else if (!removeFileForReplacement(target)) {
        errorText = QStringLiteral("Failed to replace existing file %1").arg(printableName(target));
        return false;
    }
    if (writeFile(entry, target, errorText))
        return true;
    // A damaged or half-written entry must not stay where a good file is expected.
    QFile::remove(target);
    return false;
}

bool EntryWriter::writeFile(const ZipDirectoryEntry &entry, const QString &target, QString &errorText)
{
    QFile file(target);
    // NewOnly: the target was just removed, so anything there now (a link above all) is not ours.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        errorText = QStringLiteral("Failed to open extracted file %1 for writing").arg(printableName(target));
        return false;
    }
    // Streamed straight into the file, so an entry of several gigabytes never sits in memory.
    quint64 size = 0;
    quint32 crc = 0;
    bool damaged = false;
    bool writeFailed = false;
    switch (copyZipEntryData(m_archive, entry, file, size, crc)) {
    case ZipEntryRead::Read:
        break;
    case ZipEntryRead::Damaged:
        damaged = true;
        break;
    case ZipEntryRead::WriteFailed:
        writeFailed = true;
        break;
    case ZipEntryRead::Unsupported: // refused by checkEntries before anything was written
        damaged = true;
        break;
    }
    // The flush inside close() is where a full disk shows for the last block.
    file.close();
    if (writeFailed || file.error() != QFileDevice::NoError) {
        errorText = QStringLiteral("Failed to write complete extracted file %1").arg(printableName(target));
        return false;
    }
    const bool sizeAgrees = entry.uncompressedSize == 0 || size == entry.uncompressedSize;
    // Damaged data often decodes without complaint; the recorded checksum keeps a damaged entry from
    // being installed as if it were good.
    if (damaged || (sizeAgrees && crc != entry.crc32)) {
        errorText = QStringLiteral("Failed to extract archive entry %1 from %2 (%3)")
                        .arg(printableName(entry.storedPath), m_archivePath, FileError);
        return false;
    }
    if (!sizeAgrees) {
        errorText = QStringLiteral("Extracted archive entry %1 from %2 has size %3, expected %4.")
                        .arg(printableName(entry.storedPath), m_archivePath, QString::number(size),
                            QString::number(entry.uncompressedSize));
        return false;
    }
    // An archive that recorded no permissions must not leave a file nobody can read.
    if (entry.permissions)
        QFile::setPermissions(target, entry.permissions);
    return true;
}

} // namespace

bool extractArchive(const QString &archivePath, const QString &destinationDirectory, QString &errorText,
    const QSet<QString> &writeLast)
{
    if (!QDir().mkpath(destinationDirectory)) {
        errorText = QStringLiteral("Failed to create extraction directory %1").arg(destinationDirectory);
        return false;
    }
    if (!QFileInfo::exists(archivePath)) {
        errorText = QStringLiteral("Archive not found: %1").arg(archivePath);
        return false;
    }
    EntryWriter writer(archivePath, destinationDirectory);
    if (!writer.open(errorText))
        return false;
    QList<ZipDirectoryEntry> entries;
    if (!readZipDirectory(archivePath, entries)) {
        errorText = QStringLiteral("Failed to read archive entries from %1 (%2)").arg(archivePath, FileError);
        return false;
    }
    if (!checkEntries(archivePath, destinationDirectory, entries, errorText))
        return false;

    QSet<QString> lastKeys;
    for (const QString &path : writeLast)
        lastKeys.insert(cleanRelativePath(path).toLower());
    QList<const ZipDirectoryEntry *> deferred;
    for (const ZipDirectoryEntry &entry : std::as_const(entries)) {
        if (namesDestinationItself(entry))
            continue;
        if (!lastKeys.isEmpty() && lastKeys.contains(cleanRelativePath(entry.storedPath).toLower()))
            deferred.append(&entry);
        else if (!writer.write(entry, errorText))
            return false;
    }
    for (const ZipDirectoryEntry *entry : std::as_const(deferred)) {
        if (!writer.write(*entry, errorText))
            return false;
    }
    return true;
}

} // namespace vexa
