#include "platform/filedata.h"

#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace vexa;

namespace {

QByteArray patternedBytes(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 state = 7;
    for (char &byte : data) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    return data;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestFileData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copiesFilesOfEverySize_data();
    void copiesFilesOfEverySize();
    void copiesFromWhereTheSourceStands();
    void copiesFromSourcesTheKernelCannotCopy();
};

void TestFileData::copiesFilesOfEverySize_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::newRow("empty") << qsizetype(0);
    QTest::newRow("one byte") << qsizetype(1);
    QTest::newRow("just over one buffer") << qsizetype(64 * 1024 + 1);
    QTest::newRow("several megabytes") << qsizetype(5 * 1024 * 1024 + 3);
}

void TestFileData::copiesFilesOfEverySize()
{
    QFETCH(qsizetype, size);
    QTemporaryDir work;
    const QByteArray data = patternedBytes(size);
    QFile sourceFile(work.filePath(QStringLiteral("source.bin")));
    QVERIFY(sourceFile.open(QIODevice::WriteOnly));
    QCOMPARE(sourceFile.write(data), qint64(size));
    sourceFile.close();

    QFile source(sourceFile.fileName());
    QFile target(work.filePath(QStringLiteral("target.bin")));
    QVERIFY(source.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QVERIFY(target.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    QVERIFY(copyFileData(source, target, buffer));
    target.close();
    QCOMPARE(readAll(target.fileName()), data);
}

void TestFileData::copiesFromWhereTheSourceStands()
{
    QTemporaryDir work;
    QFile sourceFile(work.filePath(QStringLiteral("source.txt")));
    QVERIFY(sourceFile.open(QIODevice::WriteOnly));
    sourceFile.write("header:payload");
    sourceFile.close();

    QFile source(sourceFile.fileName());
    QFile target(work.filePath(QStringLiteral("target.txt")));
    QVERIFY(source.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QVERIFY(source.seek(7));
    QVERIFY(target.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QByteArray buffer(16, Qt::Uninitialized);
    QVERIFY(copyFileData(source, target, buffer));
    target.close();
    QCOMPARE(readAll(target.fileName()), QByteArray("payload"));
}

void TestFileData::copiesFromSourcesTheKernelCannotCopy()
{
#ifdef Q_OS_UNIX
    // A pipe is no regular file: the system refuses to copy from it, so the buffered path serves.
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    const QByteArray data = patternedBytes(40 * 1024);
    QCOMPARE(::write(fds[1], data.constData(), size_t(data.size())), ssize_t(data.size()));
    ::close(fds[1]);

    QTemporaryDir work;
    QFile source;
    QVERIFY(source.open(fds[0], QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle));
    QFile target(work.filePath(QStringLiteral("target.bin")));
    QVERIFY(target.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QByteArray buffer(4096, Qt::Uninitialized);
    QVERIFY(copyFileData(source, target, buffer));
    target.close();
    QCOMPARE(readAll(target.fileName()), data);
#else
    QSKIP("Pipes as files are a Unix test");
#endif
}

QTEST_GUILESS_MAIN(TestFileData)
#include "tst_filedata.moc"
