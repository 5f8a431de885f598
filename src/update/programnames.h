#pragma once

#include <QString>

namespace vexa {

// The two executable base names (without ".exe") a program variant is built with. The default build
// and the branded build differ in nothing else.
struct ProgramNames
{
    QString installer;
    QString updater;
};

// The names of the running program's variant: those its executable declared through ProgramVariant,
// otherwise the default build's. Libraries and tests are shared by both variants; only each
// executable knows which one it is.
ProgramNames programNames();

// Declares the running executable's variant. Defined once at namespace scope in a source file that a
// single executable compiles, so the names are fixed before main runs.
class ProgramVariant
{
public:
    ProgramVariant(const char *installerName, const char *updaterName);
};

} // namespace vexa
