#include "archive/printabletext.h"
#include "cli/commonoptions.h"
#include "cli/console.h"
#include "cli/exitcode.h"
#include "cli/rootcommands.h"
#include "cli/rootsession.h"
#include "engine/packagesinprogress.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace vexa {

namespace {

QStringList sortedIds(const QSet<QString> &ids)
{
    QStringList list(ids.cbegin(), ids.cend());
    std::sort(list.begin(), list.end());
    return list;
}

int runStatus(const CommandInvocation &invocation)
{
    RootSession opened;
    if (const int exitCode = openRootSession(invocation, QStringLiteral("status"), opened);
        exitCode != ExitSuccess)
        return exitCode;
    const InstallSession &session = *opened.session;
    const InstalledState &state = session.installedState();
    const PackagesInProgress inProgress = readPackagesInProgress(opened.root);
    const QStringList inProgressIds = sortedIds(inProgress.ids);

    // Installed packages in catalog order, which is the order the window lists them in.
    QJsonArray installed;
    QStringList installedLines;
    for (const PackageDefinition &package : session.catalog().packages()) {
        if (!state.installed.contains(package.package_id))
            continue;
        const bool stale = state.stale.contains(package.package_id);
        installed.append(QJsonObject { { QStringLiteral("package_id"), package.package_id },
            { QStringLiteral("display_name"), package.display_name },
            { QStringLiteral("version"), package.version },
            { QStringLiteral("internal_version"), package.internal_version_code },
            { QStringLiteral("status"), stale ? QStringLiteral("stale") : QStringLiteral("installed") } });
        installedLines.append(
            QStringLiteral("  %1 %2  %3")
                .arg(stale ? QStringLiteral("stale    ") : QStringLiteral("installed"),
                    printableName(displayLabel(package)), printableName(package.package_id)));
    }

    Console &console = invocation.console;
    if (console.jsonOutput()) {
        console.printDocument({ { QStringLiteral("root"), opened.root },
            { QStringLiteral("installed"), installed },
            { QStringLiteral("stale"), QJsonArray::fromStringList(sortedIds(state.stale)) },
            { QStringLiteral("in_progress"), QJsonArray::fromStringList(inProgressIds) },
            { QStringLiteral("in_progress_unreadable"), inProgress.unreadable },
            { QStringLiteral("needs_repair"), state.needsRepair },
            { QStringLiteral("unknown_content"), state.hasInstalledContent && state.installed.isEmpty() } });
        return ExitSuccess;
    }
    console.print(QStringLiteral("Vexa root: %1").arg(opened.root));
    console.print(QStringLiteral("Installed packages: %1 (%2 stale)")
                      .arg(QString::number(state.installed.size()), QString::number(state.stale.size())));
    for (const QString &line : std::as_const(installedLines))
        console.print(line);
    if (inProgress.unreadable)
        console.print(QStringLiteral("An interrupted apply left a record that cannot be read; every package "
                                     "counts as changed by it."));
    else if (!inProgressIds.isEmpty())
        console.print(
            QStringLiteral("Left unfinished by an interrupted apply: %1").arg(printableNames(inProgressIds)));
    if (state.hasInstalledContent && state.installed.isEmpty())
        console.print(QStringLiteral("The root holds packages this catalog does not know."));
    console.print(state.needsRepair ? QStringLiteral("Manifests: need repair")
                                    : QStringLiteral("Manifests: up to date"));
    return ExitSuccess;
}

} // namespace

Command statusCommand()
{
    Command command;
    command.name = QStringLiteral("status");
    command.synopsis = QStringLiteral("status [--json]");
    command.summary = QStringLiteral("Show what the root holds and what needs attention.");
    command.description = QStringLiteral(
        "Shows the packages the root holds, which of them are stale, the packages an interrupted apply "
        "left unfinished (the next apply reinstalls or removes them) and whether the root's manifest files "
        "need repair.");
    command.options = catalogAndRootOptions() << jsonOption();
    command.run = runStatus;
    return command;
}

} // namespace vexa
