#include "catalog/packagedefinition.h"

#include "archive/printabletext.h"

namespace vexa {

QString displayLabel(const PackageDefinition &package)
{
    // "%1 [iv%2]" put together directly: lists and summaries build thousands of these per click.
    return printableName(package.display_name) + QLatin1String(" [iv")
        + QString::number(package.internal_version_code) + QLatin1Char(']');
}

QString versionLabel(const PackageDefinition &package)
{
    return QStringLiteral("%1 / iv%2")
        .arg(printableName(package.version), QString::number(package.internal_version_code));
}

bool isSupportPackage(const QString &packageId)
{
    return packageId == SupportPackageId;
}

} // namespace vexa
