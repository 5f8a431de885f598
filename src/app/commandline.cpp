#include "app/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace vexa {

namespace {

// The options Qt's GUI application takes off the command line for itself, with one dash or two, a
// value given after "=" or as the next argument.
bool isQtGuiOption(const QString &argument)
{
    static const QStringList names { QStringLiteral("platform"), QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"), QStringLiteral("plugin"), QStringLiteral("qmljsdebugger"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"), QStringLiteral("qwindowtitle"),
        QStringLiteral("reverse"), QStringLiteral("session"), QStringLiteral("display"),
        QStringLiteral("geometry"), QStringLiteral("title"), QStringLiteral("icon"), QStringLiteral("name"),
        QStringLiteral("visual"), QStringLiteral("ncols"), QStringLiteral("cmap"), QStringLiteral("dialogs"),
        QStringLiteral("fontengine"), QStringLiteral("style"), QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"), QStringLiteral("testability"), QStringLiteral("nograb"),
        QStringLiteral("dograb"), QStringLiteral("qdevel") };
    if (!argument.startsWith(QLatin1Char('-')))
        return false;
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    if (equals >= 0)
        name.truncate(equals);
    return names.contains(name);
}

} // namespace

void configureCommandLineParser(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Custom offline Vexa installer."));
    parser.addHelpOption();
    parser.addOption(repositoryDirOption());
    parser.addOption(catalogUrlOption());
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

bool answeredWithoutDisplay(QCommandLineParser &parser, const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            break;
        if (isQtGuiOption(argument))
            return false;
    }
    return !parser.parse(arguments) || parser.isSet(QStringLiteral("help"));
}

QString catalogSourceString(const StartupOptions &options)
{
    return catalogSourceString(options.catalogUrl, options.repositoryDir);
}

} // namespace vexa
