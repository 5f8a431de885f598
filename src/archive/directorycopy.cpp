#include "archive/directorycopy.h"

#include "archive/filereplacement.h"
#include "archive/pathcontainment.h"
#include "archive/printabletext.h"
#include "platform/filedata.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QList>
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
    // NewOnly: the target was just removed, so anything there now (a link above all) is not ours.
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return false;
    const bool copied = copyFileData(source, target, buffer);
    target.close();
    if (copied && target.error() == QFileDevice::NoError)
        return true;
    QFile::remove(targetPath);
    return false;
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

class TreeCopy
{
public:
    TreeCopy(const QString &sourceRoot, const QString &destination, const QSet<QString> &writeLast)
        : m_sourceRoot(sourceRoot)
        , m_destination(destination)
        , m_buffer(CopyBlockSize, Qt::Uninitialized)
    {
        for (const QString &path : writeLast)
            m_lastKeys.insert(cleanRelativePath(path).toLower());
    }

    QString skippedRelative;

    bool copyDirectory(const QString &relativeDirectory, QString &errorText);
    bool copyDeferred(QString &errorText);

private:
    QString targetOf(const QString &relativePath) const
    {
        return relativePath.isEmpty() ? m_destination : m_destination + QLatin1Char('/') + relativePath;
    }
    bool makeDirectory(const QString &relativePath, const QString &failure, QString &errorText);
    bool copyFile(const QFileInfo &entry, const QString &relativePath, QString &errorText);

    QString m_sourceRoot;
    QString m_destination;
    QByteArray m_buffer;
    QSet<QString> m_lastKeys;
    QList<QPair<QFileInfo, QString>> m_deferred;
    // Directories below the destination already made and checked, so each costs one check per copy.
    QSet<QString> m_knownDirectories;
};

// Creates the directory unless a link on the way leads out of the destination.
bool TreeCopy::makeDirectory(const QString &relativePath, const QString &failure, QString &errorText)
{
    if (m_knownDirectories.contains(relativePath))
        return true;
    const QString directory = targetOf(relativePath);
    if (!staysInsideThroughLinks(m_destination, directory)) {
        errorText = unsafePathMessage(QStringLiteral("copied path"), relativePath, m_sourceRoot,
            throughLinkReason(destinationPlace(m_destination)));
        return false;
    }
    if (!QDir().mkpath(directory)) {
        errorText = failure;
        return false;
    }
    m_knownDirectories.insert(relativePath);
    return true;
}

bool TreeCopy::copyFile(const QFileInfo &entry, const QString &relativePath, QString &errorText)
{
    const QString target = targetOf(relativePath);
    if (!makeDirectory(relativePath.section(QLatin1Char('/'), 0, -2),
            QStringLiteral("Failed to create parent directory for %1").arg(printableName(target)), errorText))
        return false;
    // Removing first (a link included) means the copy never writes through an old link.
    if (!removeFileForReplacement(target)) {
        errorText = QStringLiteral("Failed to replace existing file %1").arg(printableName(target));
        return false;
    }
    if (!copyFileContents(entry.absoluteFilePath(), target, m_buffer)) {
        errorText = QStringLiteral("Failed to copy %1 to %2")
                        .arg(printableName(entry.absoluteFilePath()), printableName(target));
        return false;
    }
    QFile::setPermissions(target, modePermissions(entry));
    return true;
}

bool TreeCopy::copyDirectory(const QString &relativeDirectory, QString &errorText)
{
    const QString sourceDirectory
        = relativeDirectory.isEmpty() ? m_sourceRoot : m_sourceRoot + QLatin1Char('/') + relativeDirectory;
    QDirIterator it(sourceDirectory, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo entry = it.fileInfo();
        // A link is not part of the payload: following it could copy anything (a key file) into the root.
        if (isLinkOrJunction(entry))
            continue;
        const QString relativePath = relativeDirectory.isEmpty()
            ? entry.fileName()
            : relativeDirectory + QLatin1Char('/') + entry.fileName();
        if (!skippedRelative.isEmpty() && relativePath == skippedRelative)
            continue;
        if (entry.isDir()) {
            if (!makeDirectory(relativePath,
                    QStringLiteral("Failed to create %1").arg(printableName(targetOf(relativePath))),
                    errorText)
                || !copyDirectory(relativePath, errorText))
                return false;
        } else if (m_lastKeys.contains(relativePath.toLower())) {
            m_deferred.append({ entry, relativePath });
        } else if (!copyFile(entry, relativePath, errorText)) {
            return false;
        }
    }
    return true;
}

bool TreeCopy::copyDeferred(QString &errorText)
{
    for (const auto &[entry, relativePath] : std::as_const(m_deferred)) {
        if (!copyFile(entry, relativePath, errorText))
            return false;
    }
    return true;
}

} // namespace

bool copyDirectoryTree(const QString &sourceDirectory, const QString &destinationDirectory,
    QString &errorText, CopySourceKind sourceKind, const QSet<QString> &writeLast)
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
    // Cleaned, so that a trailing "/" cannot shift every relative path by one character.
    TreeCopy copy(
        QDir::cleanPath(sourceInfo.absoluteFilePath()), QDir::cleanPath(destinationDirectory), writeLast);
    if (destinationCanonical.startsWith(sourceCanonical + QLatin1Char('/')))
        copy.skippedRelative = destinationCanonical.mid(sourceCanonical.size() + 1);
    return copy.copyDirectory(QString(), errorText) && copy.copyDeferred(errorText);
}

} // namespace vexa
