#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

namespace vexa {

// One package entry read back from a root's manifest/state.json.
struct InstalledPackageRecord
{
    QString packageId;
    QString product;
    QString version;
    // 1 when the recorded value is missing or not an integral number.
    int internalVersionCode = 1;
    QString toolchain;
    // May be empty; inspection then falls back to the catalog's marker.
    QString markerRelativePath;
    // The paths an upgrade or removal deletes, trimmed, in file order.
    QStringList ownedPaths;
};

// What a root holds. Only ids the catalog knows appear in the sets and in `records`.
struct InstalledState
{
    // Installed and up to date.
    QSet<QString> current;
    // Every catalog package found installed: `current` plus `stale`.
    QSet<QString> installed;
    // Installed but needing an upgrade.
    QSet<QString> stale;
    // The state.json entries of the packages in `installed` that came from state.json.
    QMap<QString, InstalledPackageRecord> records;
    // The root holds at least one recognised package, including one the catalog does not know.
    bool hasInstalledContent = false;
    // The manifest files on disk differ from what would be written for `installed`.
    bool needsRepair = false;
};

} // namespace vexa
