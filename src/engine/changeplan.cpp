#include "engine/changeplan.h"

#include <algorithm>

namespace vexa {

namespace {

QStringList reversed(QStringList list)
{
    std::reverse(list.begin(), list.end());
    return list;
}

} // namespace

ChangePlan computePlan(const PackageCatalog &catalog, const InstalledState &state,
    const QSet<QString> &selection, QStringList *warnings)
{
    ChangePlan plan;
    plan.current = state.current;
    plan.installed = state.installed;
    plan.installedRecords = state.records;

    plan.target = catalog.dependencyClosure(selection, warnings);
    plan.toInstall = plan.target - plan.current;
    plan.toRemove = plan.installed - plan.target;
    if (!state.stale.isEmpty() && !plan.target.isEmpty())
        plan.toUpgrade = state.stale & plan.target;

    plan.installOrder = catalog.topologicalOrder(plan.toInstall);
    plan.removeOrder = reversed(catalog.topologicalOrder(plan.toRemove));
    plan.upgradeOrder = reversed(catalog.topologicalOrder(plan.toUpgrade));
    plan.repairManifests = state.needsRepair;
    return plan;
}

QSet<QString> initialSelection(const PackageCatalog &catalog, const InstalledState &state)
{
    if (state.hasInstalledContent)
        return catalog.dependencyClosure(state.installed);
    QSet<QString> defaults;
    for (const PackageDefinition &package : catalog.packages()) {
        if (package.default_selected)
            defaults.insert(package.package_id);
    }
    return catalog.dependencyClosure(defaults);
}

QString actionName(const ChangePlan &plan, const QString &packageId)
{
    if (plan.toUpgrade.contains(packageId))
        return QStringLiteral("Upgrade");
    if (plan.toInstall.contains(packageId))
        return QStringLiteral("Install");
    if (plan.toRemove.contains(packageId))
        return QStringLiteral("Remove");
    if (plan.target.contains(packageId))
        return QStringLiteral("Keep");
    return QStringLiteral("Skip");
}

bool planHasChanges(const ChangePlan &plan)
{
    return !plan.toInstall.isEmpty() || !plan.toRemove.isEmpty() || plan.repairManifests;
}

} // namespace vexa
