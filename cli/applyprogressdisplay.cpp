#include "cli/applyprogressdisplay.h"

#include "cli/console.h"
#include "controller/plansummary.h"

namespace vexa {

namespace {

// "45 s" or "3 min 20 s".
QString durationText(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
}

// The live line of a download, shorter while its size or rate is not known yet.
QString liveText(const QString &label, qint64 bytesDone, qint64 bytesTotal, double bytesPerSecond)
{
    QString text = QStringLiteral("Downloading %1  %2").arg(label, formatByteSize(bytesDone));
    if (bytesTotal > 0)
        text += QStringLiteral(" of %1").arg(formatByteSize(bytesTotal));
    if (bytesPerSecond >= 1.0) {
        text += QStringLiteral("  %1/s").arg(formatByteSize(qint64(bytesPerSecond)));
        if (bytesTotal > bytesDone)
            text += QStringLiteral("  %1 left")
                        .arg(durationText(qint64(double(bytesTotal - bytesDone) / bytesPerSecond)));
    }
    return text;
}

QString finishedText(const QString &label, qint64 bytes, double seconds)
{
    return QStringLiteral("Downloaded %1  %2 in %3 s")
        .arg(label, formatByteSize(bytes), QString::number(seconds, 'f', 1));
}

} // namespace

ApplyProgressDisplay::ApplyProgressDisplay(const Console &console, bool terminal)
    : m_console(console)
    , m_terminal(terminal)
{ }

void ApplyProgressDisplay::show(const ApplyProgress &event)
{
    using Phase = ApplyProgress::Phase;
    if (event.phase == Phase::DownloadStarted) {
        m_clock.start();
        m_startBytes = -1;
        m_lastTenth = 0;
    }
    // The rate counts from the first bytes reported: a continued download reports the bytes it already
    // held first, and those did not arrive now.
    if (event.phase == Phase::Downloading && m_startBytes < 0) {
        m_startBytes = event.bytesDone;
        m_clock.start();
    }
    if (!m_terminal) {
        // A line at each step and a download's start and end, and one per tenth of the download.
        if (event.phase == Phase::Downloading) {
            if (event.percentage < 0 || event.percentage >= 100 || event.percentage / 10 <= m_lastTenth)
                return;
            m_lastTenth = event.percentage / 10;
        }
        const QString line = applyProgressLine(event);
        if (!line.isEmpty())
            m_console.message(line);
        return;
    }

    switch (event.phase) {
    case Phase::DownloadStarted:
    case Phase::Downloading: {
        const double seconds = double(m_clock.isValid() ? m_clock.nsecsElapsed() : 0) / 1e9;
        const double rate
            = seconds > 0.2 && m_startBytes >= 0 ? double(event.bytesDone - m_startBytes) / seconds : 0.0;
        m_console.liveLine(liveText(event.label, event.bytesDone, event.bytesTotal, rate), false);
        m_lineOpen = true;
        break;
    }
    case Phase::Downloaded:
        m_console.liveLine(finishedText(event.label, event.bytesDone,
                               double(m_clock.isValid() ? m_clock.nsecsElapsed() : 0) / 1e9),
            true);
        m_lineOpen = false;
        break;
    default:
        finish();
        m_console.message(applyProgressLine(event));
        break;
    }
}

void ApplyProgressDisplay::finish()
{
    if (!m_lineOpen)
        return;
    m_console.message(QString());
    m_lineOpen = false;
}

ApplyProgressCallback ApplyProgressDisplay::callback()
{
    return [this](const ApplyProgress &event) { show(event); };
}

} // namespace vexa
