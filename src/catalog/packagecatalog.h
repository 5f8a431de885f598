#pragma once

#include "catalog/packagedefinition.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace vexa {

// A set of package ids held for set algebra over one catalog: the ids the catalog knows as flags by
// catalog position, the others by name. A planner converts its sets once, works on flags and converts
// back, instead of hashing thousands of ids at every step.
struct PackageFlags
{
    QList<bool> known;
    QSet<QString> unknown;
};

// A loaded catalog: packages in document order with lookup by id. It is never edited after loading;
// a refresh replaces it whole.
class PackageCatalog
{
public:
    const QList<PackageDefinition> &packages() const { return m_packages; }
    // The record with this id, or nullptr. The pointer stays valid while the catalog is unchanged.
    const PackageDefinition *findPackage(const QString &packageId) const;
    bool contains(const QString &packageId) const { return m_index.contains(packageId); }
    // Where the package stands in packages(), or -1 when the catalog lacks it.
    qsizetype positionOf(const QString &packageId) const;
    // Distinct group names (the empty one included) in order of first appearance.
    const QStringList &groups() const { return m_groups; }
    const QString &repositoryBaseUrl() const { return m_repositoryBaseUrl; }

    // The ids plus everything they need, transitively. Ids the catalog lacks stay in the result
    // (they came from the caller); missing dependencies are left out. Problems are appended to
    // `errors` when it is given.
    // The closure's flags go to `flags` when it is given.
    QSet<QString> dependencyClosure(
        const QSet<QString> &packageIds, QStringList *errors = nullptr, PackageFlags *flags = nullptr) const;
    // The ids ordered so that each follows its dependencies within the set; ties keep catalog order,
    // ids the catalog lacks come last, sorted case-insensitively.
    QStringList topologicalOrder(const QSet<QString> &packageIds) const;
    QStringList topologicalOrder(const PackageFlags &members) const;

    // The ids as flags over this catalog, and back.
    PackageFlags flagsOf(const QSet<QString> &packageIds) const;
    QSet<QString> idsOf(const PackageFlags &flags) const;
    // The same ids, for flags that are a subset of `superset`'s: taken from a copy of `superset` when
    // fewer ids are dropped from it than kept, which hashes fewer ids.
    QSet<QString> idsOf(
        const PackageFlags &flags, const QSet<QString> &superset, const PackageFlags &supersetFlags) const;
    // Display labels of the members of `within` that depend directly on `packageId`, sorted.
    QStringList dependentsOf(const QString &packageId, const QSet<QString> &within) const;

private:
    friend bool loadFromJson(const QByteArray &data, PackageCatalog &catalog, QString &errorText);
    void indexDependencies();

    QList<PackageDefinition> m_packages;
    // Package ids by position, packed together (see indexDependencies).
    QStringList m_ids;
    QHash<QString, qsizetype> m_index;
    // Positions by the address of each id's characters. The ids the planner and the controller pass
    // around are mostly copies of the catalog's own, sharing those characters, and are found here
    // without hashing or comparing any text: at tens of thousands of ids that is most of a plan.
    struct SharedId
    {
        qsizetype position;
        qsizetype size;
    };
    QHash<const QChar *, SharedId> m_positionBySharedId;
    // Every package's dependencies resolved to catalog positions once, at load, so that closures and
    // orders walk integers instead of hashing ids. Package p's dependencies, in declared order, are
    // m_dependencyPositions[m_dependencyStart[p] .. m_dependencyStart[p + 1]), -1 where the catalog
    // lacks one.
    QList<qsizetype> m_dependencyStart { 0 };
    QList<qsizetype> m_dependencyPositions;
    QStringList m_groups;
    QString m_repositoryBaseUrl;
};

// Replaces the catalog's content with the document's packages. On failure returns false with one
// message; the catalog then holds the entries accepted before the failing one and must be discarded.
bool loadFromJson(const QByteArray &data, PackageCatalog &catalog, QString &errorText);

} // namespace vexa
