#pragma once

#include "catalog/packagecatalog.h"
#include "engine/installedstate.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

namespace vexa {

// What an apply must do to a root: the set it holds afterwards and the ordered work to get there.
// A value: recomputed from scratch, copied to the apply worker.
struct ChangePlan
{
    // Copied from the inspected state.
    QSet<QString> current;
    QSet<QString> installed;
    // Dependency closure of the selection: what the root holds after the apply. May hold ids the
    // catalog does not know; the apply skips them.
    QSet<QString> target;
    // `target` minus `current`, so every upgrade is in here too.
    QSet<QString> toInstall;
    // `installed` minus `target`.
    QSet<QString> toRemove;
    // Stale packages that stay in `target`.
    QSet<QString> toUpgrade;
    // Recorded owned paths for removals and upgrades.
    QMap<QString, InstalledPackageRecord> installedRecords;
    // Dependencies before dependents.
    QStringList installOrder;
    // Dependents before their dependencies.
    QStringList removeOrder;
    QStringList upgradeOrder;
    bool repairManifests = false;
};

// The plan for holding `selection` (plus its dependencies) in a root in `state`. Selection problems
// ("Unknown package referenced: %1", "%1 depends on missing catalog entry %2.") are appended to
// `warnings` when it is given.
ChangePlan computePlan(const PackageCatalog &catalog, const InstalledState &state,
    const QSet<QString> &selection, QStringList *warnings = nullptr);

// The selection to start from after a refresh: what the root holds, or the catalog's default-selected
// packages when it holds nothing; with dependencies either way.
QSet<QString> initialSelection(const PackageCatalog &catalog, const InstalledState &state);

// The word shown for each catalog package under the plan, indexed by catalog position: "Upgrade" for
// an upgrade, else "Install", "Remove" or "Keep" as the plan installs, removes or keeps it, else
// "Skip". One pass over the plan's sets rather than four lookups per package.
QStringList actionNamesByPosition(const PackageCatalog &catalog, const ChangePlan &plan);

// True when applying the plan would change the root (installs, upgrades, removals or a manifest repair).
bool planHasChanges(const ChangePlan &plan);

} // namespace vexa
