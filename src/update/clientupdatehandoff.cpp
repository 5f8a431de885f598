#include "update/clientupdatehandoff.h"

#include "archive/printabletext.h"
#include "platform/executablename.h"
#include "release/failedupdate.h"
#include "release/releaserecord.h"
#include "update/clientarchive.h"
#include "update/clientmanifest.h"
#include "update/clientversion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUuid>

namespace vexa {

namespace {

QString updaterExecutablePath(const ClientUpdateContext &context)
{
    return QDir(context.programDirectory).filePath(executableFileName(context.names.updater));
}

QString relaunchExecutablePath(const ClientUpdateContext &context)
{
    return QDir(context.programDirectory).filePath(executableFileName(context.names.installer));
}

bool createClientUpdateWorkspace(QString &workspace, QString &errorText)
{
    const QString temporary = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    if (temporary.trimmed().isEmpty()) {
        errorText = QStringLiteral("No writable temp directory is available for client updates.");
        return false;
    }
    workspace = QDir(temporary).filePath(
        QStringLiteral("vexa-installer-update-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
    if (!QDir().mkpath(workspace)) {
        errorText = QStringLiteral("Failed to create the client update workspace at %1").arg(workspace);
        return false;
    }
    return true;
}

bool copyWithPermissions(const QString &source, const QString &destination)
{
    QFile::remove(destination);
    if (!QFile::copy(source, destination))
        return false;
    QFile::setPermissions(destination, QFile::permissions(source));
    return true;
}

// The helper must not run from the directory it replaces, so it runs from a copy in the workspace,
// with the libraries it was shipped with beside it.
bool stageUpdaterFiles(
    const QString &updaterPath, const QString &workspace, QString &stagedUpdater, QString &errorText)
{
    const QDir source = QFileInfo(updaterPath).absoluteDir();
    const QString destination = QDir(workspace).filePath(QFileInfo(updaterPath).fileName());
    if (!copyWithPermissions(updaterPath, destination)) {
        errorText = QStringLiteral("Failed to stage the updater helper at %1").arg(destination);
        return false;
    }
    const QStringList libraries = source.entryList(sharedLibraryNameFilters(), QDir::Files);
    for (const QString &library : libraries) {
        if (!copyWithPermissions(source.filePath(library), QDir(workspace).filePath(library))) {
            errorText = QStringLiteral("Failed to stage updater dependency %1").arg(library);
            return false;
        }
    }
    stagedUpdater = destination;
    return true;
}

QStringList updaterArguments(
    const ClientUpdateContext &context, const QString &archivePath, const QStringList &launchArguments)
{
    QStringList arguments { QStringLiteral("--install-dir"), QDir::cleanPath(context.programDirectory),
        QStringLiteral("--archive"), QDir::cleanPath(archivePath), QStringLiteral("--relaunch-exe"),
        relaunchExecutablePath(context), QStringLiteral("--wait-pid"), QString::number(context.processId) };
    // The helper puts the skip flag back in front itself; passing it on as well would double it.
    for (const QString &argument : launchArguments) {
        if (argument != SkipSelfUpdateArgument)
            arguments << QStringLiteral("--relaunch-arg") << argument;
    }
    return arguments;
}

} // namespace

ClientUpdateContext runningInstallerContext()
{
    ClientUpdateContext context;
    context.programDirectory = QCoreApplication::applicationDirPath();
    context.names = programNames();
    context.processId = QCoreApplication::applicationPid();
    return context;
}

bool tryStartClientUpdate(const ClientUpdateContext &context, const QString &manifestLocation,
    const QStringList &launchArguments, const StartupStatusCallback &showStatus, QString &errorText)
{
    errorText.clear();
    ClientUpdateManifest manifest;
    if (!loadClientManifest(
            manifestLocation, manifest, errorText, context.manifestTimeoutMs, context.trustedKeys))
        return false;
    if (compareClientVersions(installerClientVersion(), manifest.version) >= 0) {
        errorText.clear();
        return false;
    }
    const QString failedVersion = failedUpdateVersion(context.programDirectory);
    if (!failedVersion.isEmpty() && compareClientVersions(failedVersion, manifest.version) == 0) {
        errorText = QStringLiteral("Client update %1 failed on an earlier start and is not offered again; a "
                                   "newer version will be.")
                        .arg(printableName(manifest.version));
        return false;
    }

    const QString updaterPath = updaterExecutablePath(context);
    if (!QFileInfo::exists(updaterPath)) {
        errorText = QStringLiteral("Client update %1 is available, but %2 is missing.")
                        .arg(printableName(manifest.version), updaterPath);
        return false;
    }
    showStatus(QStringLiteral("Client update available..."),
        QStringLiteral("Updating from %1 to %2.")
            .arg(installerClientVersion(), printableName(manifest.version)));

    QString workspace;
    if (!createClientUpdateWorkspace(workspace, errorText))
        return false;
    QString archivePath;
    const ProgressCallback progress = [&showStatus](const QString &text) { showStatus(text, QString()); };
    if (!downloadClientArchive(
            manifest, workspace, archivePath, errorText, progress, context.archiveTimeoutMs))
        return false;
    // Refused once: the version is recorded as failed, so the reason is not repeated at every start.
    const QStringList programs { executableFileName(context.names.installer),
        executableFileName(context.names.updater) };
    if (!checkProgramDirectoryReplaceable(context.programDirectory, archivePath, programs, errorText)) {
        recordFailedUpdate(context.programDirectory, manifest.version);
        return false;
    }
    QString stagedUpdater;
    if (!stageUpdaterFiles(updaterPath, workspace, stagedUpdater, errorText))
        return false;

    const QStringList arguments = updaterArguments(context, archivePath, launchArguments);
    showStatus(QStringLiteral("Applying client update..."),
        QStringLiteral("The installer will restart automatically when version %1 is ready.")
            .arg(printableName(manifest.version)));
    // Recorded as failed until the helper has the new directory in place: a helper that fails, is
    // killed or loses power can record nothing itself.
    recordFailedUpdate(context.programDirectory, manifest.version);
    if (!QProcess::startDetached(stagedUpdater, arguments, workspace)) {
        clearFailedUpdate(context.programDirectory);
        errorText = QStringLiteral("Failed to launch the updater helper from %1").arg(stagedUpdater);
        return false;
    }
    return true;
}

} // namespace vexa
