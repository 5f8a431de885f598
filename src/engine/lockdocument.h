#pragma once

#include "catalog/packagecatalog.h"
#include "engine/changeplan.h"

#include <QByteArray>

namespace vexa {

// The indented UTF-8 text of the vexa.lock.json document the summary shows for a plan: its target in
// dependency order with the support package and ids the catalog does not know left out, root policy
// "shared", keys sorted and escaped as Qt's JSON writer does.
QByteArray buildPlanLockDocument(const PackageCatalog &catalog, const ChangePlan &plan);

} // namespace vexa
