#include "update/programnames.h"

// Compiled into each installer executable with that variant's own two names (see CMakeLists.txt).
static const vexa::ProgramVariant thisVariant(VEXA_VARIANT_INSTALLER_NAME, VEXA_VARIANT_UPDATER_NAME);
