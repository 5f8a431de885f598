#include "updater/installswap.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

namespace vexa {

QString uniqueSiblingPath(const QString &parentDirectory, const QString &prefix)
{
    return QDir(parentDirectory)
        .filePath(QStringLiteral("%1-%2").arg(prefix, QUuid::createUuid().toString(QUuid::WithoutBraces)));
}

bool swapInstallDirectory(const QString &stagedDirectory, const QString &installDirectory, QString &errorText)
{
    const QFileInfo install(installDirectory);
    const QString parent = install.absolutePath();
    if (!QDir().mkpath(parent)) {
        errorText = QStringLiteral("Failed to create parent directory %1").arg(parent);
        return false;
    }
    QDir parentDirectory(parent);
    const QString installName = install.fileName();
    const QString backupName
        = QFileInfo(uniqueSiblingPath(parent, QStringLiteral(".vexa-installer-backup"))).fileName();

    const bool movedAway = install.exists();
    if (movedAway && !parentDirectory.rename(installName, backupName)) {
        errorText = QStringLiteral("Failed to move the current install directory out of the way: %1")
                        .arg(installDirectory);
        return false;
    }
    if (!parentDirectory.rename(QFileInfo(stagedDirectory).fileName(), installName)) {
        if (movedAway)
            parentDirectory.rename(backupName, installName);
        errorText = QStringLiteral("Failed to promote the staged installer directory into %1")
                        .arg(installDirectory);
        return false;
    }
    if (movedAway)
        QDir(parentDirectory.filePath(backupName)).removeRecursively();
    return true;
}

} // namespace vexa
