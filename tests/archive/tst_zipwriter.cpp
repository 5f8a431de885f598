#include "archive/archiveextraction.h"
#include "archive/zipdirectory.h"
#include "archive/zipwriter.h"
#include "support/testfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

namespace {

// A second, independent reader of the format.
bool unzipAccepts(const QString &archive)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), { QStringLiteral("-tqq"), archive });
    return unzip.waitForFinished(60000) && unzip.exitStatus() == QProcess::NormalExit
        && unzip.exitCode() == 0;
}

} // namespace

// Archives that the installer's own reader and unzip read back exactly, with bytes that depend only on
// the entries' names and contents.
class TestZipWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsBackExactly_data();
    void readsBackExactly();
    void sameBytesWhateverTheThreadsOrderAndFileTimes();
    void manyEntriesGetZip64EndRecords();
};

void TestZipWriter::readsBackExactly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("method");
    QTest::addColumn<bool>("descriptor");

    const QByteArray text = QByteArray("find_package(Qt6 REQUIRED)\n").repeated(400);
    QTest::newRow("text is deflated") << "lib/cmake/config.cmake" << text << 8 << false;
    QTest::newRow("incompressible small file is stored")
        << "bin/tool.exe" << seededRandomBytes(4096, 1) << 0 << false;
    QTest::newRow("empty file") << "empty.txt" << QByteArray() << 0 << false;
    QTest::newRow("exactly one block") << "one.bin" << seededRandomBytes(ZipWriterBlockSize, 2) << 0 << false;
    QTest::newRow("several blocks follow their data with a descriptor")
        << "big.bin" << seededRandomBytes(2 * ZipWriterBlockSize, 3) + text.repeated(100) << 8 << true;
    QTest::newRow("non-ASCII name") << QStringLiteral("données/ä.txt") << QByteArray("x") << 0 << false;
}

void TestZipWriter::readsBackExactly()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, data);
    QFETCH(int, method);
    QFETCH(bool, descriptor);
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("source.bin"));
    QVERIFY(writeTestFile(source, data));
    const QString archive = work.filePath(QStringLiteral("out.zip"));

    ZipWriteResult result;
    QString errorText;
    QVERIFY2(
        writeDeterministicZip({ { name, source, false }, { QStringLiteral("share/empty"), QString(), true } },
            archive, result, errorText, 2),
        qPrintable(errorText));
    QCOMPARE(result.sha256, sha256HexOf(readTestFile(archive)));
    QCOMPARE(result.size, QFileInfo(archive).size());

    QList<ZipDirectoryEntry> entries;
    QVERIFY(readZipDirectory(archive, entries));
    QCOMPARE(entries.size(), 2);
    const ZipDirectoryEntry &file = entries.at(0);
    QCOMPARE(file.storedPath, name);
    QCOMPARE(int(file.method), method);
    QCOMPARE(bool(file.flags & 0x0008), descriptor);
    QCOMPARE(file.permissions,
        QFileDevice::ReadOwner | QFileDevice::ReadUser | QFileDevice::WriteOwner | QFileDevice::WriteUser
            | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QVERIFY(entries.at(1).isDirectory);
    QVERIFY(unzipAccepts(archive));

    const QString destination = work.filePath(QStringLiteral("extracted"));
    QVERIFY2(extractArchive(archive, destination, errorText), qPrintable(errorText));
    QCOMPARE(readTestFile(destination + QLatin1Char('/') + name), data);
    QVERIFY(QFileInfo(destination + QStringLiteral("/share/empty")).isDir());
}

void TestZipWriter::sameBytesWhateverTheThreadsOrderAndFileTimes()
{
    QTemporaryDir work;
    QList<ZipSourceEntry> entries;
    for (const auto &[name, data] :
        { std::pair { "a/big.bin", seededRandomBytes(3 * ZipWriterBlockSize + 7, 4) },
            std::pair { "a-b.txt", QByteArray("text ").repeated(1000) },
            std::pair { "z.txt", QByteArray("z") } }) {
        const QString path = work.filePath(QStringLiteral("tree/") + QLatin1String(name));
        QVERIFY(writeTestFile(path, data));
        entries.append({ QLatin1String(name), path, false });
    }
    entries.append({ QStringLiteral("a"), QString(), true });

    ZipWriteResult result;
    QString errorText;
    const QString first = work.filePath(QStringLiteral("first.zip"));
    QVERIFY2(writeDeterministicZip(entries, first, result, errorText, 1), qPrintable(errorText));

    std::reverse(entries.begin(), entries.end());
    QFile touched(work.filePath(QStringLiteral("tree/z.txt")));
    QVERIFY(touched.open(QIODevice::ReadWrite));
    QVERIFY(
        touched.setFileTime(QDateTime::currentDateTimeUtc().addYears(-3), QFileDevice::FileModificationTime));
    touched.close();
    QVERIFY(touched.setPermissions(touched.permissions() | QFileDevice::ExeOwner));
    const QString second = work.filePath(QStringLiteral("second.zip"));
    QVERIFY2(writeDeterministicZip(entries, second, result, errorText, 3), qPrintable(errorText));

    QCOMPARE(readTestFile(second), readTestFile(first));
}

void TestZipWriter::manyEntriesGetZip64EndRecords()
{
    // More entries than the classic end record can count; directories need no source files.
    QTemporaryDir work;
    QList<ZipSourceEntry> entries;
    for (int i = 0; i < 0x10000 + 10; ++i)
        entries.append({ QStringLiteral("d%1").arg(i), QString(), true });
    const QString archive = work.filePath(QStringLiteral("many.zip"));
    ZipWriteResult result;
    QString errorText;
    QVERIFY2(writeDeterministicZip(entries, archive, result, errorText), qPrintable(errorText));
    QList<ZipDirectoryEntry> read;
    QVERIFY(readZipDirectory(archive, read));
    QCOMPARE(read.size(), entries.size());
    QVERIFY(unzipAccepts(archive));
}

QTEST_GUILESS_MAIN(TestZipWriter)
#include "tst_zipwriter.moc"
