#include "net/streamdownload.h"

#include "net/httpreply.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace vexa {

namespace {

// Bounds what the network stack buffers ahead of us. Without it Qt reads as fast as the socket
// delivers, so a fast server and a slower disk let a multi-gigabyte download pile up in memory.
constexpr qint64 DownloadReadBufferSize = 1024 * 1024;

// One transfer. Each block is handed on right after it is read, while it is still in the cache: a
// thread of its own for the hashing callers do cost more in hand-overs than it saved, and on a machine
// with few cores it competed with the network stack for them.
class StreamTransfer
{
public:
    StreamTransfer(
        const BlockSink &sink, const StreamDownloadOptions &options, const TransferProgressCallback &progress)
        : m_sink(sink)
        , m_options(options)
        , m_progress(progress)
    {
        m_block.resize(DownloadReadBufferSize);
    }

    StreamDownloadResult run(const QUrl &url);

private:
    bool acceptHead();
    void drain();
    void reportProgress(qint64 received, qint64 total);
    void stop(StreamDownloadResult::Outcome outcome);

    const BlockSink &m_sink;
    const StreamDownloadOptions &m_options;
    const TransferProgressCallback &m_progress;
    QNetworkReply *m_reply = nullptr;
    QTimer m_inactivity;
    // The one block the body is read into: a fresh block of this size would come from the system
    // each time and cost a page fault per page, more than the copy itself.
    QByteArray m_block;
    qint64 m_received = 0;
    // Where in the resource the body starts.
    qint64 m_offset = 0;
    enum { HeadPending, HeadAccepted } m_headState = HeadPending;
    int m_lastPercentage = -1;
    // Since the last report; invalid before the first.
    QElapsedTimer m_sinceReport;
    qint64 m_reportedBytes = -1;
    bool m_stopped = false;
    StreamDownloadResult::Outcome m_stopOutcome = StreamDownloadResult::Failed;
};

void StreamTransfer::stop(StreamDownloadResult::Outcome outcome)
{
    m_stopped = true;
    m_stopOutcome = outcome;
    m_reply->abort();
}

bool StreamTransfer::acceptHead()
{
    if (m_headState == HeadAccepted)
        return true;
    if (m_stopped)
        return false;
    m_headState = HeadAccepted;
    if (!m_options.headCheck)
        return true;
    m_offset = m_options.headCheck(responseHead(*m_reply));
    if (m_offset < 0) {
        m_offset = 0;
        stop(StreamDownloadResult::Refused);
        return false;
    }
    // The check may take a while (a hash brought up to date over the bytes held); the server was not
    // silent meanwhile.
    m_inactivity.start(m_options.inactivityTimeoutMs);
    // A continued download shows where it stands before the first new byte arrives.
    if (m_offset > 0)
        reportProgress(0, m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    return true;
}

void StreamTransfer::drain()
{
    while (!m_stopped && m_reply->isOpen() && m_reply->bytesAvailable() > 0) {
        if (!acceptHead())
            return;
        qint64 size = m_reply->read(m_block.data(), m_block.size());
        if (size <= 0)
            return;
        if (m_options.maxBytes > 0)
            size = qMax(qint64(0), qMin(size, m_options.maxBytes + 1 - m_offset - m_received));
        if (!m_sink(QByteArrayView(m_block.constData(), size))) {
            stop(StreamDownloadResult::SinkFailed);
            return;
        }
        m_received += size;
        m_inactivity.start(m_options.inactivityTimeoutMs);
        if (m_options.maxBytes > 0 && m_offset + m_received > m_options.maxBytes)
            stop(StreamDownloadResult::TooLarge);
    }
}

void StreamTransfer::reportProgress(qint64 received, qint64 total)
{
    // Before the head is accepted it is not known where the body starts.
    if (!m_progress || m_headState != HeadAccepted)
        return;
    TransferProgress progress;
    progress.bytesDone = m_offset + received;
    // Qt reports the received count as the total once a transfer of unknown size has ended; that is
    // no known total, and a lone "100%" would only look like a download that had one.
    if (total > 0 && m_reply->header(QNetworkRequest::ContentLengthHeader).isValid()) {
        progress.bytesTotal = m_offset + total;
        const int percentage
            = int(qBound(qint64(0), progress.bytesDone * 100 / progress.bytesTotal, qint64(100)));
        if (percentage != m_lastPercentage) {
            m_lastPercentage = percentage;
            progress.percentage = percentage;
        }
    }
    if (progress.percentage < 0
        && (progress.bytesDone == m_reportedBytes
            || (m_sinceReport.isValid() && m_sinceReport.elapsed() < TransferProgressIntervalMs)))
        return;
    m_reportedBytes = progress.bytesDone;
    m_sinceReport.start();
    m_progress(progress);
}

StreamDownloadResult StreamTransfer::run(const QUrl &url)
{
    QNetworkAccessManager manager;
    QEventLoop loop;
    m_inactivity.setSingleShot(true);
    m_offset = m_options.startOffset;
    if (!m_options.headCheck)
        m_headState = HeadAccepted;
    QNetworkRequest request = downloadRequest(url);
    for (const auto &[name, value] : m_options.requestHeaders)
        request.setRawHeader(name, value);
    m_reply = manager.get(request);
    m_reply->setReadBufferSize(DownloadReadBufferSize);
    QObject::connect(m_reply, &QIODevice::readyRead, m_reply, [this] { drain(); });
    QObject::connect(m_reply, &QNetworkReply::downloadProgress, m_reply,
        [this](qint64 received, qint64 total) { reportProgress(received, total); });
    QObject::connect(
        &m_inactivity, &QTimer::timeout, m_reply, [this] { stop(StreamDownloadResult::TimedOut); });
    QObject::connect(m_reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    m_inactivity.start(m_options.inactivityTimeoutMs);
    if (!m_reply->isFinished())
        loop.exec();
    m_inactivity.stop();

    drain();
    // An answer without a body still has its head checked.
    acceptHead();
    StreamDownloadResult result;
    const bool succeeded = downloadSucceeded(*m_reply, m_received, result.reason);
    m_reply->disconnect();
    m_reply->deleteLater();
    m_reply = nullptr;

    result.receivedBytes = m_received;
    result.bodyOffset = m_offset;
    // A stop we made has already said what went wrong; the reply only knows it was aborted.
    if (m_stopped)
        result.outcome = m_stopOutcome;
    else
        result.outcome = succeeded ? StreamDownloadResult::Completed : StreamDownloadResult::Failed;
    return result;
}

} // namespace

StreamDownloadResult streamDownload(const QUrl &url, const BlockSink &sink,
    const StreamDownloadOptions &options, const TransferProgressCallback &progress)
{
    StreamTransfer transfer(sink, options, progress);
    return transfer.run(url);
}

} // namespace vexa
