#pragma once

#include "catalog/packagedefinition.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace vexa {

// A loaded catalog: packages in document order with lookup by id. It is never edited after loading;
// a refresh replaces it whole.
class PackageCatalog
{
public:
    const QList<PackageDefinition> &packages() const { return m_packages; }
    // The record with this id, or nullptr. The pointer stays valid while the catalog is unchanged.
    const PackageDefinition *findPackage(const QString &packageId) const;
    bool contains(const QString &packageId) const { return m_index.contains(packageId); }
    // Distinct group names (the empty one included) in order of first appearance.
    const QStringList &groups() const { return m_groups; }
    const QString &repositoryBaseUrl() const { return m_repositoryBaseUrl; }

    // The ids plus everything they need, transitively. Ids the catalog lacks stay in the result
    // (they came from the caller); missing dependencies are left out. Problems are appended to
    // `errors` when it is given.
    QSet<QString> dependencyClosure(const QSet<QString> &packageIds, QStringList *errors = nullptr) const;
    // The ids ordered so that each follows its dependencies within the set; ties keep catalog order,
    // ids the catalog lacks come last, sorted case-insensitively.
    QStringList topologicalOrder(const QSet<QString> &packageIds) const;
    // Display labels of the members of `within` that depend directly on `packageId`, sorted.
    QStringList dependentsOf(const QString &packageId, const QSet<QString> &within) const;

private:
    friend bool loadFromJson(const QByteArray &data, PackageCatalog &catalog, QString &errorText);

    QList<PackageDefinition> m_packages;
    QHash<QString, qsizetype> m_index;
    QStringList m_groups;
    QString m_repositoryBaseUrl;
};

// Replaces the catalog's content with the document's packages. On failure returns false with one
// message; the catalog then holds the entries accepted before the failing one and must be discarded.
bool loadFromJson(const QByteArray &data, PackageCatalog &catalog, QString &errorText);

} // namespace vexa
