#include "platform/linkremoval.h"

#include <QDir>
#include <QFile>

namespace vexa {

bool isLinkEntry(const QFileInfo &info)
{
    return info.isSymLink() || info.isJunction();
}

bool removeWithoutFollowingLinks(const QString &path)
{
    const QFileInfo info(path);
    // A link to a directory is a directory entry on Windows and a file elsewhere.
    if (isLinkEntry(info))
        return QFile::remove(path) || QDir().rmdir(path);
    if (!info.exists())
        return true;
    if (!info.isDir()) {
        if (QFile::remove(path))
            return true;
        // Windows refuses to delete a read-only file.
        return QFile::setPermissions(
                   path, info.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser)
            && QFile::remove(path);
    }
    bool removed = true;
    const QFileInfoList entries
        = QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries)
        removed = removeWithoutFollowingLinks(entry.filePath()) && removed;
    return removed && QDir().rmdir(path);
}

} // namespace vexa
