#pragma once

#include <QString>

namespace vexa {

// True when VEXA_SKIP_ENV_UPDATE holds an integer other than 0 (decimal, "0x" hexadecimal or octal
// with a leading zero). Unset, empty, 0 and non-numeric values do not skip.
bool skipsEnvironmentUpdate();

// Publishes the (cleaned) root as VEXA_ROOT for new processes of the user, or removes the variable when
// `clear` is set; does nothing when skipsEnvironmentUpdate(). A relative root is published in its
// absolute form, since later shells start elsewhere. Failure: "Failed to update the VEXA_ROOT
// environment variable.".
bool publishRootVariable(const QString &root, bool clear, QString &errorText);

} // namespace vexa
