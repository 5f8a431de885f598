#include "archive/filedigest.h"
#include "support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

class TestFileDigest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileDigests_data();
    void fileDigests();
    void missingFile();
};

void TestFileDigest::fileDigests_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::newRow("empty file") << qsizetype(0);
    QTest::newRow("one byte") << qsizetype(1);
    QTest::newRow("exactly one read block") << qsizetype(2 * 1024 * 1024);
    QTest::newRow("several blocks and a short one") << qsizetype(5 * 1024 * 1024 + 17);
}

void TestFileDigest::fileDigests()
{
    QFETCH(qsizetype, size);
    QTemporaryDir work;
    const QByteArray data = seededRandomBytes(size, quint32(size));
    const QString path = QDir(work.path()).filePath(QStringLiteral("file.bin"));
    QVERIFY(writeTestFile(path, data));
    QString errorText;
    QCOMPARE(sha256OfFile(path, errorText), sha256HexOf(data));
    QVERIFY(errorText.isEmpty());
}

void TestFileDigest::missingFile()
{
    QTemporaryDir work;
    const QString path = QDir(work.path()).filePath(QStringLiteral("missing.zip"));
    QString errorText;
    QCOMPARE(sha256OfFile(path, errorText), QString());
    QCOMPARE(errorText, QStringLiteral("Failed to open %1 for SHA-256 verification").arg(path));
}

QTEST_GUILESS_MAIN(TestFileDigest)
#include "tst_filedigest.moc"
