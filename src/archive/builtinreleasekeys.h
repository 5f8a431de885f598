#pragma once

#include "archive/releasesignature.h"

namespace vexa {

// The keys the running executable was built with (VEXA_RELEASE_PUBLIC_KEYS), declared through
// BuiltInReleaseKeys; none when it declared nothing. Libraries are shared by every executable and by
// the tests, so they never hold keys of their own: only each executable knows which it trusts.
ReleaseKeys builtInReleaseKeys();

// Declares the running executable's keys. Defined once at namespace scope in a source file that a
// single executable compiles, so the keys are fixed before main runs.
class BuiltInReleaseKeys
{
public:
    explicit BuiltInReleaseKeys(const char *base64Keys);
};

} // namespace vexa
