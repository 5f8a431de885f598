#include "cli/commandtable.h"

#include "cli/publishcommand.h"
#include "cli/rootcommands.h"

namespace vexa {

QList<Command> vexaCommands()
{
    return { listCommand(), statusCommand(), planCommand(), applyCommand(), verifyCommand(), cacheCommand(),
        publishCommand() };
}

} // namespace vexa
