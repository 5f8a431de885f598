#include "app/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace vexa {

void configureCommandLineParser(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Custom offline Vexa installer."));
    parser.addHelpOption();
    parser.addOption(QCommandLineOption(RepositoryDirOption,
        QStringLiteral("Load the catalog and package archives from a specific repository directory."),
        QStringLiteral("directory")));
    parser.addOption(QCommandLineOption(CatalogUrlOption,
        QStringLiteral("Load the package catalog from a remote HTTP or HTTPS URL."), QStringLiteral("url")));
    parser.addOption(QCommandLineOption(ClientUpdateUrlOption,
        QStringLiteral("Load the client self-update manifest from a specific URL or file path."),
        QStringLiteral("location")));
    parser.addOption(QCommandLineOption(
        SkipSelfUpdateOption, QStringLiteral("Skip the client self-update check for this launch.")));
}

StartupOptions readStartupOptions(const QCommandLineParser &parser)
{
    StartupOptions options;
    options.repositoryDir = parser.value(RepositoryDirOption);
    options.catalogUrl = parser.value(CatalogUrlOption);
    options.clientUpdateUrl = parser.value(ClientUpdateUrlOption);
    options.clientUpdateUrlGiven = parser.isSet(ClientUpdateUrlOption);
    options.skipSelfUpdate = parser.isSet(SkipSelfUpdateOption);
    return options;
}

QString catalogSourceString(const StartupOptions &options)
{
    // A blank --catalog-url (an unset variable in a launch script) must not silently discard an
    // explicit --repository-dir in favour of the environment or the default endpoint.
    if (!options.catalogUrl.trimmed().isEmpty())
        return options.catalogUrl;
    return options.repositoryDir;
}

} // namespace vexa
