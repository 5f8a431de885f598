#include "archive/filereplacement.h"

#include "archive/pathcontainment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace vexa {

bool removeFileForReplacement(const QString &path)
{
    const QFileInfo info(path);
    // isSymLink first: its lstat also answers exists() for anything that is not a link.
    const bool isLink = isLinkOrJunction(info);
    if (!isLink && !info.exists())
        return true;
    // A link to a directory (a junction above all) is a directory entry on Windows.
    if (QFile::remove(path) || (isLink && QDir().rmdir(path)))
        return true;
    if (isLink || info.isDir())
        return false;
    QFile::setPermissions(path, info.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    return QFile::remove(path);
}

bool removeTree(const QString &path)
{
    const QFileInfo info(path);
    if (isLinkOrJunction(info) || !info.isDir())
        return removeFileForReplacement(path);
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        if (!removeTree(it.next()))
            return false;
    }
    return QDir().rmdir(path);
}

} // namespace vexa
