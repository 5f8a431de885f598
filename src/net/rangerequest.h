#pragma once

#include "net/httpreply.h"

#include <QByteArray>
#include <QList>
#include <QPair>

namespace vexa {

// The version of a resource a download received, as its server named it.
struct ResourceVersion
{
    QByteArray etag;
    QByteArray lastModified;
};

using RequestHeaders = QList<QPair<QByteArray, QByteArray>>;

// The headers of a request whose bytes are kept so that a later request can continue them. Always
// "Accept-Encoding: identity": a range counts the resource's own bytes, not those of a compressed
// transfer. From a non-zero `offset` on also "Range: bytes=<offset>-" and an "If-Range" with the held
// version's strong ETag, else its Last-Modified, so that a server whose resource changed sends the
// whole new one instead of the tail of it.
RequestHeaders resumableRequestHeaders(qint64 offset, const ResourceVersion &held);

enum class RangeAnswer {
    Continues, // 206 with the rest, from `offset` on, of the version held
    StartsOver, // 200: the whole resource (a server without ranges, or a newer version)
    Unusable, // 416, or a 206 for another range or another version: what is held cannot be continued
    Other, // any other status: the download goes on to fail as any other would
};

// How the answer to a request with resumableRequestHeaders(offset, held) goes on from the bytes held.
RangeAnswer readRangeAnswer(const ResponseHead &head, qint64 offset, const ResourceVersion &held);

} // namespace vexa
