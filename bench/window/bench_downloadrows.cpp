// The busy overlay with many download rows: the real window (offscreen) over a real controller that
// applies a catalog whose every package is downloaded. run-window-bench.sh serves the first archive
// slowly, so that its percentage lines arrive one by one while all the rows are shown, and makes that
// archive fail to extract, so that the apply ends after it.
//
// Usage: bench_downloadrows <catalog url> <root>
//
// Prints, for the progress lines that moved a row, the GUI thread's work on each line (from the status
// change that starts it to the last handler of the rows' change) and the frame that shows it (from the
// end of its animations to its swap; offscreen, the software renderer draws on the GUI thread).

#include "app/appidentity.h"
#include "app/mainwindow.h"
#include "catalog/catalogloading.h"
#include "controller/installercontroller.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTest>
#include <QTextStream>

#include <algorithm>

using namespace vexa;

namespace {

QTextStream out(stdout);

QString summary(QList<double> samples)
{
    if (samples.isEmpty())
        return QStringLiteral("no samples");
    std::sort(samples.begin(), samples.end());
    return QStringLiteral("median %1 ms, longest %2 ms (%3 samples)")
        .arg(samples.at(samples.size() / 2), 0, 'f', 3)
        .arg(samples.constLast(), 0, 'f', 3)
        .arg(samples.size());
}

} // namespace

int main(int argc, char **argv)
{
    selectQuickControlsStyle();
    QApplication application(argc, argv);
    applyApplicationIdentity();
    const QStringList args = application.arguments();
    if (args.size() < 3) {
        out << "usage: bench_downloadrows <catalog url> <root>\n";
        return 2;
    }

    LoadedCatalog loaded;
    QString errorText;
    if (!loadCatalog(args.at(1), loaded, errorText)) {
        out << "catalog: " << errorText << '\n';
        return 1;
    }
    InstallerController controller(std::move(loaded.catalog), loaded.repositoryBase, loaded.catalogSource);
    controller.setRootPath(QFileInfo(args.at(2)).absoluteFilePath());
    controller.refresh();

    // A progress line sets the status, then moves the rows; connected before the window's own
    // bindings and after them, the two handlers bracket all the GUI-thread work of one line.
    QElapsedTimer lineClock;
    QList<double> lineMs;
    QObject::connect(&controller, &InstallerController::statusTextChanged, [&] { lineClock.start(); });

    QQmlApplicationEngine engine;
    QQuickWindow *window = loadMainWindow(engine, &controller);
    if (!window || !QTest::qWaitForWindowExposed(window))
        return 1;

    bool rowsMoved = false;
    qsizetype rows = 0;
    QObject::connect(&controller, &InstallerController::downloadEntriesChanged, [&] {
        rows = std::max(rows, controller.downloadEntries().size());
        if (lineClock.isValid() && controller.busy()) {
            lineMs << double(lineClock.nsecsElapsed()) / 1e6;
            rowsMoved = true;
        }
        lineClock.invalidate();
    });
    // The frame after a line that moved a row.
    QElapsedTimer frameClock;
    QList<double> frameMs;
    QObject::connect(
        window, &QQuickWindow::afterAnimating, window,
        [&] {
            if (rowsMoved)
                frameClock.start();
            rowsMoved = false;
        },
        Qt::DirectConnection);
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [&] {
            if (frameClock.isValid())
                frameMs << double(frameClock.nsecsElapsed()) / 1e6;
            frameClock.invalidate();
        },
        Qt::DirectConnection);

    QEventLoop finished;
    QObject::connect(&controller, &InstallerController::busyChanged, &finished, [&] {
        if (!controller.busy())
            finished.quit();
    });
    QMetaObject::invokeMethod(&controller, &InstallerController::apply, Qt::QueuedConnection);
    finished.exec();

    out << "download rows shown: " << rows << '\n';
    out << "GUI-thread work of a progress line that moves a row: " << summary(lineMs) << '\n';
    out << "GUI-thread part of the frame that shows it: " << summary(frameMs) << '\n';
    return 0;
}
