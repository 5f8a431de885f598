#include "engine/lockdocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

namespace vexa {

QString lockRootPolicyName(LockRootPolicy policy)
{
    switch (policy) {
    case LockRootPolicy::Isolated:
        return QStringLiteral("isolated");
    case LockRootPolicy::Shared:
        break;
    }
    return QStringLiteral("shared");
}

QByteArray buildLockDocument(
    LockRootPolicy policy, const QSet<QString> &packageIds, const QStringList &orderedIds)
{
    // The set's extra ids are sorted in both cases so the same input always gives the same text;
    // hash-set iteration order would otherwise change the document between runs.
    QStringList extras(packageIds.cbegin(), packageIds.cend());
    extras.sort(Qt::CaseSensitive);

    QStringList candidates = orderedIds;
    candidates += extras;

    QJsonArray packages;
    QSet<QString> listed;
    for (const QString &id : std::as_const(candidates)) {
        if (listed.contains(id))
            continue;
        listed.insert(id);
        packages.append(id);
    }

    QJsonObject document;
    document.insert(QStringLiteral("schema_version"), 1);
    document.insert(QStringLiteral("root_policy"), lockRootPolicyName(policy));
    document.insert(QStringLiteral("packages"), packages);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

QByteArray buildPlanLockDocument(const PackageCatalog &catalog, const ChangePlan &plan)
{
    QStringList ordered;
    QSet<QString> ids;
    const QStringList targetOrder = catalog.topologicalOrder(plan.target);
    for (const QString &id : targetOrder) {
        if (!catalog.contains(id) || isSupportPackage(id))
            continue;
        ordered.append(id);
        ids.insert(id);
    }
    return buildLockDocument(LockRootPolicy::Shared, ids, ordered);
}

} // namespace vexa
