#include "support/testfiles.h"
#include "support/testhttpserver.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace vexa;

namespace {

struct Response
{
    QByteArray body;
    int status = 0;
    QByteArray reason;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    bool hasContentLength = false;
};

Response fetch(const QUrl &url)
{
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(20000);
    Response response;
    response.body = reply->readAll();
    response.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    response.reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    response.error = reply->error();
    response.hasContentLength = reply->hasRawHeader("Content-Length");
    return response;
}

} // namespace

class TestTestHttpServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void servesFilesAndStatuses_data();
    void servesFilesAndStatuses();
    void servesHttpsWithTrustedTestCa();
    void stopsWithItsOwner();
};

void TestTestHttpServer::servesFilesAndStatuses_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reason");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("hasContentLength");

    QTest::newRow("plain file") << "/dir/a.txt" << 200 << QByteArray("OK") << QByteArray("alpha\n") << true;
    QTest::newRow("missing file") << "/dir/none.txt" << 404 << QByteArray("Not Found")
                                  << QByteArray("not found\n") << true;
    QTest::newRow("status 399 with reason")
        << "/status/399?reason=Odd%20Thing" << 399 << QByteArray("Odd Thing") << QByteArray() << true;
    QTest::newRow("status with body")
        << "/status/451?reason=Nope&body=why" << 451 << QByteArray("Nope") << QByteArray("why") << true;
    QTest::newRow("redirect followed")
        << "/redirect?to=/dir/a.txt&code=302" << 200 << QByteArray("OK") << QByteArray("alpha\n") << true;
    QTest::newRow("no content length")
        << "/nolength/dir/a.txt" << 200 << QByteArray("OK") << QByteArray("alpha\n") << false;
    QTest::newRow("drip") << "/drip/dir/a.txt?chunk=2&interval_ms=5" << 200 << QByteArray("OK")
                          << QByteArray("alpha\n") << true;
}

void TestTestHttpServer::servesFilesAndStatuses()
{
    QFETCH(QString, target);
    QFETCH(int, status);
    QFETCH(QByteArray, reason);
    QFETCH(QByteArray, body);
    QFETCH(bool, hasContentLength);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeTestFile(dir.filePath(QStringLiteral("root/dir/a.txt")), "alpha\n"));
    TestHttpServer server(dir.filePath(QStringLiteral("root")));
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    const Response response = fetch(server.url(target));
    QCOMPARE(response.status, status);
    QCOMPARE(response.reason, reason);
    QCOMPARE(response.body, body);
    QCOMPARE(response.hasContentLength, hasContentLength);
    QCOMPARE(server.requestLog().value(0), target);
}

void TestTestHttpServer::servesHttpsWithTrustedTestCa()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeTestFile(dir.filePath(QStringLiteral("b.json")), "{}"));
    TestHttpServer server(dir.path(), TestHttpServer::Https);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.baseUrl().startsWith(QLatin1String("https://127.0.0.1:")));

    const Response response = fetch(server.url(QStringLiteral("/b.json")));
    QCOMPARE(response.error, QNetworkReply::NoError);
    QCOMPARE(response.status, 200);
    QCOMPARE(response.body, QByteArray("{}"));
}

void TestTestHttpServer::stopsWithItsOwner()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    int port = 0;
    {
        TestHttpServer server(dir.path());
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.isRunning());
        port = server.port();
    }
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    QVERIFY(!socket.waitForConnected(2000));
}

QTEST_GUILESS_MAIN(TestTestHttpServer)
#include "tst_testhttpserver.moc"
