#include "catalog/packagedefinition.h"

namespace vexa {

QString displayLabel(const PackageDefinition &package)
{
    return QStringLiteral("%1 [iv%2]")
        .arg(package.display_name, QString::number(package.internal_version_code));
}

QString versionLabel(const PackageDefinition &package)
{
    return QStringLiteral("%1 / iv%2").arg(package.version, QString::number(package.internal_version_code));
}

bool isSupportPackage(const QString &packageId)
{
    return packageId == SupportPackageId;
}

} // namespace vexa
