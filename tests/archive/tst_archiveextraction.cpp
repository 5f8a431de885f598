#include "archive/archiveextraction.h"
#include "support/testfiles.h"
#include "testzipwriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace vexa;

namespace {

bool toolAvailable(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

#define REQUIRE_PYTHON()                                                                                     \
    do {                                                                                                     \
        if (!toolAvailable(QStringLiteral("python3")))                                                       \
            QSKIP("python3 is needed to write archives as real zip tools do");                               \
    } while (false)

// A local header extra field that bsdtar reads as "this entry is a link": the central directory says
// a plain file, so a reader that trusted the local header would create a link the check never saw.
QByteArray localLinkExtra()
{
    QByteArray extra(4 + 7, Qt::Uninitialized);
    qToLittleEndian<quint16>(0x6c78, extra.data());
    qToLittleEndian<quint16>(7, extra.data() + 2);
    extra[4] = 0x05; // "version made by" and external attributes follow
    qToLittleEndian<quint16>((3 << 8) | 20, extra.data() + 5);
    qToLittleEndian<quint32>(0120777u << 16, extra.data() + 7);
    return extra;
}

TestZipEntry withMethod(TestZipEntry entry, int method, quint16 flags = 0)
{
    entry.method = method;
    entry.extraFlags = flags;
    return entry;
}

} // namespace

Q_DECLARE_METATYPE(vexa::TestZipEntry)

class TestArchiveExtraction : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void extractsRealArchive();
    void extractsZip64Archive();
    void extractsArchiveStoringItsTopFolderAsDot();
    void replacesExistingFilesAndDirectories();
    void keepsPermissions();
    void writesSymLinkEntriesAsPlainFiles();
    void symLinkEntryCannotRedirectLaterEntries();
    void hostileArchives_data();
    void hostileArchives();
    void failures_data();
    void failures();
    void streamsEntriesLargerThanOneBlock();
    void writesMarkersLast();

private:
    QString makeRealArchive(const QString &directory);
};

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
    REQUIRE_PYTHON();
    QTemporaryDir work;
    const QString archive = makeRealArchive(work.path());
    QVERIFY(!archive.isEmpty());
    const QString destination = work.filePath(QStringLiteral("root/nested/dest"));

    QString errorText;
    QVERIFY2(extractArchive(archive, destination, errorText), qPrintable(errorText));
    QVERIFY(errorText.isEmpty());

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

// bsdtar, which is also Windows' own tar, stores the top folder as "./" when asked to pack "." of a
// directory, as a person packing a release by hand would: `tar -a -c -f client.zip -C dir .`.
void TestArchiveExtraction::extractsArchiveStoringItsTopFolderAsDot()
{
    if (!toolAvailable(QStringLiteral("bsdtar")))
        QSKIP("bsdtar (libarchive-tools) packs the archive");
    QTemporaryDir work;
    const QString release = work.filePath(QStringLiteral("release"));
    QVERIFY(writeTestFile(release + QStringLiteral("/bin/tool"), "#!/bin/sh\n")
        && writeTestFile(release + QStringLiteral("/lib/deep/libx.so"), "library"));
    QVERIFY(QFile::setPermissions(release + QStringLiteral("/bin/tool"),
        QFile::permissions(release + QStringLiteral("/bin/tool")) | QFileDevice::ExeOwner));
    const QString archive = work.filePath(QStringLiteral("client.zip"));
    QProcess bsdtar;
    bsdtar.start(QStringLiteral("bsdtar"),
        { QStringLiteral("-a"), QStringLiteral("-c"), QStringLiteral("-f"), archive, QStringLiteral("-C"),
            release, QStringLiteral(".") });
    QVERIFY(bsdtar.waitForFinished(30000) && bsdtar.exitCode() == 0);

    QString errorText;
    const QString destination = work.filePath(QStringLiteral("installed"));
    QVERIFY2(extractArchive(archive, destination, errorText), qPrintable(errorText));
    QCOMPARE(readTestFile(destination + QStringLiteral("/lib/deep/libx.so")), QByteArray("library"));
    QVERIFY(QFileInfo(destination + QStringLiteral("/bin/tool")).isExecutable());
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

    QString errorText;
    const QDir dest(work.filePath(QStringLiteral("dest")));
    QVERIFY2(extractArchive(archive, dest.path(), errorText), qPrintable(errorText));
    QCOMPARE(
        readTestFile(dest.filePath(QStringLiteral("a/first.txt"))), QByteArray("first entry ").repeated(100));
    QCOMPARE(readTestFile(dest.filePath(QStringLiteral("a/second.txt"))),
        QByteArray("second entry ").repeated(100));
}

void TestArchiveExtraction::replacesExistingFilesAndDirectories()
{
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

    QString errorText;
    QVERIFY2(extractArchive(archive, dest.path(), errorText), qPrintable(errorText));
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
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("a.zip"));
    QVERIFY(writeTestZip(archive,
        { testFile("run.sh", "#!/bin/sh\n", 0755), testFile("readonly.txt", "ro", 0444),
            testFile("dos.txt", "from a DOS host", 0) }));
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

void TestArchiveExtraction::writesSymLinkEntriesAsPlainFiles()
{
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("links.zip"));
    const QByteArray outside = QFile::encodeName(work.filePath(QStringLiteral("outside.txt")));
    QVERIFY(writeTestFile(QString::fromUtf8(outside), "outside"));
    QVERIFY(writeTestZip(archive,
        { testFile("lib/libfoo.so.1", "library"), testSymLink("lib/libfoo.so", "libfoo.so.1"),
            testSymLink("escape", outside) }));
    const QDir dest(work.filePath(QStringLiteral("dest")));

    QString errorText;
    QVERIFY2(extractArchive(archive, dest.path(), errorText), qPrintable(errorText));
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

void TestArchiveExtraction::hostileArchives_data()
{
    QTest::addColumn<QList<TestZipEntry>>("entries");
    // A link the destination already holds: "lib" leading to the canary directory outside.
    QTest::addColumn<bool>("linkedLib");
    // {archive}, {dest}; empty when the extraction succeeds.
    QTest::addColumn<QString>("expected");
    // A path below the destination that must not exist afterwards.
    QTest::addColumn<QString>("absent");

    const QString refused = QStringLiteral("Refusing unsafe archive entry \"%1\" of {archive}: %2.");
    const QString itself = QStringLiteral("it names the destination {dest} itself");
    const QString outside = QStringLiteral("it lies outside the destination {dest}");
    const QString notAName = QStringLiteral("it is not a valid file name");
    const QString throughLink = QStringLiteral("it leads through a link out of the destination {dest}");
    const auto row = [](const char *name, QList<TestZipEntry> entries, bool linked, const QString &expected,
                         const QString &absent = QString()) {
        // A harmless entry first: every refusal comes before anything is written.
        entries.prepend(testFile("harmless.txt", "ok"));
        QTest::newRow(name) << entries << linked << expected
                            << (absent.isEmpty() ? QStringLiteral("harmless.txt") : absent);
    };

    row("dot: the whole destination", { testFile(".", "x") }, false,
        refused.arg(QStringLiteral("."), itself));
    row("dot, slash, dot", { testFile("./.", "x") }, false, refused.arg(QStringLiteral("./."), itself));
    row("dot between blanks", { testFile(" . ", "x") }, false, refused.arg(QStringLiteral(" . "), itself));
    row("empty name", { testFile("", "x") }, false, refused.arg(QString(), itself));
    row("another package's directory itself", { testFile("qt6/.", "x") }, false,
        refused.arg(QStringLiteral("qt6/."), notAName));
    row("parent", { testFile("../escaped.txt", "x") }, false,
        refused.arg(QStringLiteral("../escaped.txt"), outside));
    row("parent after a directory", { testFile("inner/../../escaped.txt", "x") }, false,
        refused.arg(QStringLiteral("inner/../../escaped.txt"), outside));
    row("absolute", { testFile("/tmp/vexa-escaped.txt", "x") }, false,
        refused.arg(QStringLiteral("/tmp/vexa-escaped.txt"), outside));
    row("absolute after a blank", { testFile(" /tmp/vexa-escaped.txt", "x") }, false,
        refused.arg(QStringLiteral(" /tmp/vexa-escaped.txt"), outside));
    row("backslash parent", { testFile("..\\escaped.txt", "x") }, false,
        refused.arg(QStringLiteral("..\\escaped.txt"), outside));
    row("drive letter", { testFile("C:/escaped.txt", "x") }, false,
        refused.arg(QStringLiteral("C:/escaped.txt"), outside));
    row("dots and blanks Windows reads as a parent", { testFile("inner/.. /escaped.txt", "x") }, false,
        refused.arg(QStringLiteral("inner/.. /escaped.txt"), notAName));
    row("colon: an NTFS stream of the file before it", { testFile("lib/a:b.dll", "x") }, false,
        refused.arg(QStringLiteral("lib/a:b.dll"), notAName));
    row("an escape sequence in the name is shown escaped", { testFile("ctl\x1b[31mred.txt", "x") }, false,
        refused.arg(QStringLiteral("ctl\\x1B[31mred.txt"), notAName));
    row("file through an existing link out", { testFile("lib/pwned.txt", "x") }, true,
        refused.arg(QStringLiteral("lib/pwned.txt"), throughLink));
    row("directory through an existing link out", { testDirectory("lib/sub/") }, true,
        refused.arg(QStringLiteral("lib/sub/"), throughLink));
    row("encrypted entry", { withMethod(testFile("secret.txt", "x"), 0, 0x0001) }, false,
        QStringLiteral("Cannot extract archive entry secret.txt from {archive}: it is encrypted."));
    row("bzip2 entry", { withMethod(testFile("b.txt", "x"), 12) }, false,
        QStringLiteral(
            "Cannot extract archive entry b.txt from {archive}: compression method 12 is not supported."));
    row("AES entry", { withMethod(testFile("a.txt", "x"), 99, 0x0001) }, false,
        QStringLiteral("Cannot extract archive entry a.txt from {archive}: it is encrypted."));

    TestZipEntry localLink = testFile("link", "../canary");
    localLink.localExtra = localLinkExtra();
    QTest::newRow("local header marks a link, the directory a file")
        << QList<TestZipEntry> { localLink } << false << QString() << QString();
    QTest::newRow("directory entry naming the destination: nothing to do")
        << QList<TestZipEntry> { testDirectory("./"), testFile("./inner/a.txt", "a") } << false << QString()
        << QString();
    QTest::newRow("one more byte than recorded")
        << QList<TestZipEntry> { testMisrecordedFile("big.bin", "hello", 4) } << false
        << QStringLiteral("Extracted archive entry big.bin from {archive} has size 5, expected 4.")
        << QStringLiteral("big.bin");
}

void TestArchiveExtraction::hostileArchives()
{
    QFETCH(QList<TestZipEntry>, entries);
    QFETCH(bool, linkedLib);
    QFETCH(QString, expected);
    QFETCH(QString, absent);
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("hostile.zip"));
    QVERIFY(writeTestZip(archive, entries));
    const QString canary = work.filePath(QStringLiteral("canary"));
    QVERIFY(writeTestFile(canary + QStringLiteral("/canary.txt"), "outside"));
    // The destination holds other packages, the manifests and the user's own files.
    const QString dest = work.filePath(QStringLiteral("root"));
    QVERIFY(writeTestFile(dest + QStringLiteral("/qt6/lib/Qt6Core.dll"), "another package"));
    QVERIFY(writeTestFile(dest + QStringLiteral("/manifest/state.json"), "{}"));
    QVERIFY(writeTestFile(dest + QStringLiteral("/notes/mine.txt"), "the user's"));
    if (linkedLib)
        QVERIFY(QFile::link(canary, dest + QStringLiteral("/lib")));
    const auto canaryBefore = treeSnapshot(canary);
    const auto destBefore = treeSnapshot(dest);

    QString errorText;
    const bool extracted = extractArchive(archive, dest, errorText);
    QCOMPARE(treeSnapshot(canary), canaryBefore);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/vexa-escaped.txt")));
    QVERIFY(!QFileInfo::exists(work.filePath(QStringLiteral("escaped.txt"))));
    auto destAfter = treeSnapshot(dest);
    if (!absent.isEmpty())
        QVERIFY2(!destAfter.contains(absent), qPrintable(absent));
    // Whatever was written, nothing of what was there is gone or changed, and nothing is a new link.
    for (auto it = destBefore.cbegin(); it != destBefore.cend(); ++it)
        QCOMPARE(destAfter.take(it.key()), it.value());
    for (auto it = destAfter.cbegin(); it != destAfter.cend(); ++it)
        QVERIFY2(!it.value().startsWith("-> "), qPrintable(it.key()));
    QCOMPARE(extracted, expected.isEmpty());
    QCOMPARE(errorText,
        QString(expected)
            .replace(QStringLiteral("{archive}"), archive)
            .replace(QStringLiteral("{dest}"), dest));
}

void TestArchiveExtraction::failures_data()
{
    QTest::addColumn<QByteArray>("archiveBytes");
    QTest::addColumn<QString>("expected"); // %1: the archive path, {destination}: the destination

    const QByteArray good = buildTestZip({ testFile("a.txt", "alpha"), testFile("b.txt", "bravo") });
    QByteArray sizeMismatch
        = buildTestZip({ testFile("ok.txt", "ok"), testMisrecordedFile("big%2.bin", "hello", 9) });

    QTest::newRow("recorded size larger than the data")
        << sizeMismatch
        << QStringLiteral("Extracted archive entry big%2.bin from %1 has size 5, expected 9.");
    QTest::newRow("not a zip file") << QByteArray("this is not an archive at all")
                                    << QStringLiteral("Failed to read archive entries from %1 (FileError)");
    QTest::newRow("cut short") << good.left(good.size() - 30)
                               << QStringLiteral("Failed to read archive entries from %1 (FileError)");
    QTest::newRow("empty file") << QByteArray()
                                << QStringLiteral("Failed to read archive entries from %1 (FileError)");
    QByteArray damaged = good;
    damaged[damaged.indexOf("bravo")] = 'B';
    const QByteArray text = QByteArray("set(Pkg_FOUND TRUE)\n").repeated(2000);
    QByteArray badStream = buildTestZip({ testDeflatedFile("lib/config.cmake", text) });
    badStream[60] = char(~badStream.at(60));
    QTest::newRow("damaged compressed data")
        << badStream
        << QStringLiteral("Failed to extract archive entry lib/config.cmake from %1 (FileError)");
    // The directory names a harmless path while the local header climbs out.
    QByteArray disguised = buildTestZip({ testFile("safe.txt", "escaped") });
    disguised.replace(disguised.indexOf("safe.txt"), 8, "../e.txt");
    QTest::newRow("local header names another path")
        << disguised << QStringLiteral("Failed to read archive entries from %1 (FileError)");
    QTest::newRow("damaged data") << damaged
                                  << QStringLiteral(
                                         "Failed to extract archive entry b.txt from %1 (FileError)");
    QTest::newRow("file where a parent directory should be")
        << buildTestZip({ testFile("a", "file"), testFile("a/b", "child of a file") })
        << QStringLiteral("Failed to create parent directory for extracted file {destination}/a/b");
    QTest::newRow("file where a directory entry should be")
        << buildTestZip({ testFile("a", "file"), testDirectory("a/") })
        << QStringLiteral("Failed to create extracted directory {destination}/a");
    QTest::newRow("missing archive") << QByteArray() << QStringLiteral("Archive not found: %1");
    QTest::newRow("destination below a file")
        << good << QStringLiteral("Failed to create extraction directory {destination}");
}

void TestArchiveExtraction::failures()
{
    QFETCH(QByteArray, archiveBytes);
    QFETCH(QString, expected);
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("bad.zip"));
    if (!expected.startsWith(QLatin1String("Archive not found")))
        QVERIFY(writeTestFile(archive, archiveBytes));
    QString destination = work.filePath(QStringLiteral("dest"));
    if (expected.startsWith(QLatin1String("Failed to create extraction directory"))) {
        QVERIFY(writeTestFile(work.filePath(QStringLiteral("file")), "x"));
        destination = work.filePath(QStringLiteral("file/dest"));
    }

    QString errorText;
    QVERIFY(!extractArchive(archive, destination, errorText));
    QCOMPARE(errorText,
        QString(expected)
            .replace(QStringLiteral("%1"), archive)
            .replace(QStringLiteral("{destination}"), destination));
    // An entry that failed its check is not left behind as if it were good.
    QVERIFY(!QFileInfo::exists(destination + QStringLiteral("/b.txt")));
    QVERIFY(!QFileInfo::exists(destination + QStringLiteral("/big%2.bin")));
    QVERIFY(!QFileInfo::exists(destination + QStringLiteral("/lib/config.cmake")));
}

void TestArchiveExtraction::streamsEntriesLargerThanOneBlock()
{
    // Entries are copied in blocks of a mebibyte; sizes across block edges show the joins are exact.
    QByteArray text;
    for (int i = 0; text.size() < 3 * 1024 * 1024 + 17; ++i)
        text += QByteArray::number(i) + ' ';
    const QByteArray noise = seededRandomBytes(2 * 1024 * 1024 + 5, 12345);
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("large.zip"));
    QVERIFY(writeTestZip(archive,
        { testDeflatedFile("text.txt", text), testFile("noise.bin", noise), testFile("empty.txt", {}) }));
    const QString destination = work.filePath(QStringLiteral("dest"));

    QString errorText;
    QVERIFY2(extractArchive(archive, destination, errorText), qPrintable(errorText));
    QCOMPARE(readTestFile(destination + QStringLiteral("/text.txt")), text);
    QCOMPARE(readTestFile(destination + QStringLiteral("/noise.bin")), noise);
    QVERIFY(QFileInfo(destination + QStringLiteral("/empty.txt")).isFile());
}

void TestArchiveExtraction::writesMarkersLast()
{
    // The marker comes first in the archive, a damaged entry after it: the package must not look
    // installed after the failure, so the marker waits for everything else.
    QTemporaryDir work;
    QByteArray bytes = buildTestZip(
        { testFile("pkg/.marker", "m"), testFile("pkg/a.txt", "alpha"), testFile("pkg/b.txt", "bravo") });
    bytes[bytes.indexOf("bravo")] = 'B';
    const QString archive = work.filePath(QStringLiteral("pkg.zip"));
    QVERIFY(writeTestFile(archive, bytes));
    const QString destination = work.filePath(QStringLiteral("dest"));
    QString errorText;
    QVERIFY(!extractArchive(archive, destination, errorText, { QStringLiteral("PKG\\.marker") }));
    QVERIFY(QFileInfo::exists(destination + QStringLiteral("/pkg/a.txt")));
    QVERIFY(!QFileInfo::exists(destination + QStringLiteral("/pkg/.marker")));

    QVERIFY(writeTestZip(archive, { testFile("pkg/.marker", "m"), testFile("pkg/a.txt", "alpha") }));
    QVERIFY2(extractArchive(archive, destination, errorText, { QStringLiteral("pkg/.marker") }),
        qPrintable(errorText));
    QCOMPARE(readTestFile(destination + QStringLiteral("/pkg/.marker")), QByteArray("m"));
}

QTEST_GUILESS_MAIN(TestArchiveExtraction)
#include "tst_archiveextraction.moc"
