#pragma once

#include "catalog/packagecatalog.h"
#include "engine/changeplan.h"
#include "engine/installedstate.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

namespace vexa {

// The styling key of an action name: "upgrade", "install", "remove", "keep", and "skip" for anything else.
QString actionKey(const QString &action);

// The lower-cased text a search is matched against: display name, product, version label, toolchain
// with the internal version code, and description.
QString searchHaystack(const PackageDefinition &package);

// What the package rows show besides the catalog itself.
struct PackageRowInputs
{
    const InstalledState &installedState;
    const ChangePlan &plan;
    // The ticked package ids.
    const QSet<QString> &selection;
    // The package whose row is marked active.
    const QString &selectedPackageId;
    // Trimmed by the caller; empty lists every package.
    const QString &searchText;
};

// Builds the package list of one catalog: a header row per group, then its packages, each followed by
// its visible children one level deeper. A package matches when the lower-cased search text occurs in
// its search haystack, and brings its ancestors along.
// The builder keeps the last row built for each package with the values that row shows, so a click
// rebuilds a handful of rows rather than thousands. The catalog must outlive the builder and stay
// unchanged; another catalog needs a new builder.
class PackageRowBuilder
{
public:
    explicit PackageRowBuilder(const PackageCatalog &catalog);

    QVariantList rows(const PackageRowInputs &inputs);

private:
    // Per catalog position: the package's search text, its parent's and its group's positions, and
    // the last row built for it with the values that row depends on.
    struct CachedRow
    {
        QString haystack;
        qsizetype parent = -1;
        qsizetype group = 0;
        QVariant row;
        QString action;
        int depth = -1;
        bool installed = false;
        bool checked = false;
        bool active = false;
    };
    // What a package row shows besides the catalog and its depth.
    struct RowState
    {
        QString action;
        bool installed = false;
        bool checked = false;
        bool active = false;
    };
    const QVariant &packageRow(qsizetype position, int depth, const RowState &state);

    // Each package's action, status, tick and highlight by catalog position, with the inputs they were
    // made from: a search keystroke changes none of those and reuses them.
    struct Marks
    {
        bool valid = false;
        QSet<QString> current;
        QSet<QString> stale;
        QSet<QString> selection;
        QSet<QString> target;
        QSet<QString> toInstall;
        QSet<QString> toRemove;
        QSet<QString> toUpgrade;
        QString selectedPackageId;
        QStringList actions;
        QList<bool> installed;
        QList<bool> checked;
        qsizetype active = -1;

        bool madeFrom(const PackageRowInputs &inputs) const;
    };
    const Marks &marksFor(const PackageRowInputs &inputs);

    const PackageCatalog *m_catalog;
    QList<CachedRow> m_cache;
    Marks m_marks;
};

} // namespace vexa
