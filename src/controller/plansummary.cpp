#include "controller/plansummary.h"

#include "engine/archiveacquisition.h"
#include "engine/lockdocument.h"

#include <QLocale>

#include <algorithm>

namespace vexa {

namespace {

// The only change is rewriting the manifests of a root that already holds what it should.
bool isRepairOnly(const ChangePlan &plan)
{
    return plan.repairManifests && plan.installOrder.isEmpty() && plan.removeOrder.isEmpty();
}

} // namespace

QString formatByteSize(qint64 bytes)
{
    if (bytes <= 0)
        return QStringLiteral("0 B");

    static const char *const units[] = { "B", "KB", "MB", "GB", "TB" };
    constexpr int lastUnit = 4;
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024.0 && unit < lastUnit) {
        value *= 0.0009765625;
        ++unit;
    }

    int decimals = 0;
    if (unit > 0)
        decimals = value >= 100.0 ? 0 : (value >= 10.0 ? 1 : 2);
    return QStringLiteral("%1 %2").arg(QLocale().toString(value, 'f', decimals), QLatin1String(units[unit]));
}

int freshInstallCount(const ChangePlan &plan)
{
    return static_cast<int>(std::max<qsizetype>(0, plan.toInstall.size() - plan.toUpgrade.size()));
}

QString planSummaryText(const PackageCatalog &catalog, const QString &repositoryBase,
    const InstalledState &installedState, const ChangePlan &plan, const QStringList &warnings,
    const QString &rootPath)
{
    // The install order's packages are looked up once for the sizes and the two lists below.
    QList<const PackageDefinition *> installs;
    installs.reserve(plan.installOrder.size());
    qint64 payloadSize = 0;
    qint64 downloadSize = 0;
    for (const QString &id : std::as_const(plan.installOrder)) {
        const PackageDefinition *package = catalog.findPackage(id);
        installs.append(package);
        if (!package || package->size_bytes < 1)
            continue;
        payloadSize += package->size_bytes;
        if (downloadsArchive(*package, repositoryBase))
            downloadSize += package->size_bytes;
    }
    const QByteArray lockDocument = buildPlanLockDocument(catalog, plan);

    // One text grown line by line: a plan of thousands of packages would otherwise cost a string
    // per line and another to join them.
    QString text;
    text.reserve(1024 + lockDocument.size() + 32 * (installs.size() + plan.removeOrder.size()));
    const auto line = [&text](QStringView content) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += content;
    };
    const auto packageLine = [&text](QLatin1String marker, const PackageDefinition &package) {
        text += QLatin1Char('\n');
        text += marker;
        text += displayLabel(package);
    };

    line(QStringLiteral("Install root: %1").arg(rootPath.isEmpty() ? QStringLiteral("<not set>") : rootPath));
    line(QStringLiteral("Installed packages detected: %1").arg(installedState.installed.size()));
    line(QStringLiteral("Install payload size: %1").arg(formatByteSize(payloadSize)));
    if (downloadSize > 0)
        line(QStringLiteral("Download size: %1").arg(formatByteSize(downloadSize)));
    line(QString());

    if (plan.toUpgrade.isEmpty()) {
        line(u"Upgrade: none");
    } else {
        line(u"Upgrade:");
        for (qsizetype i = 0; i < installs.size(); ++i) {
            if (installs.at(i) && plan.toUpgrade.contains(plan.installOrder.at(i)))
                packageLine(QLatin1String("  ~ "), *installs.at(i));
        }
    }

    if (plan.toUpgrade.size() == plan.installOrder.size()) {
        line(u"Install: none");
    } else {
        line(u"Install:");
        for (qsizetype i = 0; i < installs.size(); ++i) {
            if (installs.at(i) && !plan.toUpgrade.contains(plan.installOrder.at(i)))
                packageLine(QLatin1String("  + "), *installs.at(i));
        }
    }

    if (plan.removeOrder.isEmpty()) {
        line(u"Remove: none");
    } else {
        line(u"Remove:");
        for (const QString &id : std::as_const(plan.removeOrder)) {
            if (const PackageDefinition *package = catalog.findPackage(id))
                packageLine(QLatin1String("  - "), *package);
        }
    }

    line(plan.repairManifests ? u"Repair: rewrite Vexa manifest metadata" : u"Repair: none");

    if (!warnings.isEmpty()) {
        line(QString());
        line(u"Warnings:");
        for (const QString &warning : std::as_const(warnings))
            line(QStringLiteral("  ! %1").arg(warning));
    }

    line(QString());
    line(u"vexa.lock.json:");
    line(QString::fromUtf8(lockDocument).trimmed());

    line(QString());
    if (!planHasChanges(plan))
        line(u"No changes to apply.");
    else if (isRepairOnly(plan))
        line(u"Applying changes will repair the Vexa manifest metadata for this root.");
    else
        line(u"Applying changes updates VEXA_ROOT for future shells and rewrites the Vexa manifest.");
    return text;
}

QString planStatusText(const ChangePlan &plan)
{
    if (isRepairOnly(plan))
        return QStringLiteral("Ready to repair Vexa manifest metadata.");
    if (planHasChanges(plan))
        return QStringLiteral("Ready to apply %1 install(s), %2 upgrade(s), and %3 removal(s).")
            .arg(freshInstallCount(plan))
            .arg(plan.toUpgrade.size())
            .arg(plan.toRemove.size());
    return QStringLiteral("No pending changes.");
}

} // namespace vexa
