#pragma once

#include "cli/command.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vexa {

// Runs `vexa <command> [options]` for `arguments` (the program first) and returns the exit code.
// "vexa", "vexa --help" and "vexa help" show the commands; "vexa help <command>" and
// "vexa <command> --help" show one command's options. A wrong command line ends with ExitUsage.
int runVexa(const QStringList &arguments, const QList<Command> &commands);

QString mainHelpText(const QList<Command> &commands);
QString commandHelpText(const Command &command);

} // namespace vexa
