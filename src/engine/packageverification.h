#pragma once

#include "catalog/packagecatalog.h"
#include "catalog/packagedefinition.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vexa {

// Confirms after an install that the package's required files are all in the (cleaned) root (and the support
// version marker agrees with the catalog), or after a removal that none of them survived. On a
// mismatch returns false with a message naming every required file of the package.
bool verifyPackageState(
    const QString &root, const PackageDefinition &package, bool expectInstalled, QString &errorText);

// One package the root's state.json records, checked against the files it requires.
struct RecordedPackageCheck
{
    QString packageId;
    // displayLabel of the catalog's package; the recorded id for a package the catalog does not know.
    QString label;
    // The required files (the record's marker, the catalog's, and the support package's own files)
    // that are not inside the root, in that order; empty when the package is whole.
    QStringList missingFiles;
    // Only the support package can disagree: its version marker does not report the catalog's code.
    bool supportVersionAgrees = true;
    // What the marker reports (0 when it cannot be read).
    int supportVersionFound = 0;

    bool isWhole() const { return missingFiles.isEmpty() && supportVersionAgrees; }
};

// Every package recorded in the (cleaned) root's state.json, in file order, with what it misses by
// inspection's rule. A record of a package the catalog does not know is checked against its own
// marker.
QList<RecordedPackageCheck> checkRecordedPackages(const PackageCatalog &catalog, const QString &root);

} // namespace vexa
