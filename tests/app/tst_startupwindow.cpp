#include "app/startupwindow.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPixmap>
#include <QSplashScreen>
#include <QtTest>

using namespace vexa;

namespace {

QColor mix(const QColor &from, const QColor &to, double amount)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * amount),
        float(from.greenF() + (to.greenF() - from.greenF()) * amount),
        float(from.blueF() + (to.blueF() - from.blueF()) * amount));
}

// The background at a pixel row: the vertical gradient sampled at the row's centre.
QColor backgroundAt(int y)
{
    return mix(QColor(0x09, 0x10, 0x18), QColor(0x10, 0x17, 0x24), (y + 0.5) / 420.0);
}

QString describe(QRgb pixel)
{
    return QColor::fromRgba(pixel).name(QColor::HexArgb);
}

bool isNear(QRgb pixel, const QColor &expected, int tolerance)
{
    return qAlpha(pixel) == 255 && qAbs(qRed(pixel) - expected.red()) <= tolerance
        && qAbs(qGreen(pixel) - expected.green()) <= tolerance
        && qAbs(qBlue(pixel) - expected.blue()) <= tolerance;
}

const QColor CardFill(0x17, 0x21, 0x2d);
const QColor CardOutline(0x28, 0x34, 0x45);
const QColor Accent(0x5c, 0xc8, 0xff);

} // namespace

class TestStartupWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splashHasItsSizeAndIsOpaque();
    void splashPixels_data();
    void splashPixels();
    void splashDrawsTitleAndDescription();
    void statusText_data();
    void statusText();
    void longDetailIsElidedInTheMiddle();
    void showStartupStatusPutsTextOnTheWindow();
    void startupWindowStaysOnTop();
};

void TestStartupWindow::splashHasItsSizeAndIsOpaque()
{
    const QImage image = renderSplashPixmap().toImage();
    QCOMPARE(image.size(), QSize(760, 420));
    // The gradient covers the transparent fill everywhere, corners included.
    for (const QPoint &corner : { QPoint(0, 0), QPoint(759, 0), QPoint(0, 419), QPoint(759, 419) })
        QCOMPARE(qAlpha(image.pixel(corner)), 255);
}

void TestStartupWindow::splashPixels_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QColor>("expected");
    QTest::addColumn<int>("tolerance");

    QTest::newRow("gradient near the top") << QPoint(5, 5) << backgroundAt(5) << 2;
    QTest::newRow("gradient near the bottom") << QPoint(740, 410) << backgroundAt(410) << 2;
    QTest::newRow("gradient above the card") << QPoint(400, 33) << backgroundAt(33) << 2;
    QTest::newRow("gradient below the card") << QPoint(400, 386) << backgroundAt(386) << 2;
    QTest::newRow("gradient left of the card") << QPoint(35, 100) << backgroundAt(100) << 2;
    QTest::newRow("upper right circle at 0.22")
        << QPoint(750, 20) << mix(backgroundAt(20), QColor(0x12, 0x44, 0x66), 0.22) << 3;
    QTest::newRow("lower left circle at 0.28")
        << QPoint(10, 300) << mix(backgroundAt(300), QColor(0x0f, 0x35, 0x48), 0.28) << 3;
    QTest::newRow("upper right circle stops at its edge") << QPoint(750, 250) << backgroundAt(250) << 2;
    QTest::newRow("card fill over the background") << QPoint(400, 250) << CardFill << 0;
    QTest::newRow("card fill over the upper circle") << QPoint(700, 60) << CardFill << 0;
    QTest::newRow("card fill over the lower circle") << QPoint(100, 300) << CardFill << 0;
    QTest::newRow("card outline top") << QPoint(400, 34) << CardOutline << 0;
    QTest::newRow("card outline bottom") << QPoint(400, 385) << CardOutline << 0;
    QTest::newRow("card outline right") << QPoint(723, 200) << CardOutline << 0;
    QTest::newRow("card inside the top outline") << QPoint(400, 35) << CardFill << 0;
    QTest::newRow("card inside the right outline") << QPoint(722, 200) << CardFill << 0;
    QTest::newRow("accent bar first column") << QPoint(36, 200) << Accent << 0;
    QTest::newRow("accent bar last column") << QPoint(43, 200) << Accent << 0;
    QTest::newRow("accent bar top row") << QPoint(40, 34) << Accent << 0;
    QTest::newRow("accent bar bottom row") << QPoint(40, 385) << Accent << 0;
    QTest::newRow("right of the accent bar") << QPoint(44, 200) << CardFill << 0;
    QTest::newRow("separator row") << QPoint(300, 166) << CardOutline << 0;
    QTest::newRow("separator start") << QPoint(64, 166) << CardOutline << 0;
    QTest::newRow("separator end") << QPoint(695, 166) << CardOutline << 0;
    QTest::newRow("above the separator") << QPoint(300, 165) << CardFill << 0;
    QTest::newRow("below the separator") << QPoint(300, 167) << CardFill << 0;
    QTest::newRow("before the separator") << QPoint(63, 166) << CardFill << 0;
    QTest::newRow("after the separator") << QPoint(696, 166) << CardFill << 0;
}

void TestStartupWindow::splashPixels()
{
    QFETCH(QPoint, point);
    QFETCH(QColor, expected);
    QFETCH(int, tolerance);

    const QImage image = renderSplashPixmap().toImage();
    const QRgb pixel = image.pixel(point);
    QVERIFY2(isNear(pixel, expected, tolerance),
        qPrintable(
            QStringLiteral("pixel %1 expected %2").arg(describe(pixel), expected.name(QColor::HexArgb))));
}

void TestStartupWindow::splashDrawsTitleAndDescription()
{
    const QImage image = renderSplashPixmap().toImage();
    const auto countPixelsNear = [&image](const QRect &box, const QColor &color) {
        int count = 0;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x) {
                if (isNear(image.pixel(x, y), color, 8))
                    ++count;
            }
        }
        return count;
    };
    // Title box and description box of the card; each text leaves solid glyph pixels in its colour
    // inside its own box and none in the other's.
    const QRect titleBox(64, 58, 632, 44);
    const QRect descriptionBox(64, 106, 632, 42);
    QVERIFY(countPixelsNear(titleBox, QColor(0xee, 0xf4, 0xff)) > 100);
    QVERIFY(countPixelsNear(descriptionBox, QColor(0xae, 0xb9, 0xcb)) > 50);
    QCOMPARE(countPixelsNear(descriptionBox, QColor(0xee, 0xf4, 0xff)), 0);
    // Nothing is drawn on the card below the separator: that space is left to the status text.
    QCOMPARE(countPixelsNear(QRect(64, 170, 632, 200), CardFill), 632 * 200);
}

void TestStartupWindow::statusText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("expected");

    QTest::newRow("message only") << QStringLiteral("Starting installer...") << QString()
                                  << QStringLiteral("Starting installer...");
    QTest::newRow("message is trimmed") << QStringLiteral("  Parsing package catalog...\n") << QString()
                                        << QStringLiteral("Parsing package catalog...");
    QTest::newRow("blank detail adds no line")
        << QStringLiteral("Resolving package repository...") << QStringLiteral(" \t\n ")
        << QStringLiteral("Resolving package repository...");
    QTest::newRow("short detail on its own line")
        << QStringLiteral("Resolving package repository...") << QStringLiteral("  /srv/vexa/repository  ")
        << QStringLiteral("Resolving package repository...\n/srv/vexa/repository");
    QTest::newRow("empty message keeps the detail line")
        << QString() << QStringLiteral("C:/Vexa") << QStringLiteral("\nC:/Vexa");
}

void TestStartupWindow::statusText()
{
    QFETCH(QString, message);
    QFETCH(QString, detail);
    QFETCH(QString, expected);
    QCOMPARE(startupStatusText(message, detail), expected);
}

void TestStartupWindow::longDetailIsElidedInTheMiddle()
{
    const QString head = QStringLiteral("/very/long/repository/location/at/the/start");
    const QString tail = QStringLiteral("and/the/end/of/it/catalog.json");
    QString detail = head;
    for (int i = 0; i < 40; ++i)
        detail += QStringLiteral("/segment-%1").arg(i);
    detail += QLatin1Char('/') + tail;

    const QString text = startupStatusText(QStringLiteral("Parsing package catalog..."), detail);
    const QStringList lines = text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QStringLiteral("Parsing package catalog..."));

    const QString elided = lines.at(1);
    const QFontMetrics metrics(QFont(QStringLiteral("Segoe UI"), 12));
    QVERIFY(metrics.horizontalAdvance(detail) > 640);
    QVERIFY2(metrics.horizontalAdvance(elided) <= 640, qPrintable(elided));
    const qsizetype ellipsis = elided.indexOf(QChar(0x2026));
    QVERIFY2(ellipsis > 0 && ellipsis < elided.size() - 1, qPrintable(elided));
    // Both ends survive, so the user still sees where the path starts and which file it names.
    QVERIFY(detail.startsWith(elided.left(ellipsis)));
    QVERIFY(detail.endsWith(elided.mid(ellipsis + 1)));
    QVERIFY(elided.startsWith(QStringLiteral("/very/long")));
    QVERIFY(elided.endsWith(QStringLiteral("catalog.json")));
}

void TestStartupWindow::showStartupStatusPutsTextOnTheWindow()
{
    const std::unique_ptr<QSplashScreen> splash = createStartupWindow();
    splash->show();
    QSignalSpy changes(splash.get(), &QSplashScreen::messageChanged);

    auto &application = *qobject_cast<QApplication *>(QCoreApplication::instance());
    showStartupStatus(application, *splash, QStringLiteral(" Resolving package repository... "),
        QStringLiteral(" /srv/repository "));
    QCOMPARE(splash->message(), QStringLiteral("Resolving package repository...\n/srv/repository"));
    QCOMPARE(changes.size(), 1);

    // The status is drawn in its colour at the bottom left: every pixel that differs from the bare
    // image lies there, and the glyphs' solid pixels carry the status colour.
    const QImage bare = splash->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = splash->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), bare.size());
    const QColor statusColor(0xd7, 0xe6, 0xfb);
    QRect changed;
    int statusColored = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (shown.pixel(x, y) == bare.pixel(x, y))
                continue;
            changed |= QRect(x, y, 1, 1);
            if (isNear(shown.pixel(x, y), statusColor, 12))
                ++statusColored;
        }
    }
    QVERIFY(!changed.isEmpty());
    QVERIFY2(changed.left() < 20 && changed.right() < 380 && changed.top() > 330 && changed.bottom() >= 400,
        qPrintable(QStringLiteral("%1,%2 %3x%4")
                       .arg(changed.x())
                       .arg(changed.y())
                       .arg(changed.width())
                       .arg(changed.height())));
    QVERIFY2(statusColored > 20, qPrintable(QString::number(statusColored)));

    showStartupStatus(application, *splash, QStringLiteral("Starting user interface..."));
    QCOMPARE(splash->message(), QStringLiteral("Starting user interface..."));
}

void TestStartupWindow::startupWindowStaysOnTop()
{
    const std::unique_ptr<QSplashScreen> splash = createStartupWindow();
    QVERIFY(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(splash->pixmap().size(), QSize(760, 420));
}

QTEST_MAIN(TestStartupWindow)
#include "tst_startupwindow.moc"
