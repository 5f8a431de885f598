#include "engine/applyprogress.h"
#include "progresslines.h"

#include <QTest>

using namespace vexa;

class TestApplyProgress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data();
    void lines();
};

void TestApplyProgress::lines_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("percentage");
    QTest::addColumn<QString>("line");

    using Phase = ApplyProgress::Phase;
    QTest::newRow("removing") << int(Phase::Removing) << -1 << "Removing Qt 6 [iv2]...";
    QTest::newRow("upgrading") << int(Phase::Upgrading) << -1 << "Upgrading Qt 6 [iv2]...";
    QTest::newRow("installing") << int(Phase::Installing) << -1 << "Installing Qt 6 [iv2]...";
    QTest::newRow("download starts") << int(Phase::DownloadStarted) << -1 << "Downloading Qt 6 [iv2]...";
    QTest::newRow("a new percentage") << int(Phase::Downloading) << 0 << "Downloading Qt 6 [iv2] (0%)";
    QTest::newRow("bytes alone make no line") << int(Phase::Downloading) << -1 << QString();
    QTest::newRow("downloaded") << int(Phase::Downloaded) << -1 << "Downloaded Qt 6 [iv2].";
}

void TestApplyProgress::lines()
{
    QFETCH(int, phase);
    QFETCH(int, percentage);
    QFETCH(QString, line);

    PackageDefinition package;
    package.package_id = QStringLiteral("qt6");
    package.display_name = QStringLiteral("Qt 6");
    package.internal_version_code = 2;
    ApplyProgress event = packageProgress(ApplyProgress::Phase(phase), package);
    event.percentage = percentage;
    event.bytesDone = 4096;
    event.bytesTotal = 8192;
    QCOMPARE(event.packageId, QStringLiteral("qt6"));
    QCOMPARE(applyProgressLine(event), line);

    QStringList sunk;
    progressLines([&sunk](const QString &text) { sunk << text; })(event);
    QCOMPARE(sunk, line.isEmpty() ? QStringList() : QStringList { line });
}

QTEST_GUILESS_MAIN(TestApplyProgress)
#include "tst_applyprogress.moc"
