#include "engine/archiveacquisition.h"
#include "net/httpget.h"

#include "support/testfiles.h"
#include "support/testhttpserver.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace vexa;

// The catalog download (httpGet) and the archive download read a finished reply the same way; each
// row runs through both and expects the same verdict and the same reason in their own messages.
class TestDownloadOutcome : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void outcome_data();
    void outcome();

private:
    QTemporaryDir m_root;
    std::unique_ptr<TestHttpServer> m_http;
    std::unique_ptr<TestHttpServer> m_https;
};

namespace {

const QByteArray Payload = seededRandomBytes(64 * 1024 + 5, 11);

} // namespace

void TestDownloadOutcome::initTestCase()
{
    QVERIFY(m_root.isValid());
    QVERIFY(writeTestFile(m_root.filePath(QStringLiteral("files/payload.bin")), Payload));
    m_http = std::make_unique<TestHttpServer>(m_root.path());
    QVERIFY2(m_http->start(), qPrintable(m_http->errorString()));
    m_https = std::make_unique<TestHttpServer>(m_root.path(), TestHttpServer::Https);
    QVERIFY2(m_https->start(), qPrintable(m_https->errorString()));
}

void TestDownloadOutcome::init()
{
    m_http->clearRequestLog();
}

void TestDownloadOutcome::outcome_data()
{
    // "{http}" and "{https}" stand for the servers' base URLs, "{url}" for the requested URL as Qt's
    // messages show it (decoded).
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("body");
    // Empty for a download that succeeds.
    QTest::addColumn<QString>("reasonPattern");

    const QString replied = QStringLiteral("Error transferring {url} - server replied: %1");
    QTest::newRow("file") << "{http}/files/payload.bin" << Payload << QString();
    QTest::newRow("status 399 passes")
        << "{http}/status/399?reason=Almost&body=fine" << QByteArray("fine") << QString();
    QTest::newRow("redirect followed")
        << "{http}/redirect?to=/files/payload.bin&code=302" << Payload << QString();
    QTest::newRow("redirect chain followed")
        << "{http}/redirect?to=/redirect%3Fto%3D/files/payload.bin%26code%3D307&code=301" << Payload
        << QString();
    QTest::newRow("redirect from http to https followed")
        << "{http}/redirect?code=302&to={https}/files/payload.bin" << Payload << QString();

    QTest::newRow("404") << "{http}/files/none.bin" << QByteArray() << replied.arg("Not Found");
    QTest::newRow("404 with its own reason")
        << "{http}/status/404?reason=Gone%20Fishing" << QByteArray() << replied.arg("Gone Fishing");
    QTest::newRow("400") << "{http}/status/400?reason=Bad%20Thing" << QByteArray()
                         << replied.arg("Bad Thing");
    QTest::newRow("500") << "{http}/status/500?reason=Broken%20Disk" << QByteArray()
                         << replied.arg("Broken Disk");
    QTest::newRow("status beyond the known range")
        << "{http}/status/600?reason=Odd" << QByteArray() << replied.arg("Odd");
    QTest::newRow("redirect to a missing file")
        << "{http}/redirect?to=/files/none.bin" << QByteArray()
        << "Error transferring {http}/files/none.bin - server replied: Not Found";
    QTest::newRow("redirect from https to http refused")
        << "{https}/redirect?code=302&to={http}/files/payload.bin" << QByteArray() << "Insecure redirect";
    // Qt reports a connection closed early as its own error or as a success; the second is caught by
    // comparing with the announced length.
    QTest::newRow("connection closed before the announced length")
        << "{http}/wronglength/files/payload.bin?length=999999" << QByteArray()
        << "Connection closed( after \\d+ of 999999 bytes)?";
}

void TestDownloadOutcome::outcome()
{
    QFETCH(QString, url);
    QFETCH(QByteArray, body);
    QFETCH(QString, reasonPattern);
    const auto expand = [this](QString text) {
        return text.replace(QLatin1String("{https}"), m_https->baseUrl())
            .replace(QLatin1String("{http}"), m_http->baseUrl());
    };
    const QString urlText = QUrl(expand(url)).toString(QUrl::FullyEncoded);

    QByteArray received;
    QUrl finalUrl;
    QString httpError;
    const bool httpOk = httpGet(QUrl(urlText), received, finalUrl, httpError, 20000);

    QTemporaryDir cache;
    QVERIFY(cache.isValid());
    PackageDefinition package;
    package.package_id = QStringLiteral("com.example.pkg");
    package.display_name = QStringLiteral("Pkg");
    package.payload_url = urlText;
    QString archivePath;
    QString archiveError;
    const bool archiveOk = acquireArchive(QString(), package, cache.path(), archivePath, archiveError);

    if (reasonPattern.isEmpty()) {
        QVERIFY2(httpOk, qPrintable(httpError));
        QVERIFY2(archiveOk, qPrintable(archiveError));
        QCOMPARE(received, body);
        QCOMPARE(readTestFile(archivePath), body);
        return;
    }
    const QString reason
        = QString(reasonPattern)
              .replace(QLatin1String("{url}"), QRegularExpression::escape(QUrl(urlText).toString()))
              .replace(QLatin1String("{http}"), QRegularExpression::escape(m_http->baseUrl()));
    const QRegularExpression httpMessage(
        QStringLiteral("^Failed to download %1: %2$").arg(QRegularExpression::escape(urlText), reason));
    const QRegularExpression archiveMessage(QStringLiteral("^Failed to download Pkg \\[iv1\\] from %1: %2$")
                                                .arg(QRegularExpression::escape(urlText), reason));
    QVERIFY(!httpOk);
    QVERIFY(!archiveOk);
    QVERIFY2(httpMessage.match(httpError).hasMatch(), qPrintable(httpError));
    QVERIFY2(archiveMessage.match(archiveError).hasMatch(), qPrintable(archiveError));
    QCOMPARE(
        QDir(cache.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    // A refused redirect never reaches its target.
    if (url.startsWith(QLatin1String("{https}")))
        QCOMPARE(m_http->requestLog(), QStringList());
}

QTEST_GUILESS_MAIN(TestDownloadOutcome)
#include "tst_downloadoutcome.moc"
