#include "archive/directorycopy.h"

#include "archive/filereplacement.h"
#include "platform/filedata.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace vexa {

namespace {

constexpr qint64 CopyBlockSize = 1024 * 1024;

// Copies the bytes ourselves: QFile::copy syncs every file to disk, which makes copying a payload
// of thousands of small files several times slower than the system's own copy. The data reaches
// the disk with the system's normal write-back; the apply verifies the result afterwards anyway.
bool copyFileContents(const QString &sourcePath, const QString &targetPath, QByteArray &buffer)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    QFile target(targetPath);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    if (!copyFileData(source, target, buffer))
        return false;
    target.close();
    return target.error() == QFileDevice::NoError;
}

// The owner, group and other bits of the file's mode. QFileInfo::permissions() also works out what
// the current user may do, which costs three access() calls per file and is not needed here.
QFileDevice::Permissions modePermissions(const QFileInfo &info)
{
    QFileDevice::Permissions permissions;
    for (const QFileDevice::Permission flag : { QFileDevice::ReadOwner, QFileDevice::WriteOwner,
             QFileDevice::ExeOwner, QFileDevice::ReadGroup, QFileDevice::WriteGroup, QFileDevice::ExeGroup,
             QFileDevice::ReadOther, QFileDevice::WriteOther, QFileDevice::ExeOther }) {
        if (info.permission(flag))
            permissions |= flag;
    }
    return permissions;
}

} // namespace

bool copyDirectoryTree(const QString &sourceDirectory, const QString &destinationDirectory,
    QString &errorText, CopySourceKind sourceKind)
{
    const QFileInfo sourceInfo(sourceDirectory);
    if (!sourceInfo.exists() || !sourceInfo.isDir()) {
        errorText = sourceKind == CopySourceKind::PayloadDirectory
            ? QStringLiteral("Source payload directory not found: %1").arg(sourceDirectory)
            : QStringLiteral("Source directory not found: %1").arg(sourceDirectory);
        return false;
    }
    if (!QDir().mkpath(destinationDirectory)) {
        errorText = QStringLiteral("Failed to create destination directory %1").arg(destinationDirectory);
        return false;
    }

    // Each file is deleted before it is written, so copying a tree onto itself would destroy it; and
    // a destination inside the source would be walked while it grows, so that part is left out.
    const QString sourceCanonical = sourceInfo.canonicalFilePath();
    const QString destinationCanonical = QFileInfo(destinationDirectory).canonicalFilePath();
    if (sourceCanonical == destinationCanonical)
        return true;
    QString skippedRelative;
    if (destinationCanonical.startsWith(sourceCanonical + QLatin1Char('/')))
        skippedRelative = destinationCanonical.mid(sourceCanonical.size() + 1);

    const QString sourceRoot = sourceInfo.absoluteFilePath();
    const QDir destination(destinationDirectory);
    // Directories known to exist, so that each file does not cost a mkpath of its parent.
    QSet<QString> knownDirectories { QString() };
    QByteArray buffer(CopyBlockSize, Qt::Uninitialized);
    QDirIterator it(
        sourceRoot, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo entry = it.fileInfo();
        const QString entryPath = entry.absoluteFilePath();
        const QString relativePath = entryPath.mid(sourceRoot.size() + 1);
        if (!skippedRelative.isEmpty()
            && (relativePath == skippedRelative
                || relativePath.startsWith(skippedRelative + QLatin1Char('/'))))
            continue;
        const QString target = QDir::cleanPath(destination.filePath(relativePath));
        if (entry.isDir()) {
            if (!QDir().mkpath(target)) {
                errorText = QStringLiteral("Failed to create %1").arg(target);
                return false;
            }
            knownDirectories.insert(relativePath);
            continue;
        }
        const qsizetype slash = relativePath.lastIndexOf(QLatin1Char('/'));
        const QString parentRelative = slash < 0 ? QString() : relativePath.left(slash);
        if (!knownDirectories.contains(parentRelative)) {
            if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
                errorText = QStringLiteral("Failed to create parent directory for %1").arg(target);
                return false;
            }
            knownDirectories.insert(parentRelative);
        }
        // Removing first (a link included) means the copy never writes through an old link.
        if (!removeFileForReplacement(target)) {
            errorText = QStringLiteral("Failed to replace existing file %1").arg(target);
            return false;
        }
        if (!copyFileContents(entryPath, target, buffer)) {
            errorText = QStringLiteral("Failed to copy %1 to %2").arg(entryPath, target);
            return false;
        }
        QFile::setPermissions(target, modePermissions(entry));
    }
    return true;
}

} // namespace vexa
