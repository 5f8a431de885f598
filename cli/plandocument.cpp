#include "cli/plandocument.h"

#include "controller/installsession.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace vexa {

QJsonObject planDocument(const InstallSession &session, const QString &root)
{
    const ChangePlan &plan = session.plan();
    // Upgrades are installs too; the document lists each under one name only.
    QStringList installs;
    for (const QString &id : plan.installOrder) {
        if (!plan.toUpgrade.contains(id))
            installs.append(id);
    }
    QStringList target(plan.target.cbegin(), plan.target.cend());
    std::sort(target.begin(), target.end());
    return QJsonObject {
        { QStringLiteral("root"), root },
        { QStringLiteral("has_changes"), session.hasChanges() },
        { QStringLiteral("install"), QJsonArray::fromStringList(installs) },
        { QStringLiteral("upgrade"), QJsonArray::fromStringList(plan.upgradeOrder) },
        { QStringLiteral("remove"), QJsonArray::fromStringList(plan.removeOrder) },
        { QStringLiteral("repair_manifests"), plan.repairManifests },
        { QStringLiteral("target"), QJsonArray::fromStringList(target) },
        { QStringLiteral("warnings"), QJsonArray::fromStringList(session.warnings()) },
        { QStringLiteral("status"), session.statusText() },
        { QStringLiteral("summary"), session.summaryText(root) },
        { QStringLiteral("lock"), QJsonDocument::fromJson(session.lockText()).object() },
    };
}

} // namespace vexa
