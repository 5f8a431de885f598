#include "archive/directorycopy.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

class TestDirectoryCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copiesTreeOverDestination();
    void copiesLargeFilesWhole();
    void emptySourceSucceeds();
    void hostileTrees_data();
    void hostileTrees();
    void replacesLinkAtTarget();
    void failures_data();
    void failures();
    void copyOntoItselfKeepsFiles();
    void destinationInsideSource();
};

void TestDirectoryCopy::copiesTreeOverDestination()
{
    QTemporaryDir work;
    const QDir source(work.filePath(QStringLiteral("source")));
    const QDir destination(work.filePath(QStringLiteral("destination")));
    QVERIFY(writeTestFile(source.filePath(QStringLiteral("bin/tool")), "#!/bin/sh\n"));
    QVERIFY(QFile::setPermissions(source.filePath(QStringLiteral("bin/tool")),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser
            | QFile::ExeUser));
    QVERIFY(writeTestFile(source.filePath(QStringLiteral("lib/cmake/Pkg/PkgConfig.cmake")), "new"));
    QVERIFY(writeTestFile(source.filePath(QStringLiteral("readme.txt")), "short"));
    QVERIFY(writeTestFile(source.filePath(QStringLiteral(".hidden-file")), "hidden"));
    QVERIFY(writeTestFile(source.filePath(QStringLiteral(".hidden-dir/inside.txt")), "hidden"));
    QVERIFY(source.mkpath(QStringLiteral("share/empty")));

    QVERIFY(writeTestFile(
        destination.filePath(QStringLiteral("lib/cmake/Pkg/PkgConfig.cmake")), "old and longer"));
    QVERIFY(writeTestFile(destination.filePath(QStringLiteral("readme.txt")), "a much longer old readme"));
    QVERIFY(writeTestFile(destination.filePath(QStringLiteral("lib/extra.txt")), "kept"));

    QString errorText;
    QVERIFY2(copyDirectoryTree(source.path(), destination.path(), errorText), qPrintable(errorText));
    QVERIFY(errorText.isEmpty());
    QCOMPARE(readTestFile(destination.filePath(QStringLiteral("bin/tool"))), QByteArray("#!/bin/sh\n"));
    QVERIFY(QFileInfo(destination.filePath(QStringLiteral("bin/tool"))).permissions() & QFile::ExeOwner);
    QCOMPARE(readTestFile(destination.filePath(QStringLiteral("lib/cmake/Pkg/PkgConfig.cmake"))),
        QByteArray("new"));
    QCOMPARE(readTestFile(destination.filePath(QStringLiteral("readme.txt"))), QByteArray("short"));
    QCOMPARE(readTestFile(destination.filePath(QStringLiteral("lib/extra.txt"))), QByteArray("kept"));
    QVERIFY(QFileInfo(destination.filePath(QStringLiteral("share/empty"))).isDir());
    QVERIFY(!QFileInfo::exists(destination.filePath(QStringLiteral(".hidden-file"))));
    QVERIFY(!QFileInfo::exists(destination.filePath(QStringLiteral(".hidden-dir"))));
}

void TestDirectoryCopy::copiesLargeFilesWhole()
{
    // Larger than the copy's block and not a multiple of it, so several reads and a short last one.
    QTemporaryDir work;
    const QByteArray big = seededRandomBytes(3 * 1024 * 1024 + 12345, 42);
    const QDir source(work.filePath(QStringLiteral("source")));
    QVERIFY(writeTestFile(source.filePath(QStringLiteral("big.bin")), big));
    QVERIFY(writeTestFile(source.filePath(QStringLiteral("empty.bin")), QByteArray()));

    const QDir destination(work.filePath(QStringLiteral("a/b/destination")));
    QString errorText;
    QVERIFY2(copyDirectoryTree(source.path(), destination.path(), errorText), qPrintable(errorText));
    QCOMPARE(readTestFile(destination.filePath(QStringLiteral("big.bin"))), big);
    QVERIFY(QFileInfo(destination.filePath(QStringLiteral("empty.bin"))).isFile());
    QCOMPARE(QFileInfo(destination.filePath(QStringLiteral("empty.bin"))).size(), 0);
}

void TestDirectoryCopy::emptySourceSucceeds()
{
    QTemporaryDir work;
    QVERIFY(QDir().mkpath(work.filePath(QStringLiteral("source"))));
    QString errorText;
    QVERIFY(copyDirectoryTree(work.filePath(QStringLiteral("source")),
        work.filePath(QStringLiteral("new/destination")), errorText));
    QVERIFY(QDir(work.filePath(QStringLiteral("new/destination"))).isEmpty());
}

void TestDirectoryCopy::hostileTrees_data()
{
    QTest::addColumn<bool>("fileLinkInSource");
    QTest::addColumn<bool>("directoryLinkInSource");
    QTest::addColumn<bool>("linkedLibInDestination");
    QTest::addColumn<bool>("trailingSeparator");
    QTest::addColumn<QString>("expected"); // {source}, {dest}; empty for success

    QTest::newRow("file link to a key file outside the source")
        << true << false << false << false << QString();
    QTest::newRow("directory link out of the source") << false << true << false << false << QString();
    QTest::newRow("destination holds a link out")
        << false << false << true << false
        << QStringLiteral(
               "Refusing unsafe copied path \"lib\" of {source}: it leads through a link out of the "
               "destination {dest}.");
    QTest::newRow("source ends in a separator") << false << false << false << true << QString();
}

void TestDirectoryCopy::hostileTrees()
{
    QFETCH(bool, fileLinkInSource);
    QFETCH(bool, directoryLinkInSource);
    QFETCH(bool, linkedLibInDestination);
    QFETCH(bool, trailingSeparator);
    QFETCH(QString, expected);
    QTemporaryDir work;
    const QString canary = work.filePath(QStringLiteral("canary"));
    QVERIFY(writeTestFile(canary + QStringLiteral("/secret.key"), "not part of the payload"));
    const QString source = work.filePath(QStringLiteral("source"));
    QVERIFY(writeTestFile(source + QStringLiteral("/abc.txt"), "payload"));
    QVERIFY(writeTestFile(source + QStringLiteral("/lib/x.dll"), "payload"));
    if (fileLinkInSource)
        QVERIFY(QFile::link(canary + QStringLiteral("/secret.key"), source + QStringLiteral("/key.pem")));
    if (directoryLinkInSource)
        QVERIFY(QFile::link(canary, source + QStringLiteral("/linked")));
    const QString dest = work.filePath(QStringLiteral("root"));
    QVERIFY(writeTestFile(dest + QStringLiteral("/notes/mine.txt"), "the user's"));
    if (linkedLibInDestination)
        QVERIFY(QFile::link(canary, dest + QStringLiteral("/lib")));
    const auto canaryBefore = treeSnapshot(canary);

    QString errorText;
    const QString from = trailingSeparator ? source + QLatin1Char('/') : source;
    const bool copiedAll = copyDirectoryTree(from, dest, errorText);
    QCOMPARE(treeSnapshot(canary), canaryBefore);
    QCOMPARE(readTestFile(dest + QStringLiteral("/notes/mine.txt")), QByteArray("the user's"));
    const auto copied = treeSnapshot(dest);
    QVERIFY(!copied.contains(QStringLiteral("key.pem")) && !copied.contains(QStringLiteral("linked")));
    if (expected.isEmpty()) {
        QCOMPARE(copied.value(QStringLiteral("abc.txt")), QByteArray("payload"));
        QCOMPARE(copied.value(QStringLiteral("lib/x.dll")), QByteArray("payload"));
    }
    QCOMPARE(copiedAll, expected.isEmpty());
    QCOMPARE(errorText,
        QString(expected)
            .replace(QStringLiteral("{source}"), source)
            .replace(QStringLiteral("{dest}"), dest));
}

void TestDirectoryCopy::replacesLinkAtTarget()
{
    QTemporaryDir work;
    const QDir source(work.filePath(QStringLiteral("source")));
    const QDir destination(work.filePath(QStringLiteral("destination")));
    const QString victim = work.filePath(QStringLiteral("victim.txt"));
    QVERIFY(writeTestFile(victim, "untouched"));
    QVERIFY(writeTestFile(source.filePath(QStringLiteral("config.txt")), "payload"));
    QVERIFY(destination.mkpath(QStringLiteral(".")));
    QVERIFY(QFile::link(victim, destination.filePath(QStringLiteral("config.txt"))));

    QString errorText;
    QVERIFY2(copyDirectoryTree(source.path(), destination.path(), errorText), qPrintable(errorText));
    QVERIFY(!QFileInfo(destination.filePath(QStringLiteral("config.txt"))).isSymLink());
    QCOMPARE(readTestFile(destination.filePath(QStringLiteral("config.txt"))), QByteArray("payload"));
    QCOMPARE(readTestFile(victim), QByteArray("untouched"));
}

void TestDirectoryCopy::failures_data()
{
    QTest::addColumn<QString>("sourceRelative");
    QTest::addColumn<QString>("destinationRelative");
    QTest::addColumn<CopySourceKind>("kind");
    QTest::addColumn<QString>("expected"); // %1 source, %2 destination, each made absolute

    QTest::newRow("missing source") << QStringLiteral("missing") << QStringLiteral("destination")
                                    << CopySourceKind::PayloadDirectory
                                    << QStringLiteral("Source payload directory not found: %1");
    QTest::newRow("source is a file")
        << QStringLiteral("plain.txt") << QStringLiteral("destination") << CopySourceKind::PayloadDirectory
        << QStringLiteral("Source payload directory not found: %1");
    QTest::newRow("missing staging source")
        << QStringLiteral("missing") << QStringLiteral("destination") << CopySourceKind::PlainDirectory
        << QStringLiteral("Source directory not found: %1");
    QTest::newRow("destination below a file")
        << QStringLiteral("source") << QStringLiteral("plain.txt/destination")
        << CopySourceKind::PayloadDirectory << QStringLiteral("Failed to create destination directory %2");
    QTest::newRow("directory where the source has a file")
        << QStringLiteral("source") << QStringLiteral("occupied") << CopySourceKind::PayloadDirectory
        << QStringLiteral("Failed to replace existing file %2/sub/file.txt");
    QTest::newRow("file where the source has a directory")
        << QStringLiteral("source") << QStringLiteral("blocked") << CopySourceKind::PayloadDirectory
        << QStringLiteral("Failed to create %2/sub");
}

void TestDirectoryCopy::failures()
{
    QFETCH(QString, sourceRelative);
    QFETCH(QString, destinationRelative);
    QFETCH(CopySourceKind, kind);
    QFETCH(QString, expected);
    QTemporaryDir work;
    QVERIFY(writeTestFile(work.filePath(QStringLiteral("plain.txt")), "x"));
    QVERIFY(writeTestFile(work.filePath(QStringLiteral("source/sub/file.txt")), "payload"));
    QVERIFY(QDir().mkpath(work.filePath(QStringLiteral("occupied/sub/file.txt/inner"))));
    QVERIFY(writeTestFile(work.filePath(QStringLiteral("blocked/sub")), "a file"));

    const QString source = work.filePath(sourceRelative);
    const QString destination = work.filePath(destinationRelative);
    QString errorText;
    QVERIFY(!copyDirectoryTree(source, destination, errorText, kind));
    QCOMPARE(errorText,
        QString(expected).replace(QStringLiteral("%1"), source).replace(QStringLiteral("%2"), destination));
}

void TestDirectoryCopy::copyOntoItselfKeepsFiles()
{
    QTemporaryDir work;
    const QDir tree(work.filePath(QStringLiteral("tree")));
    QVERIFY(writeTestFile(tree.filePath(QStringLiteral("a/file.txt")), "precious"));
    QVERIFY(QFile::link(tree.path(), work.filePath(QStringLiteral("alias"))));
    QString errorText;
    QVERIFY2(copyDirectoryTree(tree.path(), work.filePath(QStringLiteral("alias")), errorText),
        qPrintable(errorText));
    QVERIFY2(copyDirectoryTree(tree.path() + QStringLiteral("/a/.."), tree.path(), errorText),
        qPrintable(errorText));
    QCOMPARE(readTestFile(tree.filePath(QStringLiteral("a/file.txt"))), QByteArray("precious"));
}

void TestDirectoryCopy::destinationInsideSource()
{
    QTemporaryDir work;
    const QDir source(work.filePath(QStringLiteral("source")));
    QVERIFY(writeTestFile(source.filePath(QStringLiteral("a/file.txt")), "payload"));
    QVERIFY(writeTestFile(source.filePath(QStringLiteral("b.txt")), "b"));
    const QDir destination(source.filePath(QStringLiteral("staged")));
    QString errorText;
    QVERIFY2(copyDirectoryTree(source.path(), destination.path(), errorText), qPrintable(errorText));
    QCOMPARE(readTestFile(destination.filePath(QStringLiteral("a/file.txt"))), QByteArray("payload"));
    QCOMPARE(readTestFile(destination.filePath(QStringLiteral("b.txt"))), QByteArray("b"));
    QVERIFY(!QFileInfo::exists(destination.filePath(QStringLiteral("staged"))));
}

QTEST_GUILESS_MAIN(TestDirectoryCopy)
#include "tst_directorycopy.moc"
