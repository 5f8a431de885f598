#pragma once

#include "catalog/packagecatalog.h"
#include "engine/changeplan.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

namespace vexa {

enum class LockRootPolicy {
    Shared,
    Isolated,
};

// "shared" or "isolated".
QString lockRootPolicyName(LockRootPolicy policy);

// The indented UTF-8 text of a vexa.lock.json document. The packages are `orderedIds` followed by the
// members of `packageIds` not yet listed (sorted); when `orderedIds` is empty, the set's ids sorted.
// Duplicates keep their first place.
QByteArray buildLockDocument(
    LockRootPolicy policy, const QSet<QString> &packageIds, const QStringList &orderedIds);

// The lock document the summary shows for a plan: its target in dependency order with the support
// package and ids the catalog does not know left out, root policy shared.
QByteArray buildPlanLockDocument(const PackageCatalog &catalog, const ChangePlan &plan);

} // namespace vexa
