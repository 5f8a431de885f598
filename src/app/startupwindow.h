#pragma once

#include <QString>

#include <memory>

class QApplication;
class QPixmap;
class QSplashScreen;

namespace vexa {

// Widest detail line on the start-up window, measured in StartupDetailFontFamily at
// StartupDetailPointSize; longer details lose their middle.
constexpr int StartupDetailMaxWidth = 640;
inline const QString StartupDetailFontFamily = QStringLiteral("Segoe UI");
constexpr int StartupDetailPointSize = 12;
inline const QString StartupStatusColor = QStringLiteral("#d7e6fb");

// The 760 x 420 start-up image: gradient background, two soft circles and the title card.
QPixmap renderSplashPixmap();

// The start-up window showing renderSplashPixmap, kept above other windows; not yet shown.
std::unique_ptr<QSplashScreen> createStartupWindow();

// The text showStartupStatus puts on the window: the trimmed message, and below it the trimmed
// detail elided in the middle, when the detail is not blank.
QString startupStatusText(const QString &message, const QString &detail);

// Shows one status on the start-up window and lets it paint before the caller blocks again.
void showStartupStatus(QApplication &application, QSplashScreen &splash, const QString &message,
    const QString &detail = QString());

} // namespace vexa
