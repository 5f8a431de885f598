#include "release/releaserecord.h"
#include "support/testfiles.h"
#include "testzipwriter.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

namespace {

const QStringList ProgramNames { QStringLiteral("Inst"), QStringLiteral("Helper") };

QByteArray recordOf(const QStringList &entries)
{
    return "{\"schema_version\": 1, \"version\": \"1.0.0\", \"entries\": [\""
        + entries.join(QStringLiteral("\", \"")).toUtf8() + "\"]}";
}

} // namespace

// Which program directories the update may replace whole: only one holding nothing but entries that
// the installed release recorded or the new release ships.
class TestReleaseRecord : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void foreignEntries_data();
    void foreignEntries();
    void entriesAnArchiveShips();
};

void TestReleaseRecord::foreignEntries_data()
{
    QTest::addColumn<QStringList>("present"); // a name ending in "/" is a directory
    QTest::addColumn<QByteArray>("record"); // empty: none
    QTest::addColumn<QStringList>("shipped");
    QTest::addColumn<QStringList>("expected");
    const QByteArray record = recordOf({ "Inst", "Helper", "lib", "old.dll", "vexa-release.json" });
    const QStringList shipped { "Inst", "Helper", "lib", "vexa-release.json" };
    const QStringList none;

    QTest::newRow("the installed release alone")
        << QStringList { "Inst", "Helper", "lib/", "vexa-release.json" } << record << shipped << none;
    QTest::newRow("a file the old release shipped and the new one dropped")
        << QStringList { "Inst", "old.dll", "vexa-release.json" } << record << shipped << none;
    QTest::newRow("the person's files and folders beside the installer") << QStringList { "Inst", "notes.txt",
        "projects/", "vexa-release.json" } << record << shipped << QStringList { "notes.txt", "projects" };
    QTest::newRow("a hidden folder of the person's") << QStringList { "Inst", ".git/", "vexa-release.json" }
                                                     << record << shipped << QStringList { ".git" };
    QTest::newRow("names compare exactly")
        << QStringList { "inst", "vexa-release.json" } << record << shipped << QStringList { "inst" };
    QTest::newRow("no record: the program names and what the new release ships")
        << QStringList { "Inst", "Helper", "lib/" } << QByteArray() << shipped << none;
    QTest::newRow("no record: a file no release is known to ship")
        << QStringList { "Inst", "old.dll" } << QByteArray() << shipped << QStringList { "old.dll" };
    QTest::newRow("a damaged record counts as none")
        << QStringList { "Inst", "old.dll", "vexa-release.json" } << QByteArray("{\"entries\": ") << shipped
        << QStringList { "old.dll" };
    QTest::newRow("no program directory yet") << QStringList() << QByteArray() << shipped << none;
}

void TestReleaseRecord::foreignEntries()
{
    QFETCH(QStringList, present);
    QFETCH(QByteArray, record);
    QFETCH(QStringList, shipped);
    QFETCH(QStringList, expected);
    QTemporaryDir work;
    const QString program = work.filePath(QStringLiteral("program"));
    for (const QString &name : std::as_const(present)) {
        QVERIFY(name.endsWith(QLatin1Char('/'))
                ? writeTestFile(program + QLatin1Char('/') + name + QStringLiteral("inside"), "x")
                : writeTestFile(program + QLatin1Char('/') + name, "x"));
    }
    if (!record.isEmpty())
        QVERIFY(writeTestFile(QDir(program).filePath(ReleaseRecordFileName), record));
    QCOMPARE(vexa::foreignEntries(program, shipped, ProgramNames), expected);
}

void TestReleaseRecord::entriesAnArchiveShips()
{
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("client.zip"));
    QVERIFY(writeTestZip(archive,
        { testDirectory("./"), testFile("./Inst", "x"), testFile("lib/a.so", "a"), testFile("lib/b.so", "b"),
            testFile(".hidden", "h"), testDirectory("empty/") }));
    QStringList entries;
    QString errorText;
    QVERIFY2(releaseEntriesOfArchive(archive, entries, errorText), qPrintable(errorText));
    QCOMPARE(entries, QStringList({ "Inst", "empty", "lib" }));

    QVERIFY(writeTestFile(work.filePath(QStringLiteral("program/notes.txt")), "mine"));
    QVERIFY(!checkProgramDirectoryReplaceable(
        work.filePath(QStringLiteral("program")), archive, ProgramNames, errorText));
    QCOMPARE(errorText,
        QStringLiteral("The client update was skipped: the program directory %1 also holds notes.txt, which "
                       "no release of the installer placed there. Move them elsewhere to update.")
            .arg(work.filePath(QStringLiteral("program"))));
}

QTEST_GUILESS_MAIN(TestReleaseRecord)
#include "tst_releaserecord.moc"
