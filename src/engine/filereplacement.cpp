#include "engine/filereplacement.h"

#include <QFile>
#include <QFileInfo>

namespace vexa {

bool removeFileForReplacement(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (QFile::remove(path))
        return true;
    if (info.isSymLink() || info.isDir())
        return false;
    QFile::setPermissions(path, info.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    return QFile::remove(path);
}

} // namespace vexa
