#include "catalog/packagecatalog.h"

#include "archive/printabletext.h"
#include "catalog/catalogjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>

namespace vexa {

const PackageDefinition *PackageCatalog::findPackage(const QString &packageId) const
{
    const auto it = m_index.constFind(packageId);
    return it == m_index.constEnd() ? nullptr : &m_packages.at(it.value());
}

QSet<QString> PackageCatalog::dependencyClosure(
    const QSet<QString> &packageIds, QStringList *errors, PackageFlags *flags) const
{
    // Walked over catalog positions; only the ids the walk adds are hashed into the result. The stack
    // holds positions, and ids the catalog lacks as -1 - (their place in `unknown`), so that each is
    // reported in its turn.
    QList<bool> inResult(m_packages.size(), false);
    QStringList unknown;
    QList<qsizetype> stack;
    stack.reserve(packageIds.size());
    for (const QString &id : packageIds) {
        const qsizetype position = positionOf(id);
        if (position >= 0) {
            inResult[position] = true;
            stack.append(position);
        } else {
            stack.append(-1 - unknown.size());
            unknown.append(id);
        }
    }

    QList<qsizetype> added;
    while (!stack.isEmpty()) {
        const qsizetype position = stack.takeLast();
        if (position < 0) {
            if (errors)
                errors->append(QStringLiteral("Unknown package referenced: %1")
                                   .arg(printableName(unknown.at(-1 - position))));
            continue;
        }
        const qsizetype first = m_dependencyStart.at(position);
        const qsizetype last = m_dependencyStart.at(position + 1);
        for (qsizetype at = first; at < last; ++at) {
            const qsizetype dependency = m_dependencyPositions.at(at);
            if (dependency >= 0) {
                if (!inResult.at(dependency)) {
                    inResult[dependency] = true;
                    added.append(dependency);
                    stack.append(dependency);
                }
                continue;
            }
            // A missing dependency the caller asked for itself is in the result already.
            const PackageDefinition &package = m_packages.at(position);
            const QString &name = package.dependencies.at(at - first);
            if (errors && !packageIds.contains(name))
                errors->append(QStringLiteral("%1 depends on missing catalog entry %2.")
                                   .arg(displayLabel(package), printableName(name)));
        }
    }

    if (flags) {
        flags->known = inResult;
        flags->unknown = QSet<QString>(unknown.cbegin(), unknown.cend());
    }
    if (added.isEmpty())
        return packageIds;
    QSet<QString> result = packageIds;
    for (const qsizetype position : std::as_const(added))
        result.insert(m_ids.at(position));
    return result;
}

QStringList PackageCatalog::topologicalOrder(const QSet<QString> &packageIds) const
{
    return packageIds.isEmpty() ? QStringList() : topologicalOrder(flagsOf(packageIds));
}

QStringList PackageCatalog::topologicalOrder(const PackageFlags &members) const
{
    QStringList order;
    QSet<QString> unknown = members.unknown;

    // Iterative depth-first walk so that long dependency chains cannot exhaust the stack. A package
    // is marked when first reached, so a cycle places the package reached second first.
    struct Frame
    {
        qsizetype position;
        qsizetype next;
    };
    QList<bool> marked(m_packages.size(), false);
    QList<Frame> stack;
    for (qsizetype start = 0; start < members.known.size(); ++start) {
        if (!members.known.at(start) || marked.at(start))
            continue;
        marked[start] = true;
        stack.append({ start, m_dependencyStart.at(start) });
        while (!stack.isEmpty()) {
            Frame &frame = stack.last();
            if (frame.next < m_dependencyStart.at(frame.position + 1)) {
                const qsizetype at = frame.next++;
                const qsizetype dependency = m_dependencyPositions.at(at);
                if (dependency >= 0) {
                    if (members.known.at(dependency) && !marked.at(dependency)) {
                        marked[dependency] = true;
                        stack.append({ dependency, m_dependencyStart.at(dependency) });
                    }
                } else if (!unknown.isEmpty()) {
                    // A member the catalog lacks has no dependencies of its own: it is placed at once.
                    const QString &name = m_packages.at(frame.position)
                                              .dependencies.at(at - m_dependencyStart.at(frame.position));
                    if (unknown.remove(name))
                        order.append(name);
                }
                continue;
            }
            order.append(m_ids.at(frame.position));
            stack.removeLast();
        }
    }

    QStringList rest(unknown.cbegin(), unknown.cend());
    rest.sort(Qt::CaseInsensitive);
    order += rest;
    return order;
}

PackageFlags PackageCatalog::flagsOf(const QSet<QString> &packageIds) const
{
    PackageFlags flags { QList<bool>(m_packages.size(), false), {} };
    for (const QString &id : packageIds) {
        const qsizetype position = positionOf(id);
        if (position >= 0)
            flags.known[position] = true;
        else
            flags.unknown.insert(id);
    }
    return flags;
}

QSet<QString> PackageCatalog::idsOf(const PackageFlags &flags) const
{
    QSet<QString> ids = flags.unknown;
    ids.reserve(flags.unknown.size() + flags.known.count(true));
    for (qsizetype position = 0; position < flags.known.size(); ++position) {
        if (flags.known.at(position))
            ids.insert(m_ids.at(position));
    }
    return ids;
}

QSet<QString> PackageCatalog::idsOf(
    const PackageFlags &flags, const QSet<QString> &superset, const PackageFlags &supersetFlags) const
{
    const qsizetype kept = flags.known.count(true) + flags.unknown.size();
    if (2 * kept <= superset.size())
        return idsOf(flags);
    QSet<QString> ids = superset;
    for (qsizetype position = 0; position < flags.known.size(); ++position) {
        if (supersetFlags.known.at(position) && !flags.known.at(position))
            ids.remove(m_ids.at(position));
    }
    for (const QString &id : supersetFlags.unknown) {
        if (!flags.unknown.contains(id))
            ids.remove(id);
    }
    return ids;
}

QStringList PackageCatalog::dependentsOf(const QString &packageId, const QSet<QString> &within) const
{
    QStringList labels;
    for (const QString &id : within) {
        const PackageDefinition *package = findPackage(id);
        if (package && package->dependencies.contains(packageId))
            labels.append(displayLabel(*package));
    }
    labels.sort(Qt::CaseSensitive);
    return labels;
}

qsizetype PackageCatalog::positionOf(const QString &packageId) const
{
    // The same characters with the same length are the same id: a shared string cannot change.
    const auto shared = m_positionBySharedId.constFind(packageId.constData());
    if (shared != m_positionBySharedId.constEnd() && shared->size == packageId.size())
        return shared->position;
    return m_index.value(packageId, -1);
}

void PackageCatalog::indexDependencies()
{
    // Every id is copied into a fresh string, one after the other, and the packages and the index
    // share those copies: a plan over tens of thousands of ids then reads a few megabytes of ids
    // packed together instead of one cache line in every package record.
    m_ids.clear();
    m_ids.reserve(m_packages.size());
    m_index.clear();
    m_index.reserve(m_packages.size());
    m_positionBySharedId.clear();
    m_positionBySharedId.reserve(m_packages.size());
    for (qsizetype position = 0; position < m_packages.size(); ++position) {
        PackageDefinition &package = m_packages[position];
        const QString id(package.package_id.constData(), package.package_id.size());
        package.package_id = id;
        m_ids.append(id);
        m_index.insert(id, position);
        m_positionBySharedId.insert(id.constData(), { position, id.size() });
    }
    m_dependencyStart.clear();
    m_dependencyPositions.clear();
    m_dependencyStart.reserve(m_packages.size() + 1);
    m_dependencyStart.append(0);
    for (const PackageDefinition &package : std::as_const(m_packages)) {
        for (const QString &dependency : package.dependencies)
            m_dependencyPositions.append(m_index.value(dependency, -1));
        m_dependencyStart.append(m_dependencyPositions.size());
    }
}

bool loadFromJson(const QByteArray &data, PackageCatalog &catalog, QString &errorText)
{
    catalog = PackageCatalog();
    // Whatever the outcome, the packages held afterwards have their dependencies indexed.
    struct IndexOnReturn
    {
        PackageCatalog &catalog;
        ~IndexOnReturn() { catalog.indexDependencies(); }
    } indexOnReturn { catalog };

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (document.isNull() || !document.isObject()) {
        errorText = parseError.error != QJsonParseError::NoError
            ? parseError.errorString()
            : QStringLiteral("Catalog JSON is not an object.");
        return false;
    }
    const QJsonObject root = document.object();
    const QJsonArray entries = root.value(QLatin1String("packages")).toArray();
    if (entries.isEmpty()) {
        errorText = QStringLiteral("Catalog JSON does not contain any packages.");
        return false;
    }
    catalog.m_repositoryBaseUrl = root.value(QLatin1String("repository_base_url")).toString().trimmed();

    catalog.m_packages.reserve(entries.size());
    catalog.m_index.reserve(entries.size());
    QSet<QString> seenGroups;
    for (const QJsonValue &entry : entries) {
        PackageDefinition package = readPackageDefinition(entry.toObject());
        if (package.package_id.isEmpty() || package.display_name.isEmpty()) {
            errorText = QStringLiteral("Catalog contains a package with missing required fields.");
            return false;
        }
        if (package.internal_version_code < 1) {
            errorText
                = QStringLiteral("Catalog package %1 has an invalid internal_version_code %2.")
                      .arg(printableName(package.package_id), QString::number(package.internal_version_code));
            return false;
        }
        if (catalog.m_index.contains(package.package_id)) {
            errorText = QStringLiteral("Catalog contains duplicate package_id '%1'.")
                            .arg(printableName(package.package_id));
            return false;
        }
        if (!seenGroups.contains(package.group)) {
            seenGroups.insert(package.group);
            catalog.m_groups.append(package.group);
        }
        catalog.m_index.insert(package.package_id, catalog.m_packages.size());
        catalog.m_packages.append(std::move(package));
    }

    for (const PackageDefinition &package : std::as_const(catalog.m_packages)) {
        const QString &parentId = package.parent_package_id;
        if (parentId.isEmpty())
            continue;
        if (parentId == package.package_id) {
            errorText = QStringLiteral("Catalog package %1 cannot parent itself.")
                            .arg(printableName(package.package_id));
            return false;
        }
        if (!catalog.contains(parentId)) {
            errorText = QStringLiteral("Catalog package %1 references missing parent_package_id %2.")
                            .arg(printableName(package.package_id), printableName(parentId));
            return false;
        }
        QSet<QString> visited;
        QString current = parentId;
        while (!current.isEmpty()) {
            if (visited.contains(current)) {
                errorText = QStringLiteral("Catalog parent_package_id chain forms a cycle at %1.")
                                .arg(printableName(current));
                return false;
            }
            visited.insert(current);
            const PackageDefinition *parent = catalog.findPackage(current);
            current = parent ? parent->parent_package_id : QString();
        }
    }
    return true;
}

} // namespace vexa
