#include "engine/changeplan.h"

#include <algorithm>

namespace vexa {

namespace {

QStringList reversed(QStringList list)
{
    std::reverse(list.begin(), list.end());
    return list;
}

// `a` minus `b`, or `a` and `b` when `intersect` is set, over flags of the same catalog.
PackageFlags combined(const PackageFlags &a, const PackageFlags &b, bool intersect)
{
    PackageFlags result { QList<bool>(a.known.size(), false), {} };
    for (qsizetype position = 0; position < a.known.size(); ++position)
        result.known[position] = a.known.at(position) && b.known.at(position) == intersect;
    for (const QString &id : a.unknown) {
        if (b.unknown.contains(id) == intersect)
            result.unknown.insert(id);
    }
    return result;
}

} // namespace

ChangePlan computePlan(const PackageCatalog &catalog, const InstalledState &state,
    const QSet<QString> &selection, QStringList *warnings)
{
    ChangePlan plan;
    plan.current = state.current;
    plan.installed = state.installed;
    plan.installedRecords = state.records;

    // The set algebra runs on flags by catalog position: each id is hashed once on the way in and
    // once on the way out, which keeps a plan over tens of thousands of packages within a frame.
    PackageFlags target;
    plan.target = catalog.dependencyClosure(selection, warnings, &target);
    const PackageFlags installed = catalog.flagsOf(state.installed);
    const PackageFlags stale = catalog.flagsOf(state.stale);
    const PackageFlags toInstall = combined(target, catalog.flagsOf(state.current), false);
    const PackageFlags toRemove = combined(installed, target, false);
    const PackageFlags toUpgrade = combined(stale, target, true);
    plan.toInstall = catalog.idsOf(toInstall, plan.target, target);
    plan.toRemove = catalog.idsOf(toRemove, state.installed, installed);
    plan.toUpgrade = catalog.idsOf(toUpgrade, state.stale, stale);

    plan.installOrder = catalog.topologicalOrder(toInstall);
    plan.removeOrder = reversed(catalog.topologicalOrder(toRemove));
    plan.upgradeOrder = reversed(catalog.topologicalOrder(toUpgrade));
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

QStringList actionNamesByPosition(const PackageCatalog &catalog, const ChangePlan &plan)
{
    QStringList names(catalog.packages().size(), QStringLiteral("Skip"));
    // Marked from the weakest action to the strongest, so that an upgrade (also an install) reads as
    // one.
    const auto mark = [&](const QSet<QString> &ids, const QString &name) {
        for (const QString &id : ids) {
            const qsizetype position = catalog.positionOf(id);
            if (position >= 0)
                names[position] = name;
        }
    };
    mark(plan.target, QStringLiteral("Keep"));
    mark(plan.toRemove, QStringLiteral("Remove"));
    mark(plan.toInstall, QStringLiteral("Install"));
    mark(plan.toUpgrade, QStringLiteral("Upgrade"));
    return names;
}

bool planHasChanges(const ChangePlan &plan)
{
    return !plan.toInstall.isEmpty() || !plan.toRemove.isEmpty() || plan.repairManifests;
}

} // namespace vexa
