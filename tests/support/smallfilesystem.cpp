#include "support/smallfilesystem.h"

#include <QFile>
#include <QProcess>
#include <QStorageInfo>

namespace vexa {

namespace {

QString fillerPath(const QString &directory)
{
    return directory + QStringLiteral("/filler");
}

} // namespace

SmallFileSystem::SmallFileSystem(qint64 sizeBytes)
{
    if (!m_directory.isValid())
        return;
    m_mounted
        = QProcess::execute(QStringLiteral("mount"),
              { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                  QStringLiteral("size=%1").arg(sizeBytes), QStringLiteral("tmpfs"), m_directory.path() })
        == 0;
}

SmallFileSystem::~SmallFileSystem()
{
    if (m_mounted)
        QProcess::execute(QStringLiteral("umount"), { QStringLiteral("-l"), m_directory.path() });
}

bool SmallFileSystem::fillLeaving(qint64 bytes)
{
    QFile filler(fillerPath(path()));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, '\0');
    while (QStorageInfo(path()).bytesAvailable() > bytes) {
        if (filler.write(block) != block.size())
            return false;
    }
    return true;
}

bool SmallFileSystem::removeFiller()
{
    return QFile::remove(fillerPath(path()));
}

bool SmallFileSystem::remountReadOnly()
{
    return QProcess::execute(
               QStringLiteral("mount"), { QStringLiteral("-o"), QStringLiteral("remount,ro"), path() })
        == 0;
}

} // namespace vexa
