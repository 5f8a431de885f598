#pragma once

#include "cli/command.h"

namespace vexa {

// `vexa publish PAYLOAD_DIR... --out REPO_DIR [--index] [--sign KEY.pem] [--json]`
Command publishCommand();

} // namespace vexa
