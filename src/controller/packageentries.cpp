#include "controller/packageentries.h"

#include "controller/installercontroller.h"

#include <QHash>
#include <QSet>
#include <QVariantMap>

namespace vexa {

QString actionKey(const QString &action)
{
    if (action == QLatin1String("Upgrade"))
        return QStringLiteral("upgrade");
    if (action == QLatin1String("Install"))
        return QStringLiteral("install");
    if (action == QLatin1String("Remove"))
        return QStringLiteral("remove");
    if (action == QLatin1String("Keep"))
        return QStringLiteral("keep");
    return QStringLiteral("skip");
}

bool matchesSearch(const PackageDefinition &package, const QString &searchText)
{
    if (searchText.isEmpty())
        return true;
    // "toolchain code" lets "msvc2022 3" or "iv3" find builds by either.
    const QString haystack = QStringLiteral("%1 %2 %3 %4 %5")
                                 .arg(package.display_name, package.product, versionLabel(package),
                                     QStringLiteral("%1 %2").arg(
                                         package.toolchain, QString::number(package.internal_version_code)),
                                     package.description)
                                 .toLower();
    return haystack.contains(searchText.toLower());
}

void InstallerController::rebuildPackageEntries()
{
    const QList<PackageDefinition> &packages = m_catalog.packages();

    // A match brings its ancestors along so that it still shows inside its tree.
    QSet<QString> visible;
    for (const PackageDefinition &package : packages) {
        if (!matchesSearch(package, m_searchText))
            continue;
        QString id = package.package_id;
        while (!id.isEmpty() && !visible.contains(id)) {
            visible.insert(id);
            const PackageDefinition *current = m_catalog.findPackage(id);
            if (!current)
                break;
            id = current->parent_package_id;
        }
    }

    QHash<QString, QStringList> topLevelByGroup;
    QHash<QString, QStringList> childrenByParent;
    for (const PackageDefinition &package : packages) {
        if (!visible.contains(package.package_id))
            continue;
        const QString &parent = package.parent_package_id;
        if (parent.isEmpty() || !visible.contains(parent))
            topLevelByGroup[package.group].append(package.package_id);
        else
            childrenByParent[parent].append(package.package_id);
    }

    QVariantList rows;
    rows.reserve(visible.size() + m_catalog.groups().size());
    QSet<QString> emitted;
    emitted.reserve(visible.size());

    // Explicit stack instead of recursion: a deep parent chain cannot exhaust the call stack. Children
    // are pushed in reverse so they pop in catalog order, giving a depth-first pre-order.
    struct Pending
    {
        QString id;
        int depth;
    };
    QList<Pending> stack;
    for (const QString &group : m_catalog.groups()) {
        const auto topLevel = topLevelByGroup.constFind(group);
        if (topLevel == topLevelByGroup.constEnd() || topLevel->isEmpty())
            continue;
        rows.append(QVariantMap {
            { QStringLiteral("kind"), QStringLiteral("group") }, { QStringLiteral("groupName"), group } });

        for (auto it = topLevel->crbegin(); it != topLevel->crend(); ++it)
            stack.append({ *it, 0 });
        while (!stack.isEmpty()) {
            const Pending next = stack.takeLast();
            if (emitted.contains(next.id))
                continue;
            const PackageDefinition *package = m_catalog.findPackage(next.id);
            if (!package)
                continue;
            rows.append(packageRow(*package, next.depth));
            emitted.insert(next.id);
            const auto children = childrenByParent.constFind(next.id);
            if (children == childrenByParent.constEnd())
                continue;
            for (auto it = children->crbegin(); it != children->crend(); ++it)
                stack.append({ *it, next.depth + 1 });
        }
    }

    m_packageEntries = rows;
    Q_EMIT packageEntriesChanged();
}

QVariantMap InstallerController::packageRow(const PackageDefinition &package, int depth) const
{
    const QString &id = package.package_id;
    const bool installed = m_installedState.current.contains(id) || m_installedState.stale.contains(id);
    const QString action = actionName(m_plan, id);
    const QString toolchain = package.toolchain.isEmpty() ? QStringLiteral("Header Only") : package.toolchain;
    const QString metaTail = package.toolchain.isEmpty() ? package.platform : package.toolchain;

    QVariantMap row;
    row.insert(QStringLiteral("kind"), QStringLiteral("package"));
    row.insert(QStringLiteral("packageId"), id);
    row.insert(QStringLiteral("title"), package.display_name);
    row.insert(QStringLiteral("label"), displayLabel(package));
    row.insert(QStringLiteral("version"), package.version);
    row.insert(QStringLiteral("internalVersion"), QStringLiteral("iv%1").arg(package.internal_version_code));
    row.insert(QStringLiteral("toolchain"), toolchain);
    row.insert(
        QStringLiteral("status"), installed ? QStringLiteral("Installed") : QStringLiteral("Available"));
    row.insert(
        QStringLiteral("statusKey"), installed ? QStringLiteral("installed") : QStringLiteral("available"));
    row.insert(QStringLiteral("action"), action);
    row.insert(QStringLiteral("actionKey"), actionKey(action));
    row.insert(QStringLiteral("checked"), m_selection.contains(id));
    row.insert(QStringLiteral("depth"), depth);
    row.insert(QStringLiteral("description"), package.description);
    row.insert(QStringLiteral("meta"),
        QStringLiteral("%1 | %2 | %3").arg(package.product, package.version, metaTail));
    row.insert(QStringLiteral("active"), id == m_selectedPackageId);
    return row;
}

} // namespace vexa
