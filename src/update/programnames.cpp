#include "update/programnames.h"

namespace vexa {

namespace {

ProgramNames &declaredNames()
{
    static ProgramNames names { QStringLiteral(VEXA_INSTALLER_EXE_NAME),
        QStringLiteral(VEXA_UPDATER_EXE_NAME) };
    return names;
}

} // namespace

ProgramNames programNames()
{
    return declaredNames();
}

ProgramVariant::ProgramVariant(const char *installerName, const char *updaterName)
{
    declaredNames() = { QString::fromUtf8(installerName), QString::fromUtf8(updaterName) };
}

} // namespace vexa
