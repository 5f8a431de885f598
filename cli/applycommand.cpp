#include "cli/applyprogressdisplay.h"
#include "cli/commonoptions.h"
#include "cli/console.h"
#include "cli/exitcode.h"
#include "cli/plandocument.h"
#include "cli/rootcommands.h"
#include "cli/rootsession.h"
#include "cli/selectionoptions.h"
#include "platform/terminal.h"

#include <QCommandLineParser>
#include <QJsonObject>
#include <QTextStream>

namespace vexa {

namespace {

const QString YesOption = QStringLiteral("yes");

// Asks the removal question on the terminal; only an answer of y or yes goes on.
bool confirmOnTerminal(const Console &console, const QString &question)
{
    console.prompt(question + QStringLiteral(" [y/N] "));
    QTextStream input(stdin);
    const QString answer = input.readLine().trimmed().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes");
}

int runApply(const CommandInvocation &invocation)
{
    const QString name = QStringLiteral("apply");
    RootSession opened;
    if (const int exitCode = openRootSession(invocation, name, opened); exitCode != ExitSuccess)
        return exitCode;
    InstallSession &session = *opened.session;
    Console &console = invocation.console;
    QString errorText;
    if (!planSelectionOptions(invocation.parser, session, errorText))
        return reportUsageError(console, name, errorText);

    // The plan as a document only for --json: without it the summary is printed as text.
    QJsonObject document = console.jsonOutput() ? planDocument(session, opened.root) : QJsonObject();
    const auto finish = [&](bool applied, const QString &error, int exitCode) {
        document.insert(QStringLiteral("applied"), applied);
        if (!error.isEmpty())
            document.insert(QStringLiteral("error"), error);
        if (console.jsonOutput())
            console.printDocument(document);
        return exitCode;
    };
    if (!session.hasChanges()) {
        console.print(session.statusText());
        return finish(false, QString(), ExitSuccess);
    }
    if (!console.jsonOutput())
        console.print(session.summaryText(opened.root));

    // The window's question before an apply that removes packages.
    const QString question = session.removalConfirmationText();
    if (!question.isEmpty() && !invocation.parser.isSet(YesOption)) {
        const bool canAsk = isTerminal(StandardStream::Input) && isTerminal(StandardStream::Error);
        if (!canAsk) {
            const QString refusal = QStringLiteral(
                "The plan removes %1 package(s) and nobody is here to confirm it; nothing was changed. Run "
                "again with --yes to allow the removals.")
                                        .arg(session.plan().removeOrder.size());
            console.message(refusal);
            return finish(false, refusal, ExitRefused);
        }
        if (!confirmOnTerminal(console, question)) {
            const QString declined = QStringLiteral("Nothing was changed.");
            console.message(declined);
            return finish(false, declined, ExitRefused);
        }
    }

    console.message(QStringLiteral("Applying changes..."));
    ApplyProgressDisplay display(console, isTerminal(StandardStream::Error));
    const bool applied = session.applyJob(opened.root).run(errorText, display.callback());
    display.finish();
    if (!applied) {
        console.message(QStringLiteral("Apply failed."));
        console.message(errorText);
        return finish(false, errorText, ExitFailure);
    }
    console.print(QStringLiteral(
        "Changes applied successfully. Restart terminals and VS Code so VEXA_ROOT is refreshed."));
    return finish(true, QString(), ExitSuccess);
}

} // namespace

Command applyCommand()
{
    Command command;
    command.name = QStringLiteral("apply");
    command.synopsis
        = QStringLiteral("apply [--select ID,...] [--add ID,...] [--remove ID,...] [--yes] [--json]");
    command.summary = QStringLiteral("Change the root to hold the selection: remove, upgrade, install.");
    command.description = QStringLiteral(
        "Plans the selection as \"vexa plan\" does and carries the plan out with the installer's own apply "
        "transaction, which also publishes VEXA_ROOT (unless VEXA_SKIP_ENV_UPDATE is set).\n\n"
        "A plan that removes packages asks first on a terminal, as the window does. Without a terminal it "
        "needs --yes: otherwise nothing is changed and the exit code is 3. Installs and upgrades alone "
        "need no confirmation.\n\n"
        "Progress goes to standard error: on a terminal one live line per download (bytes, rate, time "
        "left), elsewhere a line at the start of each step, every 10% of a download and at its end.");
    command.options = catalogAndRootOptions() + selectionOptions()
        << QCommandLineOption(YesOption, QStringLiteral("Apply without asking, removals included."))
        << jsonOption();
    command.run = runApply;
    return command;
}

} // namespace vexa
