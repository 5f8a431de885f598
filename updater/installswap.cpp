#include "updater/installswap.h"

#include "archive/filereplacement.h"
#include "archive/pathcontainment.h"
#include "platform/durability.h"
#include "platform/pathexchange.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

namespace vexa {

namespace {

QString promotionFailedMessage(const QString &installDirectory)
{
    return QStringLiteral("Failed to promote the staged installer directory into %1").arg(installDirectory);
}

// The old client goes only once the new one's name is durable: before that a power cut could bring
// back the old name, and it must still lead to a client.
void retireOldDirectory(const QString &parent, const QString &oldDirectory)
{
    if (syncDirectory(parent))
        removeTree(oldDirectory);
}

// Where the file system cannot exchange: the old directory to a backup name, the staged one to the
// install name, the backup back when the second rename fails.
bool swapByTwoRenames(const QString &parent, const QString &stagedDirectory, const QString &installDirectory,
    QString &errorText)
{
    QDir parentDirectory(parent);
    const QString installName = QFileInfo(installDirectory).fileName();
    const QString backupName
        = QFileInfo(uniqueSiblingPath(parent, QStringLiteral(".vexa-installer-backup"))).fileName();
    if (!parentDirectory.rename(installName, backupName)) {
        errorText = QStringLiteral("Failed to move the current install directory out of the way: %1")
                        .arg(installDirectory);
        return false;
    }
    if (!parentDirectory.rename(QFileInfo(stagedDirectory).fileName(), installName)) {
        parentDirectory.rename(backupName, installName);
        errorText = promotionFailedMessage(installDirectory);
        return false;
    }
    retireOldDirectory(parent, parentDirectory.filePath(backupName));
    return true;
}

} // namespace

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
    const QString installPath = QDir(parent).filePath(install.fileName());
    const QString stagedPath = QDir(parent).filePath(QFileInfo(stagedDirectory).fileName());

    if (!install.exists() && !isLinkOrJunction(install)) {
        if (!QDir(parent).rename(QFileInfo(stagedPath).fileName(), install.fileName())) {
            errorText = promotionFailedMessage(installDirectory);
            return false;
        }
        syncDirectory(parent);
        return true;
    }
    switch (exchangePaths(stagedPath, installPath)) {
    case PathExchange::Exchanged:
        // The staged name now holds the old client.
        retireOldDirectory(parent, stagedPath);
        return true;
    case PathExchange::Failed:
        errorText = promotionFailedMessage(installDirectory);
        return false;
    case PathExchange::Unsupported:
        break;
    }
    return swapByTwoRenames(parent, stagedPath, installDirectory, errorText);
}

} // namespace vexa
