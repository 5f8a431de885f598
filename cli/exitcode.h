#pragma once

namespace vexa {

// The exit codes of every vexa command, as `vexa --help` and the README document them.
enum ExitCode : int {
    ExitSuccess = 0,
    ExitFailure = 1,
    // A wrong command line; also "changes" for a command run with --exit-code.
    ExitUsage = 2,
    ExitChanges = 2,
    // A removal that needs --yes was refused.
    ExitRefused = 3,
};

} // namespace vexa
