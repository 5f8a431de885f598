#include "updater/installswap.h"

#include "archive/filereplacement.h"
#include "archive/pathcontainment.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

namespace vexa {

namespace {

// The installer may run from a folder the user keeps other things in (Downloads, ~/bin): every
// top-level entry of the old directory whose name the new release does not take is moved into the
// new directory. Whether a name is taken is asked of the file system, so names compare the way it
// does (without regard to case on Windows). A folder both hold comes from the release as a whole.
// Both directories share one parent, so each move is a rename. False when anything stayed behind.
bool carryOverUntakenEntries(const QString &oldDirectory, const QString &newDirectory)
{
    const QDir oldDir(oldDirectory);
    const QDir newDir(newDirectory);
    bool allMoved = true;
    const QStringList names
        = oldDir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QFileInfo taken(newDir.filePath(name));
        if (taken.exists() || isLinkOrJunction(taken))
            continue;
        allMoved = QDir().rename(oldDir.filePath(name), taken.filePath()) && allMoved;
    }
    return allMoved;
}

// The old directory goes only when nothing of the user's is left in it; otherwise it stays beside the
// new one. When the install directory was a link, only the link goes: the folder it leads to is the
// user's and is left exactly as it was.
void retireOldDirectory(const QString &backup, const QString &installDirectory)
{
    if (isLinkOrJunction(QFileInfo(backup)) || carryOverUntakenEntries(backup, installDirectory))
        removeTree(backup);
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
        retireOldDirectory(parentDirectory.filePath(backupName), parentDirectory.filePath(installName));
    return true;
}

} // namespace vexa
