#include "controller/plansummary.h"

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

bool willDownload(const PackageDefinition &package, const QString &repositoryBase)
{
    if (!package.payload_url.trimmed().isEmpty())
        return true;
    if (package.payload_archive.trimmed().isEmpty())
        return false;
    const QString base = repositoryBase.trimmed();
    return base.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || base.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

int freshInstallCount(const ChangePlan &plan)
{
    return static_cast<int>(std::max<qsizetype>(0, plan.toInstall.size() - plan.toUpgrade.size()));
}

QString planSummaryText(const PackageCatalog &catalog, const QString &repositoryBase,
    const InstalledState &installedState, const ChangePlan &plan, const QStringList &warnings,
    const QString &rootPath)
{
    qint64 payloadSize = 0;
    qint64 downloadSize = 0;
    for (const QString &id : std::as_const(plan.installOrder)) {
        const PackageDefinition *package = catalog.findPackage(id);
        if (!package || package->size_bytes < 1)
            continue;
        payloadSize += package->size_bytes;
        if (willDownload(*package, repositoryBase))
            downloadSize += package->size_bytes;
    }

    QStringList lines;
    lines << QStringLiteral("Install root: %1")
                 .arg(rootPath.isEmpty() ? QStringLiteral("<not set>") : rootPath);
    lines << QStringLiteral("Installed packages detected: %1").arg(installedState.installed.size());
    lines << QStringLiteral("Install payload size: %1").arg(formatByteSize(payloadSize));
    if (downloadSize > 0)
        lines << QStringLiteral("Download size: %1").arg(formatByteSize(downloadSize));
    lines << QString();

    if (plan.toUpgrade.isEmpty()) {
        lines << QStringLiteral("Upgrade: none");
    } else {
        lines << QStringLiteral("Upgrade:");
        for (const QString &id : std::as_const(plan.installOrder)) {
            const PackageDefinition *package = catalog.findPackage(id);
            if (package && plan.toUpgrade.contains(id))
                lines << QStringLiteral("  ~ %1").arg(displayLabel(*package));
        }
    }

    if (plan.toUpgrade.size() == plan.installOrder.size()) {
        lines << QStringLiteral("Install: none");
    } else {
        lines << QStringLiteral("Install:");
        for (const QString &id : std::as_const(plan.installOrder)) {
            const PackageDefinition *package = catalog.findPackage(id);
            if (package && !plan.toUpgrade.contains(id))
                lines << QStringLiteral("  + %1").arg(displayLabel(*package));
        }
    }

    if (plan.removeOrder.isEmpty()) {
        lines << QStringLiteral("Remove: none");
    } else {
        lines << QStringLiteral("Remove:");
        for (const QString &id : std::as_const(plan.removeOrder)) {
            if (const PackageDefinition *package = catalog.findPackage(id))
                lines << QStringLiteral("  - %1").arg(displayLabel(*package));
        }
    }

    lines << (plan.repairManifests ? QStringLiteral("Repair: rewrite Vexa manifest metadata")
                                   : QStringLiteral("Repair: none"));

    if (!warnings.isEmpty()) {
        lines << QString() << QStringLiteral("Warnings:");
        for (const QString &warning : std::as_const(warnings))
            lines << QStringLiteral("  ! %1").arg(warning);
    }

    const QByteArray lockDocument = buildPlanLockDocument(catalog, plan);
    lines << QString() << QStringLiteral("vexa.lock.json:") << QString::fromUtf8(lockDocument).trimmed();

    lines << QString();
    if (!planHasChanges(plan))
        lines << QStringLiteral("No changes to apply.");
    else if (isRepairOnly(plan))
        lines << QStringLiteral("Applying changes will repair the Vexa manifest metadata for this root.");
    else
        lines << QStringLiteral(
            "Applying changes updates VEXA_ROOT for future shells and rewrites the Vexa manifest.");
    return lines.join(QLatin1Char('\n'));
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
