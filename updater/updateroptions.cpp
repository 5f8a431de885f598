#include "updater/updateroptions.h"

#include "release/updatecommandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>

namespace vexa {

namespace {

QString cleanedPath(const QCommandLineParser &parser, const QString &option)
{
    return QDir::cleanPath(parser.value(option).trimmed());
}

} // namespace

bool UpdaterOptions::isComplete() const
{
    return !installDirectory.isEmpty() && !archivePath.isEmpty() && !relaunchExecutable.isEmpty();
}

void configureUpdaterParser(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Applies Vexa Installer client updates."));
    parser.addHelpOption();
    parser.addOptions({
        { InstallDirOption, QStringLiteral("Directory that should receive the updated client bundle."),
            QStringLiteral("directory") },
        { ArchiveOption, QStringLiteral("Downloaded client archive to apply."), QStringLiteral("zip") },
        { RelaunchExeOption, QStringLiteral("Installer executable to relaunch after update."),
            QStringLiteral("path") },
        { WaitPidOption, QStringLiteral("Running installer process id to wait for before updating."),
            QStringLiteral("pid") },
        { RelaunchArgOption, QStringLiteral("Argument to pass back to the relaunched installer."),
            QStringLiteral("arg") },
    });
}

UpdaterOptions readUpdaterOptions(const QCommandLineParser &parser)
{
    UpdaterOptions options;
    options.installDirectory = cleanedPath(parser, InstallDirOption);
    options.archivePath = cleanedPath(parser, ArchiveOption);
    options.relaunchExecutable = cleanedPath(parser, RelaunchExeOption);
    options.waitProcessId = parser.value(WaitPidOption).trimmed().toLongLong();
    options.relaunchArguments = parser.values(RelaunchArgOption);
    // The relaunched installer must not find the update it was just given and start over.
    const QString skipSelfUpdate = commandLineOption(SkipSelfUpdateOption);
    if (!options.relaunchArguments.contains(skipSelfUpdate))
        options.relaunchArguments.prepend(skipSelfUpdate);
    return options;
}

} // namespace vexa
