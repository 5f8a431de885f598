#pragma once

#include <QtGlobal>

namespace vexa {

enum class ProcessWaitResult {
    NotRunning, // no process with that id could be found: there is nothing to wait for
    Ended, // the process ended within the limit
    TimedOut, // the process was still running when the limit ran out
    Failed, // the wait itself went wrong
};

// Waits up to `timeoutMs` for the process with this id to end. The process need not be a child of
// this one. Windows opens it with synchronize access and waits on its handle; Linux waits on a
// pidfd and, where the kernel has none, polls for the process every few tens of milliseconds.
ProcessWaitResult waitForProcessExit(qint64 processId, int timeoutMs);

} // namespace vexa
