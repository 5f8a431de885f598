#include "archive/archiveextraction.h"
#include "archive/zipdirectory.h"
#include "support/testfiles.h"
#include "testzipwriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

namespace {

// Which tar the extraction finds on the search path.
enum class TarMode { None, BsdTar, GnuTar, FailingTar, HangingTar };

// Points PATH at a directory holding only the chosen tar (a small script that records that it ran),
// and restores PATH afterwards.
class TarOnPath
{
public:
    explicit TarOnPath(TarMode mode)
        : m_savedPath(qgetenv("PATH"))
    {
        const QString shell = QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\n").arg(markerPath());
        QString body;
        switch (mode) {
        case TarMode::None:
            break;
        case TarMode::BsdTar:
            body = QStringLiteral("exec '%1' \"$@\"\n")
                       .arg(QStandardPaths::findExecutable(QStringLiteral("bsdtar")));
            break;
        case TarMode::GnuTar:
            body = QStringLiteral("exec '%1' \"$@\"\n")
                       .arg(QStandardPaths::findExecutable(QStringLiteral("tar")));
            break;
        case TarMode::FailingTar:
            body = QStringLiteral("echo tar-out\necho tar-err >&2\nexit 1\n");
            break;
        case TarMode::HangingTar:
            body = QStringLiteral("exec '%1' 30\n")
                       .arg(QStandardPaths::findExecutable(QStringLiteral("sleep")));
            break;
        }
        if (!body.isEmpty()) {
            const QString script = m_bin.filePath(QStringLiteral("tar"));
            writeTestFile(script, (shell + body).toUtf8());
            QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", QFile::encodeName(m_bin.path()));
    }
    ~TarOnPath() { qputenv("PATH", m_savedPath); }

    QString markerPath() const { return m_bin.filePath(QStringLiteral("tar-ran")); }
    bool tarRan() const { return QFileInfo::exists(markerPath()); }
    QString tarArguments() const { return QString::fromUtf8(readTestFile(markerPath())).trimmed(); }

private:
    QTemporaryDir m_bin;
    QByteArray m_savedPath;
};

bool toolAvailable(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

void addTarModeRows(const QList<TarMode> &modes)
{
    QTest::addColumn<TarMode>("tarMode");
    for (const TarMode mode : modes) {
        switch (mode) {
        case TarMode::None:
            QTest::newRow("no tar") << mode;
            break;
        case TarMode::BsdTar:
            QTest::newRow("bsdtar reads zip") << mode;
            break;
        case TarMode::GnuTar:
            QTest::newRow("GNU tar fails on zip") << mode;
            break;
        case TarMode::FailingTar:
            QTest::newRow("tar exits 1") << mode;
            break;
        case TarMode::HangingTar:
            QTest::newRow("tar never finishes") << mode;
            break;
        }
    }
}

// The tar a mode needs, looked up before a test changes PATH.
bool tarModeAvailable(TarMode mode)
{
    switch (mode) {
    case TarMode::BsdTar:
        return toolAvailable(QStringLiteral("bsdtar"));
    case TarMode::GnuTar:
        return toolAvailable(QStringLiteral("tar"));
    case TarMode::HangingTar:
        return toolAvailable(QStringLiteral("sleep"));
    case TarMode::None:
    case TarMode::FailingTar:
        return true;
    }
    return false;
}

#define REQUIRE_TAR_MODE(mode)                                                                               \
    do {                                                                                                     \
        if (!tarModeAvailable(mode))                                                                         \
            QSKIP("The tar program this row needs is not installed (bsdtar: libarchive-tools)");             \
    } while (false)

#define REQUIRE_PYTHON()                                                                                     \
    do {                                                                                                     \
        if (!toolAvailable(QStringLiteral("python3")))                                                       \
            QSKIP("python3 is needed to write archives as real zip tools do");                               \
    } while (false)

const QList<TarMode> AllTarModes
    = { TarMode::None, TarMode::BsdTar, TarMode::GnuTar, TarMode::FailingTar, TarMode::HangingTar };

// A short tar limit so a hanging tar costs a fraction of a second.
constexpr int ShortTarTimeoutMs = 500;

// Every path below the directory (relative, sorted), to show that nothing else was written.
QStringList treeOf(const QString &directory)
{
    QStringList paths;
    const QDir base(directory);
    QDirIterator it(directory, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << base.relativeFilePath(it.next());
    paths.sort();
    return paths;
}

} // namespace

Q_DECLARE_METATYPE(TarMode)

class TestArchiveExtraction : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void extractsRealArchive_data() { addTarModeRows(AllTarModes); }
    void extractsRealArchive();
    void extractsZip64Archive();
    void usesTarWithAbsoluteNativePaths();
    void replacesExistingFilesAndDirectories_data() { addTarModeRows(AllTarModes); }
    void replacesExistingFilesAndDirectories();
    void keepsPermissions_data() { addTarModeRows({ TarMode::None, TarMode::BsdTar }); }
    void keepsPermissions();

    void refusesEntriesOutsideDestination_data();
    void refusesEntriesOutsideDestination();
    void writesSymLinkEntriesAsPlainFiles_data() { addTarModeRows({ TarMode::None, TarMode::BsdTar }); }
    void writesSymLinkEntriesAsPlainFiles();
    void symLinkEntryCannotRedirectLaterEntries_data() { addTarModeRows({ TarMode::None, TarMode::BsdTar }); }
    void symLinkEntryCannotRedirectLaterEntries();
    void containedEntryPaths_data();
    void containedEntryPaths();

    void failures_data();
    void failures();
    void streamsEntriesLargerThanOneBlock();
    void missingArchiveSkipsTar();
    void damagedEntryCarriesFallbackNote();

    void zipStatusNames_data();
    void zipStatusNames();

private:
    QString makeRealArchive(const QString &directory);
};

void TestArchiveExtraction::initTestCase()
{
    qRegisterMetaType<TarMode>();
}

// A deflated archive as real zip tools write it, made by Python's zipfile module.
QString TestArchiveExtraction::makeRealArchive(const QString &directory)
{
    const QString path = QDir(directory).filePath(QStringLiteral("real.zip"));
    const QString script = QStringLiteral(R"(
import random, sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('bin/', '')
    info = zipfile.ZipInfo('bin/tool')
    info.external_attr = 0o100755 << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    z.writestr(info, '#!/bin/sh\necho tool\n')
    z.writestr('lib/cmake/Pkg/PkgConfig.cmake', 'set(Pkg_FOUND TRUE)\n' * 200)
    z.writestr('.vexa-marker', 'marker')
    z.writestr('share/doc/\u00fcber.txt', 'unicode name')
    z.writestr('share/empty.txt', '')
    big = random.Random(5).randbytes(2500000)
    z.writestr('lib/big.bin', big)
    open(sys.argv[1] + '.big', 'wb').write(big)
)");
    QProcess python;
    python.start(QStringLiteral("python3"), { QStringLiteral("-c"), script, path });
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return {};
    return path;
}

void TestArchiveExtraction::extractsRealArchive()
{
    QFETCH(TarMode, tarMode);
    REQUIRE_TAR_MODE(tarMode);
    REQUIRE_PYTHON();
    QTemporaryDir work;
    const QString archive = makeRealArchive(work.path());
    QVERIFY(!archive.isEmpty());
    const QString destination = work.filePath(QStringLiteral("root/nested/dest"));

    TarOnPath tar(tarMode);
    QString errorText;
    QVERIFY2(extractArchive(archive, destination, errorText, ShortTarTimeoutMs), qPrintable(errorText));
    QVERIFY(errorText.isEmpty());
    QCOMPARE(tar.tarRan(), tarMode != TarMode::None);

    const QDir dest(destination);
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("bin/tool"))), QByteArray("#!/bin/sh\necho tool\n"));
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("lib/cmake/Pkg/PkgConfig.cmake"))),
        QByteArray("set(Pkg_FOUND TRUE)\n").repeated(200));
    // A leading dot is part of the name, not something to strip.
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral(".vexa-marker"))), QByteArray("marker"));
    QVERIFY(!QFileInfo::exists(dest.filePath(QStringLiteral("vexa-marker"))));
    QCOMPARE(readTestFile(dest.filePath(QString::fromUtf8("share/doc/\xc3\xbc"
                                                          "ber.txt"))),
        QByteArray("unicode name"));
    QVERIFY(QFileInfo(dest.filePath(QStringLiteral("share/empty.txt"))).isFile());
    QVERIFY(QFileInfo(dest.filePath(QStringLiteral("bin/tool"))).isExecutable());
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("lib/big.bin"))),
        readTestFile(archive + QStringLiteral(".big")));
}

void TestArchiveExtraction::extractsZip64Archive()
{
    // Lowered limits make Python write ZIP64 records for a small archive, as it does for huge ones.
    REQUIRE_PYTHON();
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("zip64.zip"));
    const QString script = QStringLiteral(R"(
import sys, zipfile
zipfile.ZIP64_LIMIT = 4
zipfile.ZIP_FILECOUNT_LIMIT = 1
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('a/first.txt', 'first entry ' * 100)
    z.writestr('a/second.txt', 'second entry ' * 100)
)");
    QProcess python;
    python.start(QStringLiteral("python3"), { QStringLiteral("-c"), script, archive });
    QVERIFY(python.waitForFinished(30000) && python.exitCode() == 0);

    TarOnPath tar(TarMode::None);
    QString errorText;
    const QDir dest(work.filePath(QStringLiteral("dest")));
    QVERIFY2(extractArchive(archive, dest.path(), errorText), qPrintable(errorText));
    QCOMPARE(
        readTestFile(dest.filePath(QStringLiteral("a/first.txt"))), QByteArray("first entry ").repeated(100));
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("a/second.txt"))),
        QByteArray("second entry ").repeated(100));
}

void TestArchiveExtraction::usesTarWithAbsoluteNativePaths()
{
    REQUIRE_TAR_MODE(TarMode::BsdTar);
    QTemporaryDir work;
    QVERIFY(writeTestZip(work.filePath(QStringLiteral("a.zip")), { testFile("f.txt", "data") }));
    const QString savedCurrent = QDir::currentPath();
    const auto restoreCurrent = qScopeGuard([&] { QDir::setCurrent(savedCurrent); });
    QVERIFY(QDir::setCurrent(work.path()));
    TarOnPath tar(TarMode::BsdTar);
    QString errorText;
    QVERIFY2(
        extractArchive(QStringLiteral("a.zip"), QStringLiteral("out"), errorText), qPrintable(errorText));
    QCOMPARE(tar.tarArguments(),
        QStringLiteral("-xf %1 -C %2")
            .arg(QDir::toNativeSeparators(work.filePath(QStringLiteral("a.zip"))),
                QDir::toNativeSeparators(work.filePath(QStringLiteral("out")))));
    QCOMPARE(readTestFile(work.filePath(QStringLiteral("out/f.txt"))), QByteArray("data"));
}

void TestArchiveExtraction::replacesExistingFilesAndDirectories()
{
    QFETCH(TarMode, tarMode);
    REQUIRE_TAR_MODE(tarMode);
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("a.zip"));
    QVERIFY(writeTestZip(archive,
        { testDirectory("pkg/"), testDeflatedFile("pkg/config", "new config"),
            testFile("pkg/existing.txt", "new"), testFile("pkg/was-a-dir", "now a file") }));
    const QDir dest(work.filePath(QStringLiteral("dest")));
    QVERIFY(writeTestFile(dest.filePath(QStringLiteral("pkg/existing.txt")), "old content that is longer"));
    QVERIFY(writeTestFile(dest.filePath(QStringLiteral("pkg/was-a-dir/inner/deep.txt")), "old"));
    QVERIFY(writeTestFile(dest.filePath(QStringLiteral("pkg/extra.txt")), "kept"));
    QVERIFY(writeTestFile(dest.filePath(QStringLiteral("other/kept.txt")), "kept"));

    TarOnPath tar(tarMode);
    QString errorText;
    QVERIFY2(extractArchive(archive, dest.path(), errorText, ShortTarTimeoutMs), qPrintable(errorText));
    QVERIFY(errorText.isEmpty());
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("pkg/config"))), QByteArray("new config"));
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("pkg/existing.txt"))), QByteArray("new"));
    QVERIFY(QFileInfo(dest.filePath(QStringLiteral("pkg/was-a-dir"))).isFile());
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("pkg/was-a-dir"))), QByteArray("now a file"));
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("pkg/extra.txt"))), QByteArray("kept"));
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("other/kept.txt"))), QByteArray("kept"));
}

void TestArchiveExtraction::keepsPermissions()
{
    QFETCH(TarMode, tarMode);
    REQUIRE_TAR_MODE(tarMode);
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("a.zip"));
    QVERIFY(writeTestZip(archive,
        { testFile("run.sh", "#!/bin/sh\n", 0755), testFile("readonly.txt", "ro", 0444),
            testFile("dos.txt", "from a DOS host", 0) }));
    TarOnPath tar(tarMode);
    QString errorText;
    const QDir dest(work.filePath(QStringLiteral("dest")));
    QVERIFY2(extractArchive(archive, dest.path(), errorText), qPrintable(errorText));
    QVERIFY(QFileInfo(dest.filePath(QStringLiteral("run.sh"))).isExecutable());
    QVERIFY(!(QFileInfo(dest.filePath(QStringLiteral("readonly.txt"))).permissions() & QFile::WriteOwner));
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("dos.txt"))), QByteArray("from a DOS host"));

    // A read-only file from an earlier extraction does not block the next one.
    QVERIFY2(extractArchive(archive, dest.path(), errorText), qPrintable(errorText));
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("readonly.txt"))), QByteArray("ro"));
}

void TestArchiveExtraction::refusesEntriesOutsideDestination_data()
{
    QTest::addColumn<TarMode>("tarMode");
    QTest::addColumn<QByteArray>("hostileName");
    const QList<QPair<const char *, QByteArray>> names = {
        { "parent", "../escaped.txt" },
        { "parent after a directory", "inner/../../escaped.txt" },
        { "absolute", "/tmp/vexa-escaped.txt" },
        { "backslash parent", "..\\escaped.txt" },
        { "drive letter", "C:/escaped.txt" },
        { "dots and spaces", "inner/.. /escaped.txt" },
        { "leading blank then absolute", " /escaped.txt" },
    };
    for (const auto &[label, name] : names) {
        QTest::addRow("%s, no tar", label) << TarMode::None << name;
        QTest::addRow("%s, bsdtar", label) << TarMode::BsdTar << name;
    }
}

void TestArchiveExtraction::refusesEntriesOutsideDestination()
{
    QFETCH(TarMode, tarMode);
    REQUIRE_TAR_MODE(tarMode);
    QFETCH(QByteArray, hostileName);
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("hostile.zip"));
    // A harmless entry first: the refusal comes before anything is written.
    QVERIFY(writeTestZip(archive, { testFile("harmless.txt", "ok"), testFile(hostileName, "escaped") }));
    const QString destination = work.filePath(QStringLiteral("a/b/dest"));

    TarOnPath tar(tarMode);
    QString errorText;
    QVERIFY(!extractArchive(archive, destination, errorText));
    QCOMPARE(errorText,
        QStringLiteral("Refusing to extract %1: entry %2 would be written outside %3")
            .arg(archive, QString::fromUtf8(hostileName), destination));
    QVERIFY(!tar.tarRan());
    QCOMPARE(treeOf(work.path()),
        QStringList({ QStringLiteral("a"), QStringLiteral("a/b"), QStringLiteral("a/b/dest"),
            QStringLiteral("hostile.zip") }));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/vexa-escaped.txt")));
}

void TestArchiveExtraction::writesSymLinkEntriesAsPlainFiles()
{
    QFETCH(TarMode, tarMode);
    REQUIRE_TAR_MODE(tarMode);
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("links.zip"));
    const QByteArray outside = QFile::encodeName(work.filePath(QStringLiteral("outside.txt")));
    QVERIFY(writeTestFile(QString::fromUtf8(outside), "outside"));
    QVERIFY(writeTestZip(archive,
        { testFile("lib/libfoo.so.1", "library"), testSymLink("lib/libfoo.so", "libfoo.so.1"),
            testSymLink("escape", outside) }));
    const QDir dest(work.filePath(QStringLiteral("dest")));

    TarOnPath tar(tarMode);
    QString errorText;
    QVERIFY2(extractArchive(archive, dest.path(), errorText), qPrintable(errorText));
    // tar would create real links, so archives with link entries go to the zip reader.
    QVERIFY(!tar.tarRan());
    const QFileInfo link(dest.filePath(QStringLiteral("lib/libfoo.so")));
    QVERIFY(link.isFile() && !link.isSymLink());
    QCOMPARE(readTestFile(link.filePath()), QByteArray("libfoo.so.1"));
    const QFileInfo escape(dest.filePath(QStringLiteral("escape")));
    QVERIFY(escape.isFile() && !escape.isSymLink());
    QCOMPARE(readTestFile(escape.filePath()), outside);
    QCOMPARE(readTestFile(QString::fromUtf8(outside)), QByteArray("outside"));
}

void TestArchiveExtraction::symLinkEntryCannotRedirectLaterEntries()
{
    QFETCH(TarMode, tarMode);
    REQUIRE_TAR_MODE(tarMode);
    QTemporaryDir work;
    const QString outsideDirectory = work.filePath(QStringLiteral("outside"));
    QVERIFY(QDir().mkpath(outsideDirectory));
    const QString archive = work.filePath(QStringLiteral("links.zip"));
    QVERIFY(writeTestZip(archive,
        { testSymLink("dir", QFile::encodeName(outsideDirectory)), testFile("dir/planted.txt", "planted") }));
    const QDir dest(work.filePath(QStringLiteral("dest")));
    // An old link at an entry's path is replaced, not written through.
    QVERIFY(QDir().mkpath(dest.path()));
    QVERIFY(QFile::link(
        work.filePath(QStringLiteral("outside/victim.txt")), dest.filePath(QStringLiteral("x.txt"))));

    TarOnPath tar(tarMode);
    QString errorText;
    QVERIFY(!extractArchive(archive, dest.path(), errorText));
    QCOMPARE(errorText,
        QStringLiteral("Failed to create parent directory for extracted file %1")
            .arg(dest.filePath(QStringLiteral("dir/planted.txt"))));
    QVERIFY(QDir(outsideDirectory).isEmpty());

    QVERIFY(writeTestZip(archive, { testFile("x.txt", "replaced") }));
    QVERIFY2(extractArchive(archive, dest.path(), errorText), qPrintable(errorText));
    QVERIFY(!QFileInfo(dest.filePath(QStringLiteral("x.txt"))).isSymLink());
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("x.txt"))), QByteArray("replaced"));
    QVERIFY(QDir(outsideDirectory).isEmpty());
}

void TestArchiveExtraction::containedEntryPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("contained");
    QTest::newRow("plain") << QStringLiteral("lib/cmake/x.cmake") << true;
    QTest::newRow("directory") << QStringLiteral("lib/") << true;
    QTest::newRow("dot segment") << QStringLiteral("./lib/x") << true;
    QTest::newRow("hidden file") << QStringLiteral(".hidden") << true;
    QTest::newRow("dots inside a name") << QStringLiteral("a..b/c..") << true;
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("parent") << QStringLiteral("..") << false;
    QTest::newRow("parent then name") << QStringLiteral("../x") << false;
    QTest::newRow("parent in the middle") << QStringLiteral("a/../b") << false;
    QTest::newRow("backslash parent") << QStringLiteral("a\\..\\..\\b") << false;
    QTest::newRow("absolute") << QStringLiteral("/etc/passwd") << false;
    QTest::newRow("absolute with backslash") << QStringLiteral("\\Windows\\x") << false;
    QTest::newRow("UNC") << QStringLiteral("\\\\server\\share\\x") << false;
    QTest::newRow("drive") << QStringLiteral("c:x") << false;
    QTest::newRow("three dots (Windows reads as parent)") << QStringLiteral("a/.../b") << false;
    QTest::newRow("parent with trailing space") << QStringLiteral("a/.. /b") << false;
}

void TestArchiveExtraction::containedEntryPaths()
{
    QFETCH(QString, path);
    QFETCH(bool, contained);
    QCOMPARE(isContainedEntryPath(path), contained);
}

void TestArchiveExtraction::failures_data()
{
    QTest::addColumn<TarMode>("tarMode");
    QTest::addColumn<QByteArray>("archiveBytes");
    QTest::addColumn<QString>("expected"); // %1: the archive path, {destination}: the destination

    const QByteArray good = buildTestZip({ testFile("a.txt", "alpha"), testFile("b.txt", "bravo") });
    QByteArray sizeMismatch = buildTestZip(
        { testFile("ok.txt", "ok"), { "big%2.bin", "hello", TestZipEntry::File, 0644, 9, false } });

    QTest::newRow("recorded size larger than the data")
        << TarMode::None << sizeMismatch
        << QStringLiteral("Extracted archive entry big%2.bin from %1 has size 5, expected 9.");
    QTest::newRow("not a zip file") << TarMode::None << QByteArray("this is not an archive at all")
                                    << QStringLiteral("Failed to read archive entries from %1 (FileError)");
    QTest::newRow("not a zip file, tar not run")
        << TarMode::FailingTar << QByteArray(4096, 'x')
        << QStringLiteral("Failed to read archive entries from %1 (FileError)");
    QTest::newRow("cut short") << TarMode::None << good.left(good.size() - 30)
                               << QStringLiteral("Failed to read archive entries from %1 (FileError)");
    QTest::newRow("empty file") << TarMode::None << QByteArray()
                                << QStringLiteral("Failed to read archive entries from %1 (FileError)");
    QByteArray damaged = good;
    damaged[damaged.indexOf("bravo")] = 'B';
    const QByteArray text = QByteArray("set(Pkg_FOUND TRUE)\n").repeated(2000);
    QByteArray badStream = buildTestZip({ testDeflatedFile("lib/config.cmake", text) });
    badStream[60] = char(~badStream.at(60));
    QTest::newRow("damaged compressed data")
        << TarMode::None << badStream
        << QStringLiteral("Failed to extract archive entry lib/config.cmake from %1 (FileError)");
    // The directory names a harmless path while the local header, which tar may follow, climbs out.
    QByteArray disguised = buildTestZip({ testFile("safe.txt", "escaped") });
    disguised.replace(disguised.indexOf("safe.txt"), 8, "../e.txt");
    QTest::newRow("local header names another path, no tar")
        << TarMode::None << disguised << QStringLiteral("Failed to read archive entries from %1 (FileError)");
    QTest::newRow("local header names another path, bsdtar")
        << TarMode::BsdTar << disguised
        << QStringLiteral("Failed to read archive entries from %1 (FileError)");
    QTest::newRow("damaged data") << TarMode::None << damaged
                                  << QStringLiteral(
                                         "Failed to extract archive entry b.txt from %1 (FileError)");
    QTest::newRow("file where a parent directory should be")
        << TarMode::None << buildTestZip({ testFile("a", "file"), testFile("a/b", "child of a file") })
        << QStringLiteral("Failed to create parent directory for extracted file {destination}/a/b");
    QTest::newRow("file where a directory entry should be")
        << TarMode::None << buildTestZip({ testFile("a", "file"), testDirectory("a/") })
        << QStringLiteral("Failed to create extracted directory {destination}/a");
}

void TestArchiveExtraction::failures()
{
    QFETCH(TarMode, tarMode);
    REQUIRE_TAR_MODE(tarMode);
    QFETCH(QByteArray, archiveBytes);
    QFETCH(QString, expected);
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("bad.zip"));
    QVERIFY(writeTestFile(archive, archiveBytes));
    const QString destination = work.filePath(QStringLiteral("dest"));

    TarOnPath tar(tarMode);
    QString errorText;
    QVERIFY(!extractArchive(archive, destination, errorText));
    QCOMPARE(errorText,
        QString(expected)
            .replace(QStringLiteral("%1"), archive)
            .replace(QStringLiteral("{destination}"), destination));
    // Something that cannot be read as a zip is never handed to tar, whose formats we cannot check.
    QVERIFY(!tar.tarRan());
}

void TestArchiveExtraction::streamsEntriesLargerThanOneBlock()
{
    // Entries are copied in blocks of a mebibyte; sizes across block edges show the joins are exact.
    QByteArray text;
    for (int i = 0; text.size() < 3 * 1024 * 1024 + 17; ++i)
        text += QByteArray::number(i) + ' ';
    QByteArray noise(2 * 1024 * 1024 + 5, Qt::Uninitialized);
    quint32 state = 12345;
    for (char &byte : noise) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 24);
    }
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("large.zip"));
    QVERIFY(writeTestZip(archive,
        { testDeflatedFile("text.txt", text), testFile("noise.bin", noise), testFile("empty.txt", {}) }));
    const QString destination = work.filePath(QStringLiteral("dest"));

    TarOnPath tar(TarMode::None);
    QString errorText;
    QVERIFY2(extractArchive(archive, destination, errorText), qPrintable(errorText));
    QCOMPARE(readTestFile(destination + QStringLiteral("/text.txt")), text);
    QCOMPARE(readTestFile(destination + QStringLiteral("/noise.bin")), noise);
    QVERIFY(QFileInfo(destination + QStringLiteral("/empty.txt")).isFile());
}

void TestArchiveExtraction::missingArchiveSkipsTar()
{
    QTemporaryDir work;
    TarOnPath tar(TarMode::FailingTar);
    const QString archive = work.filePath(QStringLiteral("missing.zip"));
    QString errorText;
    QVERIFY(!extractArchive(archive, work.filePath(QStringLiteral("dest")), errorText));
    QCOMPARE(errorText, QStringLiteral("Archive not found: %1").arg(archive));
    QVERIFY(!tar.tarRan());

    // A destination that cannot be created (a file is in the way) stops before anything else.
    QVERIFY(writeTestFile(work.filePath(QStringLiteral("file")), "x"));
    const QString blocked = work.filePath(QStringLiteral("file/dest"));
    QVERIFY(!extractArchive(archive, blocked, errorText));
    QCOMPARE(errorText, QStringLiteral("Failed to create extraction directory %1").arg(blocked));
}

void TestArchiveExtraction::damagedEntryCarriesFallbackNote()
{
    QTemporaryDir work;
    QByteArray bytes = buildTestZip({ testFile("a.txt", "alpha"), testFile("b.txt", "bravo") });
    bytes[bytes.indexOf("bravo")] = 'B';
    const QString archive = work.filePath(QStringLiteral("damaged.zip"));
    QVERIFY(writeTestFile(archive, bytes));

    {
        TarOnPath tar(TarMode::FailingTar);
        QString errorText;
        QVERIFY(!extractArchive(archive, work.filePath(QStringLiteral("dest")), errorText));
        QVERIFY(tar.tarRan());
        QCOMPARE(errorText,
            QStringLiteral("Failed to extract archive entry b.txt from %1 (FileError)\n\nFallback note:\n"
                           "tar.exe failed to extract %1:\ntar-out\n\ntar-err\n")
                .arg(archive));
    }
    if (tarModeAvailable(TarMode::HangingTar)) {
        TarOnPath tar(TarMode::HangingTar);
        QString errorText;
        QVERIFY(
            !extractArchive(archive, work.filePath(QStringLiteral("dest")), errorText, ShortTarTimeoutMs));
        QCOMPARE(errorText,
            QStringLiteral("Failed to extract archive entry b.txt from %1 (FileError)\n\nFallback note:\n"
                           "tar.exe did not finish while extracting %1.")
                .arg(archive));
    }
}

void TestArchiveExtraction::zipStatusNames_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("name");
    QTest::newRow("0") << 0 << QStringLiteral("NoError");
    QTest::newRow("1") << 1 << QStringLiteral("FileReadError");
    QTest::newRow("2") << 2 << QStringLiteral("FileOpenError");
    QTest::newRow("3") << 3 << QStringLiteral("FilePermissionsError");
    QTest::newRow("4") << 4 << QStringLiteral("FileError");
    QTest::newRow("5") << 5 << QStringLiteral("UnknownError");
    QTest::newRow("-1") << -1 << QStringLiteral("UnknownError");
}

void TestArchiveExtraction::zipStatusNames()
{
    QFETCH(int, status);
    QFETCH(QString, name);
    QCOMPARE(zipStatusName(status), name);
}

QTEST_GUILESS_MAIN(TestArchiveExtraction)
#include "tst_archiveextraction.moc"
