// Times the main window through the real start-up sequence (catalog load, controller, QML window) to
// its first swapped frame, and check-box clicks from the mouse event to the next swapped frame.
//
// Usage:
//   bench_window fixture <directory> <packages> <installed>
//       Writes a generated repository (<directory>/repo) and a root holding <installed> of its
//       packages at <directory>/home/Vexa, the default root when HOME is <directory>/home.
//   bench_window startup <repository>
//       One cold start-up; prints the time of each start-up step and the peak resident memory.
//   bench_window click <repository> [rounds, default 30]
//       Start-up, then ticks and unticks a package row's box with mouse clicks, the list scrolled
//       down; prints click-to-frame times and whether a frame ever showed the list at the top.
//
// run-window-bench.sh runs all of these and the whole program, and prints the figures.

#include "app/appidentity.h"
#include "app/startupsequence.h"
#include "app/startupwindow.h"
#include "support/largecatalog.h"
#include "support/peakmemory.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSaveFile>
#include <QSplashScreen>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <time.h>
#endif

#include <algorithm>
#include <atomic>
#include <functional>

using namespace vexa;

namespace {

QTextStream out(stdout);

// CPU time of the whole process: unlike wall time, not stretched by other programs on a busy machine.
// Both figures are measured on Unix only; elsewhere they read 0.
qint64 processCpuNanoseconds()
{
#ifdef Q_OS_UNIX
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
#else
    return 0;
#endif
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

// Every fifth package is installed (files in place and both manifests), up to `installed`.
int writeFixture(const QString &directory, int packages, int installed)
{
    const QByteArray document = largeCatalog(packages);
    PackageCatalog catalog;
    QString errorText;
    if (!writeFile(directory + QStringLiteral("/repo/catalog.json"), document)
        || !loadFromJson(document, catalog, errorText)) {
        out << "fixture catalog failed: " << errorText << '\n';
        return 1;
    }
    const QString root = directory + QStringLiteral("/home/Vexa");
    const QSet<QString> ids = writeLargeRoot(catalog, root, installed, errorText);
    if (ids.isEmpty()) {
        out << "fixture root failed: " << errorText << '\n';
        return 1;
    }
    out << "fixture: " << packages << " packages, " << ids.size() << " installed in " << root << '\n';
    return 0;
}

double milliseconds(qint64 nanoseconds)
{
    return nanoseconds / 1e6;
}

QString median(QList<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.isEmpty() ? QStringLiteral("-") : QString::number(samples.at(samples.size() / 2), 'f', 2);
}

QString worst(const QList<double> &samples)
{
    return samples.isEmpty() ? QStringLiteral("-")
                             : QString::number(*std::max_element(samples.begin(), samples.end()), 'f', 2);
}

QList<QQuickItem *> shownItems(QQuickItem *item, const QString &name)
{
    QList<QQuickItem *> found;
    if (!item->isVisible())
        return found;
    if (item->objectName() == name)
        found << item;
    for (QQuickItem *child : item->childItems())
        found += shownItems(child, name);
    return found;
}

// Notices the main window when it is shown and calls back once it has swapped its first frame.
class FirstFrameWatcher : public QObject
{
public:
    FirstFrameWatcher(const QElapsedTimer &clock, std::function<void(QQuickWindow *)> onFirstFrame)
        : m_clock(clock)
        , m_onFirstFrame(std::move(onFirstFrame))
    {
        qApp->installEventFilter(this);
    }
    qint64 firstFrameAt() const { return m_firstFrameAt; }
    qint64 firstFrameCpu() const { return m_firstFrameCpu; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = qobject_cast<QQuickWindow *>(watched);
        if (window && !m_window && event->type() == QEvent::Show) {
            m_window = window;
            // Direct, so the time is taken on the thread that swapped; the rest runs on this one.
            connect(
                window, &QQuickWindow::frameSwapped, this,
                [this] {
                    m_firstFrameAt = m_clock.nsecsElapsed();
                    m_firstFrameCpu = processCpuNanoseconds();
                    QMetaObject::invokeMethod(
                        this, [this] { m_onFirstFrame(m_window); }, Qt::QueuedConnection);
                },
                static_cast<Qt::ConnectionType>(Qt::DirectConnection | Qt::SingleShotConnection));
        }
        return false;
    }

private:
    const QElapsedTimer &m_clock;
    std::function<void(QQuickWindow *)> m_onFirstFrame;
    QQuickWindow *m_window = nullptr;
    std::atomic<qint64> m_firstFrameAt { 0 };
    std::atomic<qint64> m_firstFrameCpu { 0 };
};

// Clicks one package row's box `rounds` times (tick, untick, ...) with the list scrolled down. Each
// time it notes the first frame swapped after the click and the first frame that shows the new plan
// summary, and whether any frame showed the list back at the top.
void clickRounds(QQuickWindow *window, int rounds)
{
    QQuickItem *list = shownItems(window->contentItem(), QStringLiteral("packageList")).value(0);
    QQuickItem *summary = shownItems(window->contentItem(), QStringLiteral("summaryText")).value(0);
    if (!list || !summary) {
        out << "window items not found\n";
        return;
    }
    out << "summary text: " << summary->property("text").toString().size() << " characters, "
        << summary->property("lineCount").toInt() << " lines\n";
    const qreal scrolledTo = 3000;
    list->setProperty("contentY", scrolledTo);
    QTest::qWait(50);

    QElapsedTimer clock;
    clock.start();
    // Written where frames are synchronized or swapped, which may be the render thread.
    std::atomic<bool> clicked { false };
    std::atomic<bool> syncedAfterClick { false };
    std::atomic<bool> summarySynced { false };
    std::atomic<bool> sawTop { false };
    std::atomic<qint64> frameAt { 0 };
    std::atomic<qint64> summaryFrameAt { 0 };
    std::atomic<qint64> frameCpu { 0 };
    std::atomic<qint64> summaryFrameCpu { 0 };
    QString summaryBefore;

    // The GUI thread is blocked while a frame synchronizes, so the items can be read here.
    QObject::connect(
        window, &QQuickWindow::beforeSynchronizing, window,
        [&] {
            if (!clicked)
                return;
            syncedAfterClick = true;
            if (list->property("contentY").toReal() < scrolledTo / 2)
                sawTop = true;
            if (summary->property("text").toString() != summaryBefore)
                summarySynced = true;
        },
        Qt::DirectConnection);
    QEventLoop loop;
    QObject::connect(
        window, &QQuickWindow::frameSwapped, &loop,
        [&] {
            // A frame synchronized before the click may still be swapped while the click runs.
            if (!syncedAfterClick)
                return;
            const qint64 now = clock.nsecsElapsed();
            const qint64 cpu = processCpuNanoseconds();
            if (frameAt == 0) {
                frameAt = now;
                frameCpu = cpu;
            }
            if (summarySynced && summaryFrameAt == 0) {
                summaryFrameAt = now;
                summaryFrameCpu = cpu;
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            }
        },
        Qt::DirectConnection);

    QList<double> toFrame, toSummaryFrame, cpuToFrame, cpuToSummaryFrame, handling;
    int topFrames = 0;
    for (int round = 0; round < rounds; ++round) {
        QQuickItem *box = shownItems(list, QStringLiteral("packageCheck")).value(4);
        if (!box) {
            out << "no package box shown\n";
            return;
        }
        const QPoint at = box->mapToScene(QPointF(box->width() / 2, box->height() / 2)).toPoint();
        summaryBefore = summary->property("text").toString();
        frameAt = 0;
        summaryFrameAt = 0;
        syncedAfterClick = false;
        summarySynced = false;
        sawTop = false;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);

        clicked = true;
        const qint64 start = clock.nsecsElapsed();
        const qint64 startCpu = processCpuNanoseconds();
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
        handling << milliseconds(processCpuNanoseconds() - startCpu);
        if (summaryFrameAt == 0)
            loop.exec();
        clicked = false;
        // Let a deferred scroll restore and its frame finish before the next click.
        QTest::qWait(30);

        toFrame << milliseconds(frameAt - start);
        toSummaryFrame << milliseconds(summaryFrameAt - start);
        cpuToFrame << milliseconds(frameCpu - startCpu);
        cpuToSummaryFrame << milliseconds(summaryFrameCpu - startCpu);
        if (sawTop)
            ++topFrames;
    }
    out << "click to next swapped frame: median " << median(toFrame) << " ms, worst " << worst(toFrame)
        << " ms (CPU time median " << median(cpuToFrame) << " ms)\n";
    out << "click to frame showing the new summary: median " << median(toSummaryFrame) << " ms, worst "
        << worst(toSummaryFrame) << " ms (CPU time median " << median(cpuToSummaryFrame) << " ms)\n";
    out << "of which the click's own handling (the controller and the bindings): CPU time median "
        << median(handling) << " ms\n";
    out << "frames that showed the list at the top after a click: " << topFrames << " of " << rounds << '\n';
    out << "peak resident memory: " << peakResidentKilobytes() << " KiB\n";
}

} // namespace

int main(int argc, char **argv)
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("fixture") && argc == 5) {
        QCoreApplication application(argc, argv);
        const QStringList args = application.arguments();
        return writeFixture(args.at(2), args.at(3).toInt(), args.at(4).toInt());
    }
    if ((mode != QLatin1String("startup") && mode != QLatin1String("click")) || argc < 3) {
        out << "usage: bench_window fixture <directory> <packages> <installed> | startup <repository> | "
               "click <repository> [rounds]\n";
        return 2;
    }

    selectQuickControlsStyle();
    QApplication application(argc, argv);
    applyApplicationIdentity();
    const QStringList args = application.arguments();

    QElapsedTimer clock;
    const std::unique_ptr<QSplashScreen> splash = createStartupWindow();
    QList<QPair<QString, qint64>> steps;
    QObject::connect(splash.get(), &QSplashScreen::messageChanged, [&](const QString &message) {
        steps.append({ message.section(QLatin1Char('\n'), 0, 0), clock.nsecsElapsed() });
    });
    const int rounds = args.value(3, QStringLiteral("30")).toInt();
    FirstFrameWatcher watcher(clock, [&](QQuickWindow *window) {
        if (mode == QLatin1String("click"))
            clickRounds(window, rounds);
        QCoreApplication::exit(0);
    });

    StartupOptions options;
    options.repositoryDir = args.at(2);
    options.skipSelfUpdate = true;
    clock.start();
    const int exitCode = runStartupSequence(application, *splash, options, presentCriticalMessage);
    if (exitCode != 0 || watcher.firstFrameAt() == 0) {
        out << "start-up failed with exit code " << exitCode << '\n';
        return 1;
    }

    if (mode == QLatin1String("startup")) {
        steps.append({ QStringLiteral("first frame swapped"), watcher.firstFrameAt() });
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const qint64 end = i + 1 < steps.size() ? steps.at(i + 1).second : steps.at(i).second;
            out << QStringLiteral("%1 at %2 ms (step %3 ms)\n")
                       .arg(steps.at(i).first, -36)
                       .arg(milliseconds(steps.at(i).second), 8, 'f', 1)
                       .arg(milliseconds(end - steps.at(i).second), 7, 'f', 1);
        }
        const qint64 catalogLoad = steps.size() > 1 ? steps.at(1).second : 0;
        out << "catalog load to first frame: "
            << QString::number(milliseconds(watcher.firstFrameAt() - catalogLoad), 'f', 1) << " ms\n";
        out << "process CPU time at the first frame: "
            << QString::number(milliseconds(watcher.firstFrameCpu()), 'f', 1) << " ms\n";
        out << "peak resident memory: " << peakResidentKilobytes() << " KiB\n";
    }
    return 0;
}
