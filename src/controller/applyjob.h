#pragma once

#include "catalog/packagecatalog.h"
#include "engine/applyprogress.h"
#include "engine/changeplan.h"

#include <QString>

namespace vexa {

// One apply, as a value: copies of the catalog with its repository base, the root and the plan, so
// that it can run on a worker thread while its session goes on planning.
struct ApplyJob
{
    PackageCatalog catalog;
    QString repositoryBase;
    QString root;
    ChangePlan plan;

    // The apply transaction on these copies; false with its message.
    bool run(QString &errorText, const ApplyProgressCallback &progress) const;
};

} // namespace vexa
