#include "updater/clientupdateapply.h"

#include "archive/archiveextraction.h"
#include "archive/directorycopy.h"
#include "archive/filereplacement.h"
#include "platform/processwait.h"
#include "updater/installswap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUuid>

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

    const QString workspace = QDir(QDir::tempPath())
                                  .filePath(QStringLiteral("vexa-installer-update-%1")
                                                .arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
    const QString extracted = QDir(workspace).filePath(QStringLiteral("extracted"));
    const QString staged = uniqueSiblingPath(
        QFileInfo(options.installDirectory).absolutePath(), QStringLiteral(".vexa-installer-staged"));
    if (!QDir().mkpath(workspace)) {
        errorText = QStringLiteral("Failed to create temporary updater workspace %1").arg(workspace);
        return false;
    }
    // The staged directory is built beside the install directory, so the swap is two renames within
    // one directory and never a copy across file systems.
    if (!extractArchive(options.archivePath, extracted, errorText)
        || !copyDirectoryTree(extracted, staged, errorText, CopySourceKind::PlainDirectory)
        || !swapInstallDirectory(staged, options.installDirectory, errorText)) {
        return false;
    }

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
