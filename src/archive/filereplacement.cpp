#include "archive/filereplacement.h"

#include <QFile>
#include <QFileInfo>

namespace vexa {

bool removeFileForReplacement(const QString &path)
{
    const QFileInfo info(path);
    // isSymLink first: its lstat also answers exists() for anything that is not a link.
    const bool isLink = info.isSymLink();
    if (!isLink && !info.exists())
        return true;
    if (QFile::remove(path))
        return true;
    if (isLink || info.isDir())
        return false;
    QFile::setPermissions(path, info.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    return QFile::remove(path);
}

} // namespace vexa
