#include "cli/commandtable.h"

#include "cli/publishcommand.h"

namespace vexa {

QList<Command> vexaCommands()
{
    // The commands that work on a root (list, status, plan, apply, verify, cache) take their place
    // here, ahead of publish, each with catalogAndRootOptions() among its options.
    return { publishCommand() };
}

} // namespace vexa
