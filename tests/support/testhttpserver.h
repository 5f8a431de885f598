#pragma once

// Loopback HTTP(S) server for tests: runs tests/support/httpserver.py with python3, bound to 127.0.0.1
// on a free port, serving the files of one directory. The process ends with this object (and by
// itself if the test process dies, since it exits when its stdin closes).
//
// Paths it understands (every <path> is a file below the root directory):
//   /<path>                              the file, with Content-Length, ETag and Last-Modified (404 "Not
//                                        Found" when missing); a single Range gets 206 with the part asked
//                                        for (416 past the end), or 200 and the whole file when If-Range
//                                        names another version of it
//   /status/<code>?reason=Text&body=B    any status code with any reason phrase, optional body
//   /redirect[/<any>]?to=<url>&code=302 a redirect (301, 302, 303, 307 or 308); 404 without `to`
//   /nolength/<path>                     the file without Content-Length, ended by closing the connection
//   /stall/<path>?after=N&max_s=60       headers and N bytes, then silence until the client goes away
//   /drip/<path>?chunk=N&interval_ms=M   the file in N-byte pieces, M ms apart; ranges as above
//   /delay/<path>?ms=M                   waits M ms before answering with the file
//   /wronglength/<path>?length=N         the file announced with Content-Length N, then the connection closes
//   /headers                             the request's headers as a JSON object
//   CONNECT host:port                    502 "No Tunnels", logged as "CONNECT host:port": with this server
//                                        as the proxy, a request for any host stays on the machine
// requestLog() lists every request target received so far, in arrival order. For the two file answers
// above, setCutAfter() and setRangeHandling() change what the server does from the next request on,
// and bytesSent() counts the body bytes they sent.
//
// HTTPS: TestHttpServer(root, TestHttpServer::Https) serves TLS with a certificate for 127.0.0.1 that
// is signed by a throw-away test CA; start() adds that CA to the process's default SSL configuration,
// so Qt verifies the server like any other (nothing disables verification).

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

namespace vexa {

// Files of the throw-away TLS setup: a CA certificate and a server certificate and key for 127.0.0.1.
struct TestTlsFiles
{
    QString caCertificate;
    QString certificate;
    QString key;
};

// Creates (once per process, with the openssl command) the test CA and server certificate and adds the
// CA to the default SSL configuration. Returns nullptr with a message when openssl fails.
const TestTlsFiles *trustedTestTlsFiles(QString &errorText);

class TestHttpServer
{
public:
    enum Scheme { Http, Https };
    enum RangeHandling {
        HonourRanges, // 206 for a range of the current file, 200 when If-Range names another version
        IgnoreRanges, // always 200 and the whole file, as servers without range support do
        IgnoreIfRange, // 206 for any range, even when If-Range names another version
        RefuseRanges, // 416 for every ranged request
    };

    explicit TestHttpServer(const QString &rootDirectory, Scheme scheme = Http);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer &) = delete;
    TestHttpServer &operator=(const TestHttpServer &) = delete;

    // Starts the server and waits until it listens. On failure errorString() says why.
    bool start(int timeoutMs = 15000);
    void stop();
    bool isRunning() const;
    QString errorString() const { return m_errorString; }

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" (or https), without a trailing slash.
    QString baseUrl() const;
    // The URL of a request target such as "/files/a.json" or "/status/404?reason=Gone".
    QUrl url(const QString &target) const;
    // Request targets received so far, as sent by the client (percent-encoding kept).
    QStringList requestLog() const;
    void clearRequestLog();

    // Each file body stops after `bytes` bytes and the connection closes (announced length unchanged);
    // a negative count sends whole bodies again.
    void setCutAfter(qint64 bytes);
    void setRangeHandling(RangeHandling handling);
    // File-body bytes handed to connections since the server started.
    qint64 bytesSent() const;

private:
    void writeControl();

    QString m_rootDirectory;
    Scheme m_scheme;
    QProcess m_process;
    QTemporaryDir m_workDirectory;
    QString m_errorString;
    int m_port = 0;
    qint64 m_cutAfter = -1;
    RangeHandling m_rangeHandling = HonourRanges;
};

} // namespace vexa
