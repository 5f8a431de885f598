#pragma once

#include <QString>

namespace vexa {

// True for http and https locations. A relative path that exists stays local even when it looks like
// a host name ("examples/repository").
bool isRemoteSource(const QString &source);

} // namespace vexa
