#pragma once

#include "cli/command.h"
#include "controller/installsession.h"

#include <QString>

#include <optional>

namespace vexa {

// A command's catalog and root, read as the installer reads them.
struct RootSession
{
    // The root, cleaned once here.
    QString root;
    // The catalog loaded and the root inspected, the selection the root's initial one.
    std::optional<InstallSession> session;
};

// Reads the options of catalogAndRootOptions, loads the catalog and inspects the root. Returns
// ExitSuccess, or the exit code to end with once the problem has been reported.
int openRootSession(const CommandInvocation &invocation, const QString &commandName, RootSession &opened);

} // namespace vexa
