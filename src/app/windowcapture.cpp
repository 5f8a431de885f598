#include "app/windowcapture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>

namespace vexa {

void saveFirstFrameAndQuit(QQuickWindow &window, const QString &path)
{
    // frameSwapped may come from the render thread; the context object queues the slot to the GUI
    // thread, where grabbing the window is allowed.
    QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window,
        [&window, path] {
            const QString target = QFileInfo(path).absoluteFilePath();
            const QImage frame = window.grabWindow();
            QDir().mkpath(QFileInfo(target).absolutePath());
            if (frame.isNull() || !frame.save(target, "PNG")) {
                std::fprintf(stderr, "Could not save a screenshot of the main window to %s\n",
                    qUtf8Printable(QDir::toNativeSeparators(target)));
                QCoreApplication::exit(1);
                return;
            }
            std::printf("Saved a screenshot of the main window to %s\n",
                qUtf8Printable(QDir::toNativeSeparators(target)));
            std::fflush(stdout);
            QCoreApplication::exit(0);
        },
        static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
}

} // namespace vexa
