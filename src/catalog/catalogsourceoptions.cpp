#include "catalog/catalogsourceoptions.h"

namespace vexa {

QCommandLineOption repositoryDirOption()
{
    return QCommandLineOption(RepositoryDirOption,
        QStringLiteral("Load the catalog and package archives from a specific repository directory."),
        QStringLiteral("directory"));
}

QCommandLineOption catalogUrlOption()
{
    return QCommandLineOption(CatalogUrlOption,
        QStringLiteral("Load the package catalog from a remote HTTP or HTTPS URL."), QStringLiteral("url"));
}

QString catalogSourceString(const QString &catalogUrl, const QString &repositoryDir)
{
    // A blank --catalog-url (an unset variable in a launch script) must not silently discard an
    // explicit --repository-dir in favour of the environment or the default endpoint.
    if (!catalogUrl.trimmed().isEmpty())
        return catalogUrl;
    return repositoryDir;
}

} // namespace vexa
