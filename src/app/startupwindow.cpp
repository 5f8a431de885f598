#include "app/startupwindow.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QSplashScreen>

namespace vexa {

namespace {

constexpr int SplashWidth = 760;
constexpr int SplashHeight = 420;

QColor color(const char *name)
{
    return QColor(QLatin1String(name));
}

} // namespace

QPixmap renderSplashPixmap()
{
    QPixmap pixmap(SplashWidth, SplashHeight);
    pixmap.fill(Qt::transparent);

    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    QLinearGradient background(QPointF(0, 0), QPointF(0, SplashHeight));
    background.setColorAt(0, color("#091018"));
    background.setColorAt(1, color("#101724"));
    painter.fillRect(pixmap.rect(), background);

    painter.setPen(Qt::NoPen);
    painter.setOpacity(0.22);
    painter.setBrush(color("#124466"));
    painter.drawEllipse(QRect(510, -90, 320, 320));
    painter.setOpacity(0.28);
    painter.setBrush(color("#0f3548"));
    painter.drawEllipse(QRect(-130, 170, 260, 260));
    painter.setOpacity(1.0);

    // The card covers exactly the pixels x 36..723 and y 34..385. Its 1-pixel outline is stroked
    // along the centres of the edge pixels so that antialiasing keeps it crisp instead of smearing
    // it over two pixel rows.
    const QRect card(36, 34, 688, 352);
    painter.setPen(QPen(color("#283445"), 1, Qt::SolidLine));
    painter.setBrush(color("#17212d"));
    painter.drawRoundedRect(QRectF(card).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);

    painter.fillRect(QRect(card.left(), card.top(), 8, card.height()), color("#5cc8ff"));

    QFont titleFont(QStringLiteral("Segoe UI"), 24);
    titleFont.setWeight(QFont::Bold);
    painter.setFont(titleFont);
    painter.setPen(color("#eef4ff"));
    painter.drawText(QRect(card.left() + 28, card.top() + 24, card.width() - 56, 44),
        Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kestrow Vexa Installer"));

    painter.setFont(QFont(QStringLiteral("Segoe UI"), 11));
    painter.setPen(color("#aeb9cb"));
    painter.drawText(QRect(card.left() + 28, card.top() + 72, card.width() - 56, 42),
        Qt::AlignLeft | Qt::TextWordWrap,
        QStringLiteral("Startup status is shown live while the installer resolves package metadata and "
                       "scans the Vexa root."));

    // A flat cap and pixel-centre coordinates put the separator on one row, from column 64 to the
    // column 28 pixels left of the card's last one, both included.
    const int separatorY = card.top() + 132;
    painter.setPen(QPen(color("#283445"), 1, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(
        QPointF(card.left() + 28, separatorY + 0.5), QPointF(card.right() - 28 + 1, separatorY + 0.5));

    painter.end();
    return pixmap;
}

std::unique_ptr<QSplashScreen> createStartupWindow()
{
    return std::make_unique<QSplashScreen>(renderSplashPixmap(), Qt::WindowStaysOnTopHint);
}

QString startupStatusText(const QString &message, const QString &detail)
{
    QString text = message.trimmed();
    const QString trimmedDetail = detail.trimmed();
    if (!trimmedDetail.isEmpty()) {
        const QFontMetrics metrics(QFont(StartupDetailFontFamily, StartupDetailPointSize));
        text += QLatin1Char('\n') + metrics.elidedText(trimmedDetail, Qt::ElideMiddle, StartupDetailMaxWidth);
    }
    return text;
}

void showStartupStatus(
    QApplication &application, QSplashScreen &splash, const QString &message, const QString &detail)
{
    splash.showMessage(
        startupStatusText(message, detail), Qt::AlignLeft | Qt::AlignBottom, QColor(StartupStatusColor));
    // Start-up work blocks this thread next; without this the window would show stale text.
    application.processEvents();
}

} // namespace vexa
