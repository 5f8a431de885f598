#pragma once

#include "catalog/packagecatalog.h"
#include "engine/changeplan.h"
#include "engine/installedstate.h"

#include <QString>
#include <QStringList>

namespace vexa {

// "512 B", "1.50 KB", "15.0 MB", "250 GB": steps of 1024, up to TB, formatted by the default QLocale.
QString formatByteSize(qint64 bytes);

// The plan's installs that are not upgrades, never below 0.
int freshInstallCount(const ChangePlan &plan);

// What applying `plan` would do to the root at `rootPath` (cleaned by the caller; empty reads
// "<not set>"): sizes, upgrades, installs, removals, repair, the planner's warnings, the lock text of
// the target and a closing sentence, one item per line.
QString planSummaryText(const PackageCatalog &catalog, const QString &repositoryBase,
    const InstalledState &installedState, const ChangePlan &plan, const QStringList &warnings,
    const QString &rootPath);

// The one-line verdict on the plan that the status line rests on.
QString planStatusText(const ChangePlan &plan);

} // namespace vexa
