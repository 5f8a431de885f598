#include "catalog/packagecatalog.h"

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

QSet<QString> PackageCatalog::dependencyClosure(const QSet<QString> &packageIds, QStringList *errors) const
{
    QSet<QString> result = packageIds;
    QStringList stack(packageIds.cbegin(), packageIds.cend());
    while (!stack.isEmpty()) {
        const QString id = stack.takeLast();
        const PackageDefinition *package = findPackage(id);
        if (!package) {
            if (errors)
                errors->append(QStringLiteral("Unknown package referenced: %1").arg(id));
            continue;
        }
        for (const QString &dependency : package->dependencies) {
            if (result.contains(dependency))
                continue;
            if (contains(dependency)) {
                result.insert(dependency);
                stack.append(dependency);
            } else if (errors) {
                errors->append(QStringLiteral("%1 depends on missing catalog entry %2.")
                                   .arg(displayLabel(*package), dependency));
            }
        }
    }
    return result;
}

QStringList PackageCatalog::topologicalOrder(const QSet<QString> &packageIds) const
{
    enum class Mark { Visiting, Done };
    QStringList order;
    order.reserve(packageIds.size());
    QHash<QString, Mark> marks;
    marks.reserve(packageIds.size());

    // Iterative depth-first walk so that long dependency chains cannot exhaust the stack.
    struct Frame
    {
        QString id;
        const PackageDefinition *package;
        qsizetype next;
    };
    QList<Frame> stack;
    const auto visit = [&](const QString &start) {
        if (!packageIds.contains(start) || marks.contains(start))
            return;
        marks.insert(start, Mark::Visiting);
        stack.append({ start, findPackage(start), 0 });
        while (!stack.isEmpty()) {
            Frame &frame = stack.last();
            if (frame.package && frame.next < frame.package->dependencies.size()) {
                const QString &dependency = frame.package->dependencies.at(frame.next++);
                if (packageIds.contains(dependency) && !marks.contains(dependency)) {
                    marks.insert(dependency, Mark::Visiting);
                    stack.append({ dependency, findPackage(dependency), 0 });
                }
                continue;
            }
            marks.insert(frame.id, Mark::Done);
            order.append(frame.id);
            stack.removeLast();
        }
    };

    if (packageIds.isEmpty())
        return order;
    for (const PackageDefinition &package : m_packages)
        visit(package.package_id);

    QStringList unknown;
    for (const QString &id : packageIds) {
        if (!contains(id))
            unknown.append(id);
    }
    unknown.sort(Qt::CaseInsensitive);
    for (const QString &id : std::as_const(unknown))
        visit(id);
    return order;
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

bool loadFromJson(const QByteArray &data, PackageCatalog &catalog, QString &errorText)
{
    catalog = PackageCatalog();

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
            errorText = QStringLiteral("Catalog package %1 has an invalid internal_version_code %2.")
                            .arg(package.package_id, QString::number(package.internal_version_code));
            return false;
        }
        if (catalog.m_index.contains(package.package_id)) {
            errorText = QStringLiteral("Catalog contains duplicate package_id '%1'.").arg(package.package_id);
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
            errorText = QStringLiteral("Catalog package %1 cannot parent itself.").arg(package.package_id);
            return false;
        }
        if (!catalog.contains(parentId)) {
            errorText = QStringLiteral("Catalog package %1 references missing parent_package_id %2.")
                            .arg(package.package_id, parentId);
            return false;
        }
        QSet<QString> visited;
        QString current = parentId;
        while (!current.isEmpty()) {
            if (visited.contains(current)) {
                errorText
                    = QStringLiteral("Catalog parent_package_id chain forms a cycle at %1.").arg(current);
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
