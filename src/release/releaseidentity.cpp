#include "release/releaseidentity.h"

namespace vexa {

QString releaseVersion()
{
    return QStringLiteral(VEXA_RELEASE_VERSION);
}

} // namespace vexa
