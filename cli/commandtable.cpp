#include "cli/commandtable.h"

namespace vexa {

QList<Command> vexaCommands()
{
    // The commands that work on a root (list, status, plan, apply, verify, cache) take their place
    // here, each with catalogAndRootOptions() among its options.
    return {};
}

} // namespace vexa
