#include "platform/sha256hasher.h"
#include "support/testfiles.h"

#include <QTest>

using namespace vexa;

class TestSha256Hasher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void knownDigests_data();
    void knownDigests();
    void incrementalEqualsWhole();
    void savedStateGoesOn();
};

void TestSha256Hasher::knownDigests_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("digest");
    QTest::newRow("empty") << QByteArray()
                           << QStringLiteral(
                                  "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    QTest::newRow("abc") << QByteArray(
        "abc") << QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    QTest::newRow("two blocks") << QByteArray("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")
                                << QStringLiteral(
                                       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

void TestSha256Hasher::knownDigests()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, digest);
    Sha256Hasher hasher;
    hasher.addData(data);
    QCOMPARE(hasher.hexResult(), digest);
    // The hasher starts over after a result.
    hasher.addData(data);
    QCOMPARE(hasher.hexResult(), digest);
}

void TestSha256Hasher::incrementalEqualsWhole()
{
    const QByteArray data = seededRandomBytes(1000003, 1000003);
    Sha256Hasher hasher;
    for (qsizetype at = 0; at < data.size(); at += 4099)
        hasher.addData(QByteArrayView(data).sliced(at, qMin<qsizetype>(4099, data.size() - at)));
    const QByteArray raw = hasher.result();
    QCOMPARE(raw.size(), 32);
    QCOMPARE(QString::fromLatin1(raw.toHex()), sha256HexOf(data));
}

void TestSha256Hasher::savedStateGoesOn()
{
    // Saved in the middle of a block, taken up by another hasher, as a download continued later is.
    const QByteArray data = seededRandomBytes(10007, 5);
    Sha256Hasher first;
    first.addData(QByteArrayView(data).first(5003));
    const QByteArray state = first.saveState();
    if (state.isEmpty())
        QSKIP("This build hashes without libcrypto, which cannot export its state");
    Sha256Hasher second;
    QVERIFY(!second.restoreState(state.chopped(1)));
    QVERIFY(second.restoreState(state));
    second.addData(QByteArrayView(data).sliced(5003));
    QCOMPARE(second.hexResult(), sha256HexOf(data));
}

QTEST_GUILESS_MAIN(TestSha256Hasher)
#include "tst_sha256hasher.moc"
