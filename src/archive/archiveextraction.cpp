#include "archive/archiveextraction.h"

#include "archive/filereplacement.h"
#include "archive/zipdirectory.h"
#include "platform/tarprogram.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>

#if __has_include(<QtCore/private/qzipreader_p.h>)
#include <QtCore/private/qzipreader_p.h>
#else
#include <QtGui/private/qzipreader_p.h>
#endif

namespace vexa {

namespace {

QString withFallbackNote(const QString &message, const QString &note)
{
    if (note.isEmpty())
        return message;
    return message + QStringLiteral("\n\nFallback note:\n%1").arg(note);
}

// Runs tar on the archive. True when tar extracted it; otherwise `note` says why not.
bool extractWithTar(const QString &tarProgram, const QString &archivePath,
    const QString &destinationDirectory, int timeoutMs, QString &note)
{
    QProcess tar;
    tar.setProgram(tarProgram);
    // Absolute paths: some tar builds change into the -C directory before opening the archive.
    tar.setArguments(
        { QStringLiteral("-xf"), QDir::toNativeSeparators(QFileInfo(archivePath).absoluteFilePath()),
            QStringLiteral("-C"), QDir::toNativeSeparators(QDir(destinationDirectory).absolutePath()) });
    tar.start(QIODevice::ReadWrite);
    tar.closeWriteChannel();
    if (tar.waitForFinished(timeoutMs)) {
        if (tar.exitStatus() == QProcess::NormalExit && tar.exitCode() == 0)
            return true;
        note = QStringLiteral("tar.exe failed to extract %1:\n%2\n%3")
                   .arg(archivePath, QString::fromLocal8Bit(tar.readAllStandardOutput()),
                       QString::fromLocal8Bit(tar.readAllStandardError()));
        return false;
    }
    tar.kill();
    tar.waitForFinished(TarKillWaitMs);
    note = QStringLiteral("tar.exe did not finish while extracting %1.").arg(archivePath);
    return false;
}

bool extractWithZipReader(const QString &archivePath, const QString &destinationDirectory,
    const QList<ZipDirectoryEntry> &entries, bool directoryRead, const QString &note, QString &errorText)
{
    QZipReader reader(archivePath, QIODevice::ReadOnly);
    if (!reader.exists()) {
        errorText = QStringLiteral("Archive not found: %1").arg(archivePath);
        return false;
    }
    if (!reader.isReadable()) {
        errorText = QStringLiteral("Archive is not readable: %1 (%2)")
                        .arg(archivePath, zipStatusName(reader.status()));
        return false;
    }
    // The zip reader answers a damaged or foreign file with an empty list and no error (only a log
    // line), which would pass as a successful extraction of nothing; our own reading of the
    // directory decides, and the reader is only asked when that reading succeeded.
    int status = QZipReader::FileError;
    if (directoryRead) {
        reader.fileInfoList();
        status = reader.status();
    }
    if (status != QZipReader::NoError) {
        errorText = withFallbackNote(QStringLiteral("Failed to read archive entries from %1 (%2)")
                                         .arg(archivePath, zipStatusName(status)),
            note);
        return false;
    }

    // Entries are read directly where this build can decode them; the zip reader serves the rest.
    QFile archive(archivePath);
    archive.open(QIODevice::ReadOnly);
    const QDir destination(destinationDirectory);
    // Parent directories already made, so that each file does not cost a mkpath.
    QSet<QString> knownDirectories;
    // The entries come from our own directory listing: the zip reader's list drops leading dots from
    // names (".gitignore" would become "gitignore") and cannot fetch the data of the names it altered.
    for (const ZipDirectoryEntry &entry : entries) {
        QString relativePath = entry.storedPath;
        relativePath.replace(QLatin1Char('\\'), QLatin1Char('/'));
        relativePath = relativePath.trimmed();
        if (relativePath.isEmpty())
            continue;
        const QString target = QDir::cleanPath(destination.filePath(relativePath));

        if (entry.isDirectory) {
            if (!QDir().mkpath(target)) {
                errorText = QStringLiteral("Failed to create extracted directory %1").arg(target);
                return false;
            }
            continue;
        }

        const QString parent = target.left(target.lastIndexOf(QLatin1Char('/')));
        if (!knownDirectories.contains(parent)) {
            if (!QDir().mkpath(parent)) {
                errorText
                    = QStringLiteral("Failed to create parent directory for extracted file %1").arg(target);
                return false;
            }
            knownDirectories.insert(parent);
        }
        const QFileInfo existing(target);
        if (existing.isDir() && !existing.isSymLink()) {
            // Whatever was known below the directory goes with it.
            knownDirectories.clear();
            if (!QDir(target).removeRecursively()) {
                errorText = QStringLiteral("Failed to replace existing directory %1").arg(target);
                return false;
            }
        } else if (!removeFileForReplacement(target)) {
            errorText = QStringLiteral("Failed to replace existing file %1").arg(target);
            return false;
        }

        QFile file(target);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            errorText = QStringLiteral("Failed to open extracted file %1 for writing").arg(target);
            return false;
        }
        // Streamed straight into the file, so an entry of several gigabytes never sits in memory.
        quint64 size = 0;
        quint32 crc = 0;
        int readStatus = QZipReader::NoError;
        bool writeFailed = false;
        switch (copyZipEntryData(archive, entry, file, size, crc)) {
        case ZipEntryRead::Read:
            break;
        case ZipEntryRead::Damaged:
            readStatus = QZipReader::FileError;
            break;
        case ZipEntryRead::WriteFailed:
            writeFailed = true;
            break;
        case ZipEntryRead::Unsupported: {
            const QByteArray data = reader.fileData(entry.storedPath);
            readStatus = reader.status();
            writeFailed = file.write(data) != data.size();
            size = quint64(data.size());
            crc = zipCrc32(data);
            break;
        }
        }
        file.close();
        if (writeFailed || file.error() != QFileDevice::NoError) {
            errorText = QStringLiteral("Failed to write complete extracted file %1").arg(target);
            return false;
        }
        const bool sizeAgrees = entry.uncompressedSize == 0 || size == entry.uncompressedSize;
        // Damaged data often decodes without complaint, and the zip reader never reports it; the
        // recorded checksum keeps a damaged entry from being installed as if it were good.
        if (readStatus == QZipReader::NoError && sizeAgrees && crc != entry.crc32)
            readStatus = QZipReader::FileError;
        if (readStatus != QZipReader::NoError) {
            errorText = withFallbackNote(QStringLiteral("Failed to extract archive entry %1 from %2 (%3)")
                                             .arg(entry.storedPath, archivePath, zipStatusName(readStatus)),
                note);
            return false;
        }
        if (!sizeAgrees) {
            errorText = QStringLiteral("Extracted archive entry %1 from %2 has size %3, expected %4.")
                            .arg(entry.storedPath, archivePath, QString::number(size),
                                QString::number(entry.uncompressedSize));
            return false;
        }
        // An archive that recorded no permissions must not leave a file nobody can read.
        if (entry.permissions)
            QFile::setPermissions(target, entry.permissions);
    }
    return true;
}

} // namespace

QString zipStatusName(int status)
{
    switch (status) {
    case QZipReader::NoError:
        return QStringLiteral("NoError");
    case QZipReader::FileReadError:
        return QStringLiteral("FileReadError");
    case QZipReader::FileOpenError:
        return QStringLiteral("FileOpenError");
    case QZipReader::FilePermissionsError:
        return QStringLiteral("FilePermissionsError");
    case QZipReader::FileError:
        return QStringLiteral("FileError");
    default:
        return QStringLiteral("UnknownError");
    }
}

bool extractArchive(
    const QString &archivePath, const QString &destinationDirectory, QString &errorText, int tarTimeoutMs)
{
    if (!QDir().mkpath(destinationDirectory)) {
        errorText = QStringLiteral("Failed to create extraction directory %1").arg(destinationDirectory);
        return false;
    }

    // Judge the archive by its own directory before anything is written, on either path.
    QList<ZipDirectoryEntry> entries;
    const bool directoryRead = QFileInfo::exists(archivePath) && readZipDirectory(archivePath, entries);
    bool hasSymLinks = false;
    for (const ZipDirectoryEntry &entry : std::as_const(entries)) {
        if (!isContainedEntryPath(entry.storedPath)) {
            errorText = QStringLiteral("Refusing to extract %1: entry %2 would be written outside %3")
                            .arg(archivePath, entry.storedPath, destinationDirectory);
            return false;
        }
        hasSymLinks = hasSymLinks || entry.isSymLink;
    }

    QString fallbackNote;
    // tar only sees archives whose every entry was checked above, and none with links: tar would
    // create real links, the zip reader writes them as plain files.
    if (directoryRead && !hasSymLinks) {
        const QString tarProgram = findTarProgram();
        if (!tarProgram.isEmpty()
            && extractWithTar(tarProgram, archivePath, destinationDirectory, tarTimeoutMs, fallbackNote)) {
            return true;
        }
    }
    return extractWithZipReader(
        archivePath, destinationDirectory, entries, directoryRead, fallbackNote, errorText);
}

} // namespace vexa
