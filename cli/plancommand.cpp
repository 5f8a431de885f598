#include "cli/commonoptions.h"
#include "cli/console.h"
#include "cli/exitcode.h"
#include "cli/plandocument.h"
#include "cli/rootcommands.h"
#include "cli/rootsession.h"
#include "cli/selectionoptions.h"

#include <QCommandLineParser>

namespace vexa {

namespace {

const QString ExitCodeOption = QStringLiteral("exit-code");

int runPlan(const CommandInvocation &invocation)
{
    const QString name = QStringLiteral("plan");
    RootSession opened;
    if (const int exitCode = openRootSession(invocation, name, opened); exitCode != ExitSuccess)
        return exitCode;
    InstallSession &session = *opened.session;
    QString errorText;
    if (!planSelectionOptions(invocation.parser, session, errorText))
        return reportUsageError(invocation.console, name, errorText);

    Console &console = invocation.console;
    if (console.jsonOutput()) {
        console.printDocument(planDocument(session, opened.root));
    } else {
        console.print(session.summaryText(opened.root));
        console.print(session.statusText());
    }
    return invocation.parser.isSet(ExitCodeOption) && session.hasChanges() ? ExitChanges : ExitSuccess;
}

} // namespace

Command planCommand()
{
    Command command;
    command.name = QStringLiteral("plan");
    command.synopsis
        = QStringLiteral("plan [--select ID,...] [--add ID,...] [--remove ID,...] [--json] [--exit-code]");
    command.summary = QStringLiteral("Show what an apply would change, without changing anything.");
    command.description = QStringLiteral(
        "Plans the selection as the installer's window does: starting from what the root holds (or, for an "
        "empty root, the catalog's default packages), edited by --select, --add and --remove, with every "
        "dependency. Shows the window's summary, with the vexa.lock.json text, and its status line.");
    command.options = catalogAndRootOptions() + selectionOptions()
        << jsonOption()
        << QCommandLineOption(ExitCodeOption, QStringLiteral("Exit with 2 when the plan changes the root."));
    command.run = runPlan;
    return command;
}

} // namespace vexa
