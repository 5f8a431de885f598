#include "platform/processwait.h"

#include <QProcess>
#include <QtTest>

using namespace vexa;

class TestProcessWait : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void waitsForAnyProcess();
};

void TestProcessWait::waitsForAnyProcess()
{
    // Stands in for the installer: runs until its input closes.
    QProcess running;
    running.start(QStringLiteral("cat"), {});
    QVERIFY(running.waitForStarted());
    const qint64 pid = running.processId();
    QCOMPARE(waitForProcessExit(pid, 50), ProcessWaitResult::TimedOut);
    running.closeWriteChannel();
    QCOMPARE(waitForProcessExit(pid, 30000), ProcessWaitResult::Ended);
    QVERIFY(running.waitForFinished());
    // Gone and reaped: there is nothing to wait for, as with no process id at all.
    QCOMPARE(waitForProcessExit(pid, 30000), ProcessWaitResult::NotRunning);
    QCOMPARE(waitForProcessExit(0, 30000), ProcessWaitResult::NotRunning);
    QCOMPARE(waitForProcessExit(-7, 30000), ProcessWaitResult::NotRunning);
}

QTEST_GUILESS_MAIN(TestProcessWait)
#include "tst_processwait.moc"
