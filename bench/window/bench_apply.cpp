// Responsiveness of the main window while an apply downloads a large archive: the real window
// (offscreen) over a real controller applies a catalog's default selection from an HTTP(S) server,
// while a timer moves an item in the window every 16 ms so that every frame is wanted.
//
// Usage: bench_apply <catalog url> <root> [idle baseline ms, default 2000]
//
// Prints, for the idle baseline, the download (from the "Downloading %1..." line to "Downloaded %1.")
// and the whole apply: frames swapped and the longest gap between two of them; then the download's
// seconds and MiB/s and the downloadEntriesChanged emissions. run-apply-bench.sh sets the download
// against bench_archive's download of the same file.

#include "app/appidentity.h"
#include "app/mainwindow.h"
#include "catalog/catalogloading.h"
#include "controller/installercontroller.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace vexa;

namespace {

QTextStream out(stdout);

// Swap times of every frame, taken on whichever thread swaps.
class FrameClock
{
public:
    explicit FrameClock(QQuickWindow *window)
    {
        m_clock.start();
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [this] {
                const QMutexLocker lock(&m_mutex);
                m_frames.push_back(m_clock.nsecsElapsed());
            },
            Qt::DirectConnection);
    }
    qint64 now() const { return m_clock.nsecsElapsed(); }

    // Frames swapped in [from, to] and the longest gap between two consecutive frames there
    // (counting the span's edges, so a frozen window shows as one long gap).
    QString span(qint64 from, qint64 to)
    {
        const QMutexLocker lock(&m_mutex);
        qint64 previous = from;
        qint64 longest = 0;
        qint64 longestEnd = from;
        int count = 0;
        const auto gapTo = [&](qint64 end) {
            if (end - previous > longest) {
                longest = end - previous;
                longestEnd = end;
            }
            previous = end;
        };
        for (const qint64 frame : m_frames) {
            if (frame >= from && frame <= to) {
                gapTo(frame);
                ++count;
            }
        }
        gapTo(to);
        return QStringLiteral("%1 frames in %2 ms, longest gap %3 ms, ending %4 ms in")
            .arg(count)
            .arg(double(to - from) / 1e6, 0, 'f', 0)
            .arg(double(longest) / 1e6, 0, 'f', 1)
            .arg(double(longestEnd - from) / 1e6, 0, 'f', 0);
    }

private:
    QElapsedTimer m_clock;
    QMutex m_mutex;
    std::vector<qint64> m_frames;
};

// An item the window redraws every 16 ms, driven by a QML timer on the GUI thread: a blocked GUI
// thread shows as a gap between frames.
bool addTicker(QQmlApplicationEngine &engine, QQuickWindow *window)
{
    QQmlComponent component(&engine);
    component.setData("import QtQuick\n"
                      "Rectangle { width: 24; height: 24; color: \"#5cc8ff\"; z: 100\n"
                      "  Timer { interval: 16; repeat: true; running: true\n"
                      "    onTriggered: parent.x = (parent.x + 4) % 400 } }\n",
        QUrl());
    auto *item = qobject_cast<QQuickItem *>(component.create());
    if (!item) {
        out << component.errorString() << '\n';
        return false;
    }
    item->setParent(window->contentItem());
    item->setParentItem(window->contentItem());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    selectQuickControlsStyle();
    QApplication application(argc, argv);
    applyApplicationIdentity();
    const QStringList args = application.arguments();
    if (args.size() < 3) {
        out << "usage: bench_apply <catalog url> <root> [idle baseline ms]\n";
        return 2;
    }
    const int idleMs = args.value(3, QStringLiteral("2000")).toInt();

    LoadedCatalog loaded;
    QString errorText;
    if (!loadCatalog(args.at(1), loaded, errorText)) {
        out << "catalog: " << errorText << '\n';
        return 1;
    }
    qint64 bytes = 0;
    for (const PackageDefinition &package : loaded.catalog.packages())
        bytes += package.default_selected ? std::max<qint64>(package.size_bytes, 0) : 0;
    InstallerController controller(std::move(loaded.catalog), loaded.repositoryBase, loaded.catalogSource);
    controller.setRootPath(QFileInfo(args.at(2)).absoluteFilePath());
    controller.refresh();
    if (!controller.hasChanges()) {
        out << "nothing to apply\n";
        return 1;
    }

    // A progress line sets the status, then moves the rows; connected before the window's own
    // bindings and after them, the two handlers bracket all the GUI-thread work of one line.
    QElapsedTimer lineClock;
    QList<double> lineMs;
    QObject::connect(&controller, &InstallerController::statusTextChanged, [&] { lineClock.start(); });

    QQmlApplicationEngine engine;
    QQuickWindow *window = loadMainWindow(engine, &controller);
    if (!window || !QTest::qWaitForWindowExposed(window) || !addTicker(engine, window))
        return 1;
    FrameClock frames(window);

    const qint64 idleStart = frames.now();
    QTest::qWait(idleMs);
    const qint64 idleEnd = frames.now();

    qint64 downloadStart = 0;
    qint64 downloadEnd = 0;
    int rowEmissions = 0;
    int rowEmissionsInDownload = 0;
    QObject::connect(&controller, &InstallerController::statusTextChanged, [&] {
        const QString status = controller.statusText();
        if (downloadStart == 0 && status.startsWith(QLatin1String("Downloading "))
            && status.endsWith(QLatin1String("...")))
            downloadStart = frames.now();
        if (downloadEnd == 0 && status.startsWith(QLatin1String("Downloaded ")))
            downloadEnd = frames.now();
    });
    QObject::connect(&controller, &InstallerController::downloadEntriesChanged, [&] {
        ++rowEmissions;
        if (downloadStart != 0 && downloadEnd == 0)
            ++rowEmissionsInDownload;
        if (lineClock.isValid())
            lineMs << double(lineClock.nsecsElapsed()) / 1e6;
        lineClock.invalidate();
    });
    QString title;
    QString message;
    QEventLoop finished;
    QObject::connect(
        &controller, &InstallerController::messageRequested, [&](const QString &t, const QString &m) {
            title = t;
            message = m;
            finished.quit();
        });

    const qint64 applyStart = frames.now();
    QMetaObject::invokeMethod(&controller, &InstallerController::apply, Qt::QueuedConnection);
    finished.exec();
    const qint64 applyEnd = frames.now();
    if (title != QLatin1String("Vexa ready") || downloadStart == 0 || downloadEnd == 0) {
        out << "apply: " << title << ": " << message << '\n';
        return 1;
    }

    const double downloadSeconds = double(downloadEnd - downloadStart) / 1e9;
    out << "idle, animation only: " << frames.span(idleStart, idleEnd) << '\n';
    out << "download: " << frames.span(downloadStart, downloadEnd) << '\n';
    out << "whole apply: " << frames.span(applyStart, applyEnd) << '\n';
    out << "download seconds=" << QString::number(downloadSeconds, 'f', 3)
        << " MiB/s=" << QString::number(double(bytes) / (1 << 20) / downloadSeconds, 'f', 1) << '\n';
    std::sort(lineMs.begin(), lineMs.end());
    out << "GUI-thread work of a progress line that moves a row: median "
        << QString::number(lineMs.value(lineMs.size() / 2), 'f', 2) << " ms, longest "
        << QString::number(lineMs.isEmpty() ? 0.0 : lineMs.constLast(), 'f', 2) << " ms\n";
    out << "downloadEntriesChanged: " << rowEmissionsInDownload << " during the download, " << rowEmissions
        << " in the whole apply\n";
    return 0;
}
