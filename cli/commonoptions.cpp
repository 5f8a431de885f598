#include "cli/commonoptions.h"

#include "catalog/catalogsourceoptions.h"
#include "engine/rootpaths.h"
#include "platform/defaultroot.h"

#include <QCommandLineParser>

namespace vexa {

QList<QCommandLineOption> catalogAndRootOptions()
{
    return { repositoryDirOption(), catalogUrlOption(),
        QCommandLineOption(RootOption,
            QStringLiteral("The Vexa root to work on (default: VEXA_ROOT when set, else %1).")
                .arg(DefaultRootPath()),
            QStringLiteral("directory")) };
}

QCommandLineOption jsonOption()
{
    return QCommandLineOption(JsonOption,
        QStringLiteral("Print the result as one JSON document on standard output; everything else goes to "
                       "standard error."));
}

bool readCatalogAndRoot(const QCommandLineParser &parser, CatalogAndRoot &options, QString &errorText)
{
    options.catalogSource
        = catalogSourceString(parser.value(CatalogUrlOption), parser.value(RepositoryDirOption));
    QString root;
    if (parser.isSet(RootOption)) {
        root = parser.value(RootOption);
        if (root.trimmed().isEmpty()) {
            errorText = QStringLiteral("--root names no directory.");
            return false;
        }
    } else {
        root = qEnvironmentVariable("VEXA_ROOT");
        if (root.trimmed().isEmpty())
            root = DefaultRootPath();
    }
    options.root = cleanRootPath(root);
    return true;
}

} // namespace vexa
