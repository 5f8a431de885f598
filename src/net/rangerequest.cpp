#include "net/rangerequest.h"

namespace vexa {

namespace {

// The first byte of "bytes <first>-<last>/<length>", or -1.
qint64 rangeStart(const QByteArray &contentRange)
{
    if (!contentRange.startsWith("bytes "))
        return -1;
    const QByteArray range = contentRange.mid(6).trimmed();
    const qsizetype dash = range.indexOf('-');
    bool ok = false;
    const qint64 first = range.left(dash).toLongLong(&ok);
    return dash > 0 && ok ? first : -1;
}

} // namespace

RequestHeaders resumableRequestHeaders(qint64 offset, const ResourceVersion &held)
{
    RequestHeaders headers { { QByteArray("Accept-Encoding"), QByteArray("identity") } };
    if (offset <= 0)
        return headers;
    headers.append({ QByteArray("Range"), "bytes=" + QByteArray::number(offset) + '-' });
    // A weak ETag may not guard a range; a date may.
    if (!held.etag.isEmpty() && !held.etag.startsWith("W/"))
        headers.append({ QByteArray("If-Range"), held.etag });
    else if (!held.lastModified.isEmpty())
        headers.append({ QByteArray("If-Range"), held.lastModified });
    return headers;
}

RangeAnswer readRangeAnswer(const ResponseHead &head, qint64 offset, const ResourceVersion &held)
{
    switch (head.status) {
    case 200:
        return RangeAnswer::StartsOver;
    case 416:
        return RangeAnswer::Unusable;
    case 206:
        break;
    default:
        return RangeAnswer::Other;
    }
    if (rangeStart(head.contentRange) != offset)
        return RangeAnswer::Unusable;
    // A server that ignores If-Range still names the version it sends.
    if (!held.etag.isEmpty() && !head.etag.isEmpty())
        return head.etag == held.etag ? RangeAnswer::Continues : RangeAnswer::Unusable;
    if (!held.lastModified.isEmpty() && !head.lastModified.isEmpty())
        return head.lastModified == held.lastModified ? RangeAnswer::Continues : RangeAnswer::Unusable;
    return RangeAnswer::Continues;
}

} // namespace vexa
