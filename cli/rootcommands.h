#pragma once

#include "cli/command.h"

namespace vexa {

// The commands that read a catalog and a root; each file holds one.
Command listCommand();
Command statusCommand();
Command planCommand();
Command applyCommand();
Command verifyCommand();
Command cacheCommand();

} // namespace vexa
