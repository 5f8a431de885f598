#include "archive/pathcontainment.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

Q_DECLARE_METATYPE(vexa::PathPlacement)

// The one placement rule for archive entries, owned paths, install_subdir, markers and payload
// directories; the entry points' own tables show each use of it once.
class tst_PathContainment : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placement_data();
    void placement();
    void downloadFileNames_data();
    void downloadFileNames();
    void linksOnTheWay();
};

void tst_PathContainment::placement_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<PathPlacement>("expected");
    const auto row = [](const char *name, const QString &path, PathPlacement placement) {
        QTest::newRow(name) << path << placement;
    };
    row("plain", QStringLiteral("qt6"), PathPlacement::Inside);
    row("nested, trailing separator", QStringLiteral("qt6/lib/"), PathPlacement::Inside);
    row("dot prefix and doubled separators", QStringLiteral("./qt6//lib"), PathPlacement::Inside);
    row("dot-dot that stays inside", QStringLiteral("a/../b"), PathPlacement::Inside);
    row("names with dots", QStringLiteral("..data/a..b/.hidden"), PathPlacement::Inside);
    row("blanks trimmed", QStringLiteral("  qt6  "), PathPlacement::Inside);
    row("backslashes", QStringLiteral("qt6\\lib\\x.dll"), PathPlacement::Inside);
    row("empty", QString(), PathPlacement::Base);
    row("blank", QStringLiteral("   "), PathPlacement::Base);
    row("dot", QStringLiteral("."), PathPlacement::Base);
    row("dot, slash, dot", QStringLiteral("./."), PathPlacement::Base);
    row("dot between blanks", QStringLiteral(" . "), PathPlacement::Base);
    row("back to the base", QStringLiteral("a/.."), PathPlacement::Base);
    row("parent", QStringLiteral(".."), PathPlacement::Outside);
    row("sibling", QStringLiteral("../outside"), PathPlacement::Outside);
    row("climbs out deeper", QStringLiteral("a/../../outside"), PathPlacement::Outside);
    row("backslash parent", QStringLiteral("a\\..\\..\\b"), PathPlacement::Outside);
    row("absolute", QStringLiteral("/etc/passwd"), PathPlacement::Outside);
    row("absolute after a blank", QStringLiteral(" /etc"), PathPlacement::Outside);
    row("absolute with backslash", QStringLiteral("\\Windows\\x"), PathPlacement::Outside);
    row("share", QStringLiteral("\\\\server\\share\\x"), PathPlacement::Outside);
    row("drive absolute", QStringLiteral("C:/Windows"), PathPlacement::Outside);
    row("drive relative", QStringLiteral("c:x"), PathPlacement::Outside);
    row("ends in dot: another directory itself", QStringLiteral("qt6/."), PathPlacement::NotAName);
    row("ends in dot-dot", QStringLiteral("a/b/.."), PathPlacement::NotAName);
    row("three dots (Windows reads as a parent)", QStringLiteral("a/.../b"), PathPlacement::NotAName);
    row("dot-dot and a blank", QStringLiteral("a/.. /b"), PathPlacement::NotAName);
    row("blank name", QStringLiteral("a/ /b"), PathPlacement::NotAName);
    row("colon: an NTFS stream of the file before it", QStringLiteral("lib/a:b.dll"),
        PathPlacement::NotAName);
    row("line break", QStringLiteral("a\nb"), PathPlacement::NotAName);
    row("NUL cuts the name short", QStringLiteral("x/..") + QChar(0) + QStringLiteral("y"),
        PathPlacement::NotAName);
}

void tst_PathContainment::placement()
{
    QFETCH(QString, path);
    QFETCH(PathPlacement, expected);
    QCOMPARE(pathPlacement(path), expected);
}

// The one rule for a file name taken from a URL or a catalog path; "-" stands for the fallback kept.
void tst_PathContainment::downloadFileNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fallback");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const QString &path, const QString &expected,
                         const QString &fallback = QStringLiteral("pkg.zip")) {
        QTest::newRow(name) << path << fallback << (expected == QLatin1String("-") ? fallback : expected);
    };
    row("last part of a path", QStringLiteral("/client/v2/client.zip"), QStringLiteral("client.zip"));
    row("backslash separates", QStringLiteral("a\\..\\b.zip"), QStringLiteral("b.zip"));
    row("names with dots and blanks inside", QStringLiteral("x/..my client 1.0.zip"),
        QStringLiteral("..my client 1.0.zip"));
    row("COM10 is no device", QStringLiteral("COM10"), QStringLiteral("COM10"));
    row("empty: ends in a separator", QStringLiteral("client/"), QStringLiteral("-"));
    row("dot", QStringLiteral("a/."), QStringLiteral("-"));
    row("dot-dot", QStringLiteral(".."), QStringLiteral("-"));
    row("three dots", QStringLiteral("..."), QStringLiteral("-"));
    row("drive-relative", QStringLiteral("C:x"), QStringLiteral("-"));
    row("drive-relative after a folder", QStringLiteral("/dl/c:client.zip"), QStringLiteral("-"));
    row("device", QStringLiteral("CON"), QStringLiteral("-"));
    row("device in lower case with an extension", QStringLiteral("nul.zip"), QStringLiteral("-"));
    row("numbered device", QStringLiteral("com1"), QStringLiteral("-"));
    row("printer port with a superscript", QStringLiteral("LPT") + QChar(0xb9), QStringLiteral("-"));
    row("console input", QStringLiteral("CONIN$.zip"), QStringLiteral("-"));
    row("trailing dot", QStringLiteral("client.zip."), QStringLiteral("-"));
    row("trailing blank", QStringLiteral("client.zip "), QStringLiteral("-"));
    row("character Windows refuses", QStringLiteral("a?b.zip"), QStringLiteral("-"));
    row("control character", QStringLiteral("a\tb.zip"), QStringLiteral("-"));
    row("longer than a name may be", QString(256, QLatin1Char('a')), QStringLiteral("-"));
    row("fallback made plain", QString(), QStringLiteral("Client-1.0_.._x.zip"),
        QStringLiteral("Client-1.0/../x.zip"));
    row("fallback naming a device", QString(), QStringLiteral("_aux.zip"), QStringLiteral("aux.zip"));
}

void tst_PathContainment::downloadFileNames()
{
    QFETCH(QString, path);
    QFETCH(QString, fallback);
    QFETCH(QString, expected);
    QCOMPARE(downloadFileName(path, fallback), expected);
}

void tst_PathContainment::linksOnTheWay()
{
    QTemporaryDir work;
    const QString base = work.filePath(QStringLiteral("base"));
    QVERIFY(writeTestFile(base + QStringLiteral("/real/file.txt"), "x"));
    QVERIFY(QDir().mkpath(work.filePath(QStringLiteral("outside"))));
    QVERIFY(QFile::link(work.filePath(QStringLiteral("outside")), base + QStringLiteral("/out")));
    QVERIFY(QFile::link(base + QStringLiteral("/real"), base + QStringLiteral("/alias")));

    QVERIFY(staysInsideThroughLinks(base, base));
    QVERIFY(staysInsideThroughLinks(base, base + QStringLiteral("/real/file.txt")));
    QVERIFY2(staysInsideThroughLinks(base, base + QStringLiteral("/new/deeper")), "judged by what exists");
    QVERIFY2(staysInsideThroughLinks(base, base + QStringLiteral("/alias/file.txt")), "a link inside");
    QVERIFY(!staysInsideThroughLinks(base, base + QStringLiteral("/out")));
    QVERIFY(!staysInsideThroughLinks(base, base + QStringLiteral("/out/new/file.txt")));
    QVERIFY(!staysInsideThroughLinks(base, work.filePath(QStringLiteral("outside"))));
}

QTEST_GUILESS_MAIN(tst_PathContainment)
#include "tst_pathcontainment.moc"
