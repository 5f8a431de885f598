#include "cli/rootsession.h"

#include "catalog/catalogloading.h"
#include "cli/commonoptions.h"
#include "cli/console.h"
#include "cli/exitcode.h"

namespace vexa {

int openRootSession(const CommandInvocation &invocation, const QString &commandName, RootSession &opened)
{
    CatalogAndRoot options;
    QString errorText;
    if (!readCatalogAndRoot(invocation.parser, options, errorText))
        return reportUsageError(invocation.console, commandName, errorText);

    LoadedCatalog loaded;
    if (!loadCatalog(options.catalogSource.trimmed(), loaded, errorText)) {
        invocation.console.message(errorText);
        return ExitFailure;
    }
    opened.root = options.root;
    opened.session.emplace(std::move(loaded.catalog), loaded.repositoryBase, loaded.catalogSource);
    opened.session->inspectRoot(opened.root);
    opened.session->resetSelection();
    return ExitSuccess;
}

} // namespace vexa
