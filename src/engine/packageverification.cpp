#include "engine/packageverification.h"

#include "archive/printabletext.h"
#include "engine/manifestfiles.h"
#include "engine/rootinspection.h"
#include "engine/rootpaths.h"

namespace vexa {

bool verifyPackageState(
    const QString &root, const PackageDefinition &package, bool expectInstalled, QString &errorText)
{
    if (isPackagePresent(root, package) == expectInstalled)
        return true;

    const QStringList required = requiredFiles(package, QString());
    const QString list = required.isEmpty() ? QStringLiteral("<none>") : printableNames(required);
    const QString label = displayLabel(package);
    if (expectInstalled) {
        // The marker is blamed only when it really disagrees; with a matching marker the package is
        // missing files, and "still reports iv4, expected iv4" would send the user the wrong way.
        const int supportVersion = isSupportPackage(package.package_id) ? readSupportVersion(root) : 0;
        if (supportVersion > 0 && supportVersion != package.internal_version_code) {
            errorText = QStringLiteral("Verification failed after applying %1. The support version marker "
                                       "still reports iv%2, expected iv%3.")
                            .arg(label, QString::number(supportVersion),
                                QString::number(package.internal_version_code));
        } else {
            errorText
                = QStringLiteral("Verification failed after applying %1. Required files are missing: %2")
                      .arg(label, list);
        }
    } else {
        errorText = QStringLiteral("Verification failed after removing %1. Package markers still exist: %2")
                        .arg(label, list);
    }
    return false;
}

QList<RecordedPackageCheck> checkRecordedPackages(const PackageCatalog &catalog, const QString &root)
{
    QList<RecordedPackageCheck> checks;
    const QList<InstalledPackageRecord> records
        = readStateRecords(resolveRootPath(root, StateFileRelativePath));
    for (const InstalledPackageRecord &record : records) {
        RecordedPackageCheck check;
        check.packageId = record.packageId;
        check.label = record.packageId;
        QStringList required { record.markerRelativePath };
        if (const PackageDefinition *package = catalog.findPackage(record.packageId)) {
            check.label = displayLabel(*package);
            required = requiredFiles(*package, record.markerRelativePath);
            if (isSupportPackage(package->package_id)) {
                check.supportVersionFound = readSupportVersion(root);
                check.supportVersionAgrees = check.supportVersionFound == package->internal_version_code;
            }
        }
        required.removeAll(QString());
        check.missingFiles = missingRootFiles(root, required);
        checks.append(check);
    }
    return checks;
}

} // namespace vexa
