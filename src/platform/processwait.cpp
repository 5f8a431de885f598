#include "platform/processwait.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <QDeadlineTimer>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace vexa {

#ifdef Q_OS_WIN

ProcessWaitResult waitForProcessExit(qint64 processId, int timeoutMs)
{
    if (processId <= 0 || processId > qint64(MAXDWORD))
        return ProcessWaitResult::NotRunning;
    // A process that has already gone (the usual case) cannot be opened.
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(processId));
    if (!process)
        return ProcessWaitResult::NotRunning;
    const DWORD result = WaitForSingleObject(process, DWORD(qMax(0, timeoutMs)));
    CloseHandle(process);
    if (result == WAIT_OBJECT_0)
        return ProcessWaitResult::Ended;
    return result == WAIT_TIMEOUT ? ProcessWaitResult::TimedOut : ProcessWaitResult::Failed;
}

#else

namespace {

constexpr int ExistencePollIntervalMs = 20;

bool processExists(pid_t pid)
{
    // EPERM: the process exists but belongs to somebody else.
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// For kernels without pidfd_open (before Linux 5.3) and systems other than Linux.
ProcessWaitResult pollForExit(pid_t pid, int timeoutMs)
{
    if (!processExists(pid))
        return ProcessWaitResult::NotRunning;
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    while (processExists(pid)) {
        if (deadline.hasExpired())
            return ProcessWaitResult::TimedOut;
        QThread::msleep(qMin<qint64>(ExistencePollIntervalMs, qMax<qint64>(1, deadline.remainingTime())));
    }
    return ProcessWaitResult::Ended;
}

} // namespace

ProcessWaitResult waitForProcessExit(qint64 processId, int timeoutMs)
{
    const pid_t pid = pid_t(processId);
    if (processId <= 0 || qint64(pid) != processId)
        return ProcessWaitResult::NotRunning;
#ifdef SYS_pidfd_open
    const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0 && errno == ESRCH)
        return ProcessWaitResult::NotRunning;
    if (pidfd >= 0) {
        // The descriptor turns readable when the process ends, whoever its parent is.
        const QDeadlineTimer deadline(qMax(0, timeoutMs));
        pollfd watched { pidfd, POLLIN, 0 };
        int ready = 0;
        do {
            ready = ::poll(&watched, 1, int(deadline.remainingTime()));
        } while (ready < 0 && errno == EINTR);
        ::close(pidfd);
        if (ready > 0)
            return ProcessWaitResult::Ended;
        return ready == 0 ? ProcessWaitResult::TimedOut : ProcessWaitResult::Failed;
    }
#endif
    return pollForExit(pid, timeoutMs);
}

#endif

} // namespace vexa
