#include "updater/clientupdateapply.h"

#include "archive/archiveextraction.h"
#include "archive/directorycopy.h"
#include "archive/filereplacement.h"
#include "platform/durability.h"
#include "platform/processwait.h"
#include "release/failedupdate.h"
#include "release/releaserecord.h"
#include "release/updatecommandline.h"
#include "updater/installswap.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace vexa {

namespace {

bool waitForInstaller(qint64 processId, int exitWaitMs, QString &errorText)
{
    if (processId <= 0)
        return true;
    switch (waitForProcessExit(processId, exitWaitMs)) {
    case ProcessWaitResult::NotRunning:
    case ProcessWaitResult::Ended:
        return true;
    case ProcessWaitResult::TimedOut:
        errorText = QStringLiteral("Timed out while waiting for the running installer process to exit.");
        return false;
    case ProcessWaitResult::Failed:
        break;
    }
    errorText = QStringLiteral("Failed while waiting for the running installer process to exit.");
    return false;
}

// The installer and this helper: what a program directory held before releases recorded their entries.
QStringList programNames(const UpdaterOptions &options)
{
    return { QFileInfo(options.relaunchExecutable).fileName(),
        QFileInfo(QCoreApplication::applicationFilePath()).fileName() };
}

// Every staged file and directory is on disk before the first rename: otherwise a power cut soon after
// the swap could leave zero-length program files under the install name, and no old client.
bool stageOnDisk(const QString &extracted, const QString &staged, QString &errorText)
{
    if (!copyDirectoryTree(extracted, staged, errorText, CopySourceKind::PlainDirectory))
        return false;
    // The extracted tree has served its purpose. Deleted before the sync, which covers its whole file
    // system where that is also the staged directory's, its data is never written to disk at all.
    removeTree(extracted);
    if (!syncWrittenTrees(staged, { staged })) {
        errorText = QStringLiteral("Failed to write the staged installer directory %1 to disk.").arg(staged);
        return false;
    }
    return true;
}

} // namespace

bool applyClientUpdate(const UpdaterOptions &options, QString &errorText, int exitWaitMs)
{
    if (!options.isComplete()) {
        errorText = QStringLiteral(
            "The updater did not receive a complete install directory, archive, and relaunch executable.");
        return false;
    }
    // Not a single file is touched while the installer may still be running from the directory.
    if (!waitForInstaller(options.waitProcessId, exitWaitMs, errorText))
        return false;

    const QString workspace = QDir(QDir::tempPath()).filePath(newUpdateWorkspaceName());
    const QString extracted = QDir(workspace).filePath(QStringLiteral("extracted"));
    const QString staged = uniqueSiblingPath(
        QFileInfo(options.installDirectory).absolutePath(), QStringLiteral(".vexa-installer-staged"));
    if (!QDir().mkpath(workspace)) {
        errorText = QStringLiteral("Failed to create temporary updater workspace %1").arg(workspace);
        return false;
    }
    // The install directory is checked again here, after the installer's check: the person may have put
    // something in it since. Until the check passes nothing beside it is touched. The staged directory
    // is built beside the install directory, so the swap is a rename within one directory and never a
    // copy across file systems.
    if (!extractArchive(options.archivePath, extracted, errorText)
        || !checkProgramDirectoryReplaceable(
            options.installDirectory, options.archivePath, programNames(options), errorText)
        || !stageOnDisk(extracted, staged, errorText)) {
        return false;
    }
    // Staging copies and syncs the whole client and may take a while: the check is made once more
    // right before the swap, so that nothing put in the directory meanwhile leaves with the old client.
    if (!checkProgramDirectoryReplaceable(
            options.installDirectory, options.archivePath, programNames(options), errorText)) {
        removeTree(staged);
        return false;
    }
    if (!swapInstallDirectory(staged, options.installDirectory, errorText))
        return false;
    clearFailedUpdate(options.installDirectory);

    QFile::remove(options.archivePath);
    removeTree(workspace);
    if (!QProcess::startDetached(options.relaunchExecutable, options.relaunchArguments,
            QFileInfo(options.relaunchExecutable).absolutePath())) {
        errorText = QStringLiteral("Updated the client, but failed to relaunch %1.")
                        .arg(options.relaunchExecutable);
        return false;
    }
    return true;
}

} // namespace vexa
