#include "controller/applyjob.h"

#include "engine/applytransaction.h"

namespace vexa {

bool ApplyJob::run(QString &errorText, const ApplyProgressCallback &progress) const
{
    return applyPlan(catalog, repositoryBase, root, plan, errorText, progress);
}

} // namespace vexa
