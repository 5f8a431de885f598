#pragma once

#include "engine/applyprogress.h"

#include <QElapsedTimer>
#include <QString>

namespace vexa {

class Console;

// Shows an apply's progress events on standard error. On a terminal each download is one live line
// (bytes, rate, time left) rewritten in place, which ends as a finished line; elsewhere, so that CI
// logs stay short, only the apply's own lines at each step's start, every 10% of a download and its
// end. Text from the catalog reaches the terminal escaped (Console).
class ApplyProgressDisplay
{
public:
    ApplyProgressDisplay(const Console &console, bool terminal);

    void show(const ApplyProgress &event);
    // Ends a live line that no Downloaded event finished (an apply that failed mid-download).
    void finish();
    ApplyProgressCallback callback();

private:
    const Console &m_console;
    const bool m_terminal;
    bool m_lineOpen = false;
    // The download in progress: when it started, the bytes it held then and the last tenth reported.
    QElapsedTimer m_clock;
    // The bytes held at the download's first report, -1 before it.
    qint64 m_startBytes = -1;
    int m_lastTenth = 0;
};

} // namespace vexa
