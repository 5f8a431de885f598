#include "archive/printabletext.h"
#include "cli/commonoptions.h"
#include "cli/console.h"
#include "cli/exitcode.h"
#include "cli/rootcommands.h"
#include "cli/rootsession.h"
#include "engine/packageverification.h"

#include <QJsonArray>
#include <QJsonObject>

namespace vexa {

namespace {

int runVerify(const CommandInvocation &invocation)
{
    RootSession opened;
    if (const int exitCode = openRootSession(invocation, QStringLiteral("verify"), opened);
        exitCode != ExitSuccess)
        return exitCode;
    const QList<RecordedPackageCheck> checks = checkRecordedPackages(opened.session->catalog(), opened.root);

    Console &console = invocation.console;
    QJsonArray packages;
    int broken = 0;
    for (const RecordedPackageCheck &check : checks) {
        broken += check.isWhole() ? 0 : 1;
        if (console.jsonOutput()) {
            QJsonObject package { { QStringLiteral("package_id"), check.packageId },
                { QStringLiteral("label"), check.label }, { QStringLiteral("ok"), check.isWhole() },
                { QStringLiteral("missing_files"), QJsonArray::fromStringList(check.missingFiles) } };
            if (!check.supportVersionAgrees)
                package.insert(QStringLiteral("support_version_found"), check.supportVersionFound);
            packages.append(package);
            continue;
        }
        if (check.isWhole()) {
            console.print(QStringLiteral("ok       %1").arg(printableName(check.label)));
            continue;
        }
        QString problem;
        if (!check.missingFiles.isEmpty())
            problem
                = QStringLiteral("Required files are missing: %1").arg(printableNames(check.missingFiles));
        if (!check.supportVersionAgrees) {
            problem += (problem.isEmpty() ? QString() : QStringLiteral(" "))
                + QStringLiteral("The support version marker reports iv%1.").arg(check.supportVersionFound);
        }
        console.print(QStringLiteral("BROKEN   %1: %2").arg(printableName(check.label), problem));
    }
    if (console.jsonOutput()) {
        console.printDocument({ { QStringLiteral("root"), opened.root },
            { QStringLiteral("ok"), broken == 0 }, { QStringLiteral("packages"), packages } });
    } else {
        console.print(broken == 0
                ? QStringLiteral("%1 recorded packages verified in %2.")
                      .arg(QString::number(checks.size()), opened.root)
                : QStringLiteral("%1 of %2 recorded packages are missing files in %3.")
                      .arg(QString::number(broken), QString::number(checks.size()), opened.root));
    }
    return broken == 0 ? ExitSuccess : ExitFailure;
}

} // namespace

Command verifyCommand()
{
    Command command;
    command.name = QStringLiteral("verify");
    command.synopsis = QStringLiteral("verify [--json]");
    command.summary = QStringLiteral("Check that every recorded package's required files are in the root.");
    command.description = QStringLiteral(
        "Checks every package the root's manifest/state.json records: its marker files (and, for the CMake "
        "support package, its toolchain files and version marker) must be inside the root, not reached "
        "through a link that leads out of it. Exits with 1 when anything is missing, naming it.");
    command.options = catalogAndRootOptions() << jsonOption();
    command.run = runVerify;
    return command;
}

} // namespace vexa
