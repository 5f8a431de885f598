#include "archive/builtinreleasekeys.h"

namespace vexa {

namespace {

ReleaseKeys &declaredKeys()
{
    static ReleaseKeys keys;
    return keys;
}

} // namespace

ReleaseKeys builtInReleaseKeys()
{
    return declaredKeys();
}

BuiltInReleaseKeys::BuiltInReleaseKeys(const char *base64Keys)
{
    declaredKeys() = parseReleaseKeys(QString::fromLatin1(base64Keys));
}

} // namespace vexa
