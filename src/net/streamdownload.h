#pragma once

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
// Receives the whole percentage of a transfer whose length the server announced, once per change.
using PercentCallback = std::function<void(int percentage)>;

struct StreamDownloadOptions
{
    // Above 0: the body is cut one byte past this many bytes, enough to know it is too large, so a
    // server that sends no length (or a wrong one) cannot fill the disk.
    qint64 maxBytes = 0;
    int inactivityTimeoutMs = DownloadInactivityTimeoutMs;
};

struct StreamDownloadResult
{
    enum Outcome { Completed, SinkFailed, TimedOut, TooLarge, Failed };
    Outcome outcome = Failed;
    // For Failed: the text that follows "Failed to download <what>: ".
    QString reason;
    qint64 receivedBytes = 0;
};

// Streams the body of a GET for `url` into `sink` block by block, so a body of any size needs no memory
// of its own, while the calling thread's event loop keeps turning. Redirects are followed unless they
// lead from https to http.
StreamDownloadResult streamDownload(const QUrl &url, const BlockSink &sink,
    const StreamDownloadOptions &options = {}, const PercentCallback &percent = {});

} // namespace vexa
