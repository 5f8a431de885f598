#pragma once

#include <QString>

class QQuickWindow;

namespace vexa {

// Once `window` has drawn its first frame, saves that frame to `path` as PNG, prints where it went on
// standard output and ends the event loop: with 0 when the file was written, else with 1 and the
// reason on standard error.
void saveFirstFrameAndQuit(QQuickWindow &window, const QString &path);

} // namespace vexa
