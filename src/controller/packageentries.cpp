#include "controller/packageentries.h"

#include <QHash>

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

QString searchHaystack(const PackageDefinition &package)
{
    // "toolchain code" lets "msvc2022 3" or "iv3" find builds by either.
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(package.display_name, package.product, versionLabel(package),
            QStringLiteral("%1 %2").arg(package.toolchain, QString::number(package.internal_version_code)),
            package.description)
        .toLower();
}

PackageRowBuilder::PackageRowBuilder(const PackageCatalog &catalog)
    : m_catalog(&catalog)
{
    const QList<PackageDefinition> &packages = catalog.packages();
    QHash<QString, qsizetype> positions;
    positions.reserve(packages.size());
    for (qsizetype i = 0; i < packages.size(); ++i)
        positions.insert(packages.at(i).package_id, i);

    m_cache = QList<CachedRow>(packages.size());
    for (qsizetype i = 0; i < packages.size(); ++i) {
        const PackageDefinition &package = packages.at(i);
        m_cache[i].haystack = searchHaystack(package);
        m_cache[i].parent = positions.value(package.parent_package_id, -1);
    }
}

QVariantList PackageRowBuilder::rows(const PackageRowInputs &inputs)
{
    const QList<PackageDefinition> &packages = m_catalog->packages();
    const qsizetype count = packages.size();
    const QString search = inputs.searchText.toLower();

    // A match brings its ancestors along so that it still shows inside its tree.
    QList<bool> visible(count, false);
    for (qsizetype i = 0; i < count; ++i) {
        if (!search.isEmpty() && !m_cache.at(i).haystack.contains(search))
            continue;
        for (qsizetype at = i; at >= 0 && !visible.at(at); at = m_cache.at(at).parent)
            visible[at] = true;
    }

    // Parent links are validated at load time, so a visible package's parent is always visible too.
    QHash<QString, QList<qsizetype>> topLevelByGroup;
    QList<QList<qsizetype>> children(count);
    for (qsizetype i = 0; i < count; ++i) {
        if (!visible.at(i))
            continue;
        const qsizetype parent = m_cache.at(i).parent;
        if (parent < 0 || !visible.at(parent))
            topLevelByGroup[packages.at(i).group].append(i);
        else
            children[parent].append(i);
    }

    QVariantList rows;
    QList<bool> emitted(count, false);

    // Explicit stack instead of recursion: a deep parent chain cannot exhaust the call stack. Children
    // are pushed in reverse so they pop in catalog order, giving a depth-first pre-order.
    struct Pending
    {
        qsizetype position;
        int depth;
    };
    QList<Pending> stack;
    for (const QString &group : m_catalog->groups()) {
        const auto topLevel = topLevelByGroup.constFind(group);
        if (topLevel == topLevelByGroup.constEnd() || topLevel->isEmpty())
            continue;
        rows.append(QVariantMap {
            { QStringLiteral("kind"), QStringLiteral("group") }, { QStringLiteral("groupName"), group } });

        for (auto it = topLevel->crbegin(); it != topLevel->crend(); ++it)
            stack.append({ *it, 0 });
        while (!stack.isEmpty()) {
            const Pending next = stack.takeLast();
            if (emitted.at(next.position))
                continue;
            emitted[next.position] = true;
            rows.append(packageRow(next.position, next.depth, inputs));
            const QList<qsizetype> &childList = children.at(next.position);
            for (auto it = childList.crbegin(); it != childList.crend(); ++it)
                stack.append({ *it, next.depth + 1 });
        }
    }
    return rows;
}

const QVariantMap &PackageRowBuilder::packageRow(
    qsizetype position, int depth, const PackageRowInputs &inputs)
{
    const PackageDefinition &package = m_catalog->packages().at(position);
    const QString &id = package.package_id;
    const bool installed
        = inputs.installedState.current.contains(id) || inputs.installedState.stale.contains(id);
    const QString action = actionName(inputs.plan, id);
    const bool checked = inputs.selection.contains(id);
    const bool active = id == inputs.selectedPackageId;

    CachedRow &cache = m_cache[position];
    if (!cache.row.isEmpty() && cache.depth == depth && cache.installed == installed
        && cache.checked == checked && cache.active == active && cache.action == action)
        return cache.row;

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
    row.insert(QStringLiteral("checked"), checked);
    row.insert(QStringLiteral("depth"), depth);
    row.insert(QStringLiteral("description"), package.description);
    row.insert(QStringLiteral("meta"),
        QStringLiteral("%1 | %2 | %3").arg(package.product, package.version, metaTail));
    row.insert(QStringLiteral("active"), active);

    cache.row = row;
    cache.action = action;
    cache.depth = depth;
    cache.installed = installed;
    cache.checked = checked;
    cache.active = active;
    return cache.row;
}

} // namespace vexa
