#include "archive/releasesignature.h"
#include "support/testfiles.h"
#include "support/testreleasekey.h"

#include <QTemporaryDir>
#include <QTest>

#include <map>

using namespace vexa;

// Detached Ed25519 signatures as scripts/sign-release.sh makes them, against the keys a build trusts.
class TestReleaseSignature : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void signatureCheck_data();
    void signatureCheck();

private:
    // "%A", "%B" and "%C" in a key list stand for the public keys of the three test keys.
    QString expandKeys(QString text) const
    {
        for (const auto &[name, key] : m_keys)
            text.replace(QLatin1Char('%') + name, key.publicKeyBase64());
        return text;
    }

    std::map<QString, TestReleaseKey> m_keys;
};

void TestReleaseSignature::initTestCase()
{
    for (const QString name : { "A", "B", "C" }) {
        QString errorText;
        QVERIFY2(m_keys[name].generate(errorText), qPrintable(errorText));
    }
}

void TestReleaseSignature::signatureCheck_data()
{
    QTest::addColumn<QByteArray>("signedBytes");
    QTest::addColumn<QByteArray>("checkedBytes");
    QTest::addColumn<QString>("signer"); // a test key, or empty for the `signature` text itself
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<QString>("trustedKeys");
    QTest::addColumn<QString>("reason"); // empty: accepted

    const QByteArray manifest = R"({"version": "2.0", "archive_url": "c.zip"})"
                                "\n";
    QByteArray changed = manifest;
    changed[13] = '1';
    const QString noMatch = QStringLiteral("signature does not match any trusted key");
    const QString malformed = QStringLiteral("signature is malformed");
    const auto row
        = [](const char *name, const QByteArray &signedBytes, const QByteArray &checkedBytes,
              const char *signer, const QByteArray &signature, const char *trusted, const QString &reason) {
              QTest::newRow(name) << signedBytes << checkedBytes << QString(signer) << signature
                                  << QString(trusted) << reason;
          };
    row("signed by the one trusted key", manifest, manifest, "A", {}, "%A", {});
    row("two keys built in: the first signs", manifest, manifest, "A", {}, "%A;%B", {});
    row("two keys built in: the second signs", manifest, manifest, "B", {}, " %A ; %B ;", {});
    row("a changed byte", manifest, changed, "A", {}, "%A;%B", noMatch);
    row("signed by another key", manifest, manifest, "C", {}, "%A;%B", noMatch);
    row("a mistyped key only fails", manifest, manifest, "A", {}, "QUJD", noMatch);
    row("not base64", manifest, manifest, "", "not*base64!", "%A", malformed);
    row("too short for a signature", manifest, manifest, "", "QUJD\n", "%A", malformed);
    row("empty signature file", manifest, manifest, "", "", "%A", malformed);
    // RFC 8032, section 7.1, test 1: the empty message, independent of the openssl command line.
    row("published test vector", {}, {}, "",
        QByteArray::fromHex("e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
                            "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b")
                .toBase64()
            + "\r\n",
        "%A;11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=", {});
}

void TestReleaseSignature::signatureCheck()
{
    QFETCH(QByteArray, signedBytes);
    QFETCH(QByteArray, checkedBytes);
    QFETCH(QString, signer);
    QFETCH(QByteArray, signature);
    QFETCH(QString, trustedKeys);
    QFETCH(QString, reason);

    if (!signer.isEmpty()) {
        QTemporaryDir directory;
        const QString document = directory.filePath(QStringLiteral("client-manifest.json"));
        QString errorText;
        QVERIFY(writeTestFile(document, signedBytes));
        QVERIFY2(m_keys.at(signer).sign({ document }, errorText), qPrintable(errorText));
        signature = readTestFile(document + QStringLiteral(".sig"));
        // One line of base64, as the script promises.
        QCOMPARE(signature.count('\n'), 1);
    }

    const ReleaseKeys keys = parseReleaseKeys(expandKeys(trustedKeys));
    QVERIFY(!keys.isEmpty());
    QString actualReason;
    QCOMPARE(isSignedByReleaseKey(keys, checkedBytes, signature, actualReason), reason.isEmpty());
    QCOMPARE(actualReason, reason);
}

QTEST_GUILESS_MAIN(TestReleaseSignature)
#include "tst_releasesignature.moc"
