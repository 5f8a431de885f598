#pragma once

#include "cli/command.h"

#include <QList>

namespace vexa {

// Every command of vexa, in the order `vexa --help` lists them.
QList<Command> vexaCommands();

} // namespace vexa
