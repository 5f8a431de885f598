#include "cli/commonoptions.h"
#include "cli/console.h"
#include "cli/exitcode.h"
#include "cli/rootcommands.h"
#include "controller/plansummary.h"
#include "engine/archivecache.h"

#include <QCommandLineParser>
#include <QJsonObject>

namespace vexa {

namespace {

QJsonObject contentsDocument(const QString &directory, const ArchiveCacheContents &contents)
{
    return { { QStringLiteral("directory"), directory }, { QStringLiteral("archives"), contents.archives },
        { QStringLiteral("archive_bytes"), contents.archiveBytes },
        { QStringLiteral("parts"), contents.parts }, { QStringLiteral("part_bytes"), contents.partBytes } };
}

int runCache(const CommandInvocation &invocation)
{
    const QString name = QStringLiteral("cache");
    Console &console = invocation.console;
    const QStringList words = invocation.parser.positionalArguments();
    const bool clean = words == QStringList { QStringLiteral("clean") };
    if (!words.isEmpty() && !clean)
        return reportUsageError(console, name, QStringLiteral("the only action is \"clean\"."));

    const QString directory = archiveCacheDirectory();
    if (directory.isEmpty()) {
        console.message(QStringLiteral("This system has no cache location for the archive cache."));
        return ExitFailure;
    }
    if (!clean) {
        const ArchiveCacheContents contents = archiveCacheContents(directory);
        if (console.jsonOutput()) {
            console.printDocument(contentsDocument(directory, contents));
            return ExitSuccess;
        }
        console.print(QStringLiteral("Archive cache: %1").arg(directory));
        console.print(QStringLiteral("  %1 archives, %2")
                          .arg(QString::number(contents.archives), formatByteSize(contents.archiveBytes)));
        console.print(QStringLiteral("  %1 unfinished downloads, %2")
                          .arg(QString::number(contents.parts), formatByteSize(contents.partBytes)));
        return ExitSuccess;
    }

    ArchiveCacheContents removed;
    int inUse = 0;
    QString errorText;
    const bool emptied = emptyArchiveCache(directory, removed, inUse, errorText);
    if (console.jsonOutput()) {
        QJsonObject document = contentsDocument(directory, removed);
        document.insert(QStringLiteral("in_use"), inUse);
        if (!emptied)
            document.insert(QStringLiteral("error"), errorText);
        console.printDocument(document);
    }
    if (!emptied) {
        console.message(errorText);
        return ExitFailure;
    }
    console.print(QStringLiteral("Removed %1 archives (%2) and %3 unfinished downloads from %4.")
                      .arg(QString::number(removed.archives), formatByteSize(removed.archiveBytes),
                          QString::number(removed.parts), directory));
    if (inUse > 0)
        console.print(QStringLiteral("%1 archives are being downloaded by a running installer and were left "
                                     "alone.")
                          .arg(inUse));
    return ExitSuccess;
}

} // namespace

Command cacheCommand()
{
    Command command;
    command.name = QStringLiteral("cache");
    command.synopsis = QStringLiteral("cache [clean] [--json]");
    command.summary = QStringLiteral("Show or empty the archive cache.");
    command.description = QStringLiteral(
        "Shows where the archive cache is and what it holds: archives kept between applies and downloads "
        "that stopped and will be continued. \"vexa cache clean\" deletes them; an archive that a running "
        "installer is downloading is left alone. Other files in the folder are never touched.");
    command.options = { jsonOption() };
    command.run = runCache;
    return command;
}

} // namespace vexa
