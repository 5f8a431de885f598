#include "archive/printabletext.h"
#include "cli/commonoptions.h"
#include "cli/console.h"
#include "cli/exitcode.h"
#include "cli/rootcommands.h"
#include "cli/rootsession.h"
#include "controller/packageentries.h"

#include <QJsonArray>
#include <QJsonObject>

namespace vexa {

namespace {

// "installed", "stale" or "available": what the root holds of the package.
QString rootStatus(const InstalledState &state, const QString &packageId)
{
    if (state.stale.contains(packageId))
        return QStringLiteral("stale");
    if (state.current.contains(packageId))
        return QStringLiteral("installed");
    return QStringLiteral("available");
}

int runList(const CommandInvocation &invocation)
{
    RootSession opened;
    if (const int exitCode = openRootSession(invocation, QStringLiteral("list"), opened);
        exitCode != ExitSuccess)
        return exitCode;
    InstallSession &session = *opened.session;
    session.recomputePlan();

    // The window's rows: groups in catalog order, each package followed by its children.
    PackageRowBuilder builder(session.catalog());
    const QString noSearch;
    const QString noneActive;
    const QVariantList rows = builder.rows(
        { session.installedState(), session.plan(), session.selection(), noneActive, noSearch });

    Console &console = invocation.console;
    QJsonArray groups;
    QJsonArray packages;
    QString groupName;
    const auto closeGroup = [&] {
        if (!groupName.isNull())
            groups.append(QJsonObject {
                { QStringLiteral("name"), groupName }, { QStringLiteral("packages"), packages } });
        packages = QJsonArray();
    };
    for (const QVariant &value : rows) {
        const QVariantMap row = value.toMap();
        if (row.value(QStringLiteral("kind")).toString() == QLatin1String("group")) {
            closeGroup();
            groupName = row.value(QStringLiteral("groupName")).toString();
            if (!console.jsonOutput())
                console.print(printableName(groupName));
            continue;
        }
        const QString id = row.value(QStringLiteral("packageId")).toString();
        const PackageDefinition &package = *session.catalog().findPackage(id);
        const QString status = rootStatus(session.installedState(), id);
        const int depth = row.value(QStringLiteral("depth")).toInt();
        if (console.jsonOutput()) {
            packages.append(QJsonObject { { QStringLiteral("package_id"), id },
                { QStringLiteral("display_name"), package.display_name },
                { QStringLiteral("version"), package.version },
                { QStringLiteral("internal_version"), package.internal_version_code },
                { QStringLiteral("toolchain"), package.toolchain }, { QStringLiteral("status"), status },
                { QStringLiteral("depth"), depth } });
        } else {
            console.print(
                QStringLiteral("%1%2 %3  %4  %5  %6")
                    .arg(QString(2 + 2 * depth, QLatin1Char(' ')), status.leftJustified(9),
                        printableName(package.display_name), printableName(versionLabel(package)),
                        printableName(row.value(QStringLiteral("toolchain")).toString()), printableName(id)));
        }
    }
    closeGroup();
    if (console.jsonOutput())
        console.printDocument(
            { { QStringLiteral("root"), opened.root }, { QStringLiteral("groups"), groups } });
    return ExitSuccess;
}

} // namespace

Command listCommand()
{
    Command command;
    command.name = QStringLiteral("list");
    command.synopsis = QStringLiteral("list [--json]");
    command.summary = QStringLiteral("List the catalog's packages and what the root holds of them.");
    command.description = QStringLiteral(
        "Lists the catalog's packages grouped and ordered as the installer's window shows them, each with "
        "its version, internal version, toolchain and its status in the root: installed, stale (installed, "
        "an upgrade is due) or available.");
    command.options = catalogAndRootOptions() << jsonOption();
    command.run = runList;
    return command;
}

} // namespace vexa
