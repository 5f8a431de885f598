#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace vexa {

// Blocking GET that keeps the calling thread's event loop turning. Redirects are followed unless they
// lead from https to http. The time-out bounds the whole transfer, not idle time. On failure returns
// false with one message; body and final URL are then not to be used.
bool httpGet(const QUrl &url, QByteArray &body, QUrl &finalUrl, QString &errorText, int timeoutMs);

} // namespace vexa
