#pragma once

#include <QString>
#include <QUrl>

namespace vexa {

// True for a valid http or https URL: the only schemes the installer downloads from.
bool isHttpUrl(const QUrl &url);

// True for http and https locations. A relative path that exists stays local even when it looks like
// a host name ("examples/repository").
bool isRemoteSource(const QString &source);

} // namespace vexa
