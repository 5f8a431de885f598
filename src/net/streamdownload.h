#pragma once

#include "net/httpreply.h"
#include "net/rangerequest.h"

#include <QByteArrayView>
#include <QString>
#include <QUrl>

#include <functional>

namespace vexa {

// A download fails when no data arrived for this long; the limit restarts with every block received.
constexpr int DownloadInactivityTimeoutMs = 120000;

// Takes each block of the body as it arrives; false means the block could not be stored and ends the
// download.
using BlockSink = std::function<bool(QByteArrayView block)>;
// Where a transfer stands. The bytes count those held from before the body (the start offset) too;
// `bytesTotal` is -1 while the server announced no length. `percentage` is the whole percentage of a
// transfer of known length, set only on the report where it changes and -1 on the others.
struct TransferProgress
{
    qint64 bytesDone = 0;
    qint64 bytesTotal = -1;
    int percentage = -1;
};
// Reports that only move the bytes on come at most once per this many milliseconds: often enough for
// a live rate and time left, rarely enough that a fast download spends nothing on them.
constexpr int TransferProgressIntervalMs = 100;
// Receives every change of the whole percentage and, in between, the bytes at most once per
// TransferProgressIntervalMs. A continued download's first report shows the bytes held before.
using TransferProgressCallback = std::function<void(const TransferProgress &progress)>;
// Sees the answer's head before the first byte of its body reaches the sink (or once the reply ends,
// for an answer without one) and returns where in the resource the body starts: the start offset when
// the server sent the rest, 0 when it sent the whole resource. Below 0 refuses the answer, which ends
// the download as Refused.
using HeadCheck = std::function<qint64(const ResponseHead &head)>;

struct StreamDownloadOptions
{
    // Above 0: the resource is cut one byte past this many bytes (those held before the body count
    // too), enough to know it is too large, so a server that sends no length (or a wrong one) cannot
    // fill the disk.
    qint64 maxBytes = 0;
    int inactivityTimeoutMs = DownloadInactivityTimeoutMs;
    // Sent with the request, such as those of resumableRequestHeaders().
    RequestHeaders requestHeaders;
    // Bytes of the resource held from an earlier download that the body is asked to continue. The
    // progress counts them as received and adds them to the announced length; the head check may set
    // them back to 0.
    qint64 startOffset = 0;
    HeadCheck headCheck;
};

struct StreamDownloadResult
{
    enum Outcome { Completed, SinkFailed, TimedOut, TooLarge, Failed, Refused };
    Outcome outcome = Failed;
    // For Failed: the text that follows "Failed to download <what>: ".
    QString reason;
    // Body bytes handed to the sink.
    qint64 receivedBytes = 0;
    // Where in the resource the body started (the start offset, or what the head check returned).
    qint64 bodyOffset = 0;
};

// Streams the body of a GET for `url` into `sink` block by block, so a body of any size needs no memory
// of its own, while the calling thread's event loop keeps turning. Redirects are followed unless they
// lead from https to http.
StreamDownloadResult streamDownload(const QUrl &url, const BlockSink &sink,
    const StreamDownloadOptions &options = {}, const TransferProgressCallback &progress = {});

} // namespace vexa
