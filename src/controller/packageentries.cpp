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
    QHash<QString, qsizetype> groups;
    for (const QString &group : catalog.groups())
        groups.insert(group, groups.size());

    m_cache = QList<CachedRow>(packages.size());
    for (qsizetype i = 0; i < packages.size(); ++i) {
        const PackageDefinition &package = packages.at(i);
        m_cache[i].haystack = searchHaystack(package);
        m_cache[i].parent = catalog.positionOf(package.parent_package_id);
        m_cache[i].group = groups.value(package.group);
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
    // Each visible package is linked to the next one, in catalog order, of the same list: the top level
    // of its group or its parent's children. Walked back to front so that each link points forward.
    QList<qsizetype> firstTopLevel(m_catalog->groups().size(), -1);
    QList<qsizetype> firstChild(count, -1);
    QList<qsizetype> nextInList(count, -1);
    for (qsizetype i = count - 1; i >= 0; --i) {
        if (!visible.at(i))
            continue;
        const qsizetype parent = m_cache.at(i).parent;
        qsizetype &first
            = parent < 0 || !visible.at(parent) ? firstTopLevel[m_cache.at(i).group] : firstChild[parent];
        nextInList[i] = first;
        first = i;
    }

    const Marks &marks = marksFor(inputs);
    QVariantList rows;
    rows.reserve(count + firstTopLevel.size());
    QList<bool> emitted(count, false);
    // Depth-first pre-order without recursion, so a deep parent chain cannot exhaust the call stack:
    // after a package come its children, then its next sibling, which waits on the stack meanwhile.
    struct Pending
    {
        qsizetype position;
        int depth;
    };
    QList<Pending> stack;
    for (qsizetype group = 0; group < firstTopLevel.size(); ++group) {
        if (firstTopLevel.at(group) < 0)
            continue;
        rows.append(QVariantMap { { QStringLiteral("kind"), QStringLiteral("group") },
            { QStringLiteral("groupName"), m_catalog->groups().at(group) } });

        Pending next { firstTopLevel.at(group), 0 };
        for (;;) {
            if (next.position < 0) {
                if (stack.isEmpty())
                    break;
                next = stack.takeLast();
                continue;
            }
            const qsizetype at = next.position;
            if (nextInList.at(at) >= 0)
                stack.append({ nextInList.at(at), next.depth });
            if (emitted.at(at)) {
                next.position = -1;
                continue;
            }
            emitted[at] = true;
            rows.append(packageRow(at, next.depth,
                { marks.actions.at(at), marks.installed.at(at), marks.checked.at(at), at == marks.active }));
            next = { firstChild.at(at), next.depth + 1 };
        }
    }
    return rows;
}

bool PackageRowBuilder::Marks::madeFrom(const PackageRowInputs &inputs) const
{
    // Sets handed on unchanged share their data, which makes each comparison immediate.
    return current == inputs.installedState.current && stale == inputs.installedState.stale
        && selection == inputs.selection && target == inputs.plan.target && toInstall == inputs.plan.toInstall
        && toRemove == inputs.plan.toRemove && toUpgrade == inputs.plan.toUpgrade
        && selectedPackageId == inputs.selectedPackageId;
}

const PackageRowBuilder::Marks &PackageRowBuilder::marksFor(const PackageRowInputs &inputs)
{
    if (m_marks.valid && m_marks.madeFrom(inputs))
        return m_marks;
    // Marked by position from the sets, which are smaller than the catalog, instead of looked up in
    // every set for every row.
    const qsizetype count = m_catalog->packages().size();
    Marks marks { true, inputs.installedState.current, inputs.installedState.stale, inputs.selection,
        inputs.plan.target, inputs.plan.toInstall, inputs.plan.toRemove, inputs.plan.toUpgrade,
        inputs.selectedPackageId, actionNamesByPosition(*m_catalog, inputs.plan), QList<bool>(count, false),
        QList<bool>(count, false), m_catalog->positionOf(inputs.selectedPackageId) };
    const auto mark = [this](QList<bool> &flags, const QSet<QString> &ids) {
        for (const QString &id : ids) {
            const qsizetype position = m_catalog->positionOf(id);
            if (position >= 0)
                flags[position] = true;
        }
    };
    mark(marks.installed, marks.current);
    mark(marks.installed, marks.stale);
    mark(marks.checked, marks.selection);
    m_marks = std::move(marks);
    return m_marks;
}

const QVariant &PackageRowBuilder::packageRow(qsizetype position, int depth, const RowState &state)
{
    CachedRow &cache = m_cache[position];
    if (cache.row.isValid() && cache.depth == depth && cache.installed == state.installed
        && cache.checked == state.checked && cache.active == state.active && cache.action == state.action)
        return cache.row;

    const PackageDefinition &package = m_catalog->packages().at(position);
    const QString toolchain = package.toolchain.isEmpty() ? QStringLiteral("Header Only") : package.toolchain;
    const QString metaTail = package.toolchain.isEmpty() ? package.platform : package.toolchain;

    QVariantMap row;
    row.insert(QStringLiteral("kind"), QStringLiteral("package"));
    row.insert(QStringLiteral("packageId"), package.package_id);
    row.insert(QStringLiteral("title"), package.display_name);
    row.insert(QStringLiteral("label"), displayLabel(package));
    row.insert(QStringLiteral("version"), package.version);
    row.insert(QStringLiteral("internalVersion"), QStringLiteral("iv%1").arg(package.internal_version_code));
    row.insert(QStringLiteral("toolchain"), toolchain);
    row.insert(QStringLiteral("status"),
        state.installed ? QStringLiteral("Installed") : QStringLiteral("Available"));
    row.insert(QStringLiteral("statusKey"),
        state.installed ? QStringLiteral("installed") : QStringLiteral("available"));
    row.insert(QStringLiteral("action"), state.action);
    row.insert(QStringLiteral("actionKey"), actionKey(state.action));
    row.insert(QStringLiteral("checked"), state.checked);
    row.insert(QStringLiteral("depth"), depth);
    row.insert(QStringLiteral("description"), package.description);
    row.insert(QStringLiteral("meta"),
        QStringLiteral("%1 | %2 | %3").arg(package.product, package.version, metaTail));
    row.insert(QStringLiteral("active"), state.active);

    cache.row = QVariant(row);
    cache.action = state.action;
    cache.depth = depth;
    cache.installed = state.installed;
    cache.checked = state.checked;
    cache.active = state.active;
    return cache.row;
}

} // namespace vexa
