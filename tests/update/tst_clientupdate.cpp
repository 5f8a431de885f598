#include "update/clientarchive.h"
#include "update/clientmanifest.h"
#include "update/clientupdatehandoff.h"
#include "update/clientversion.h"

#include "support/testfiles.h"
#include "support/testhttpserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace vexa;

namespace {

const QByteArray ArchiveBytes = seededRandomBytes(3000, 12);

// "%R" stands for the test's temporary directory, "%S" for the loopback server.
QString expand(QString text, const QString &root, const QString &server)
{
    return text.replace(QStringLiteral("%R"), root).replace(QStringLiteral("%S"), server);
}

} // namespace

class TestClientUpdate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void manifestLocation_data();
    void manifestLocation();
    void manifestReading_data();
    void manifestReading();
    void versionComparison_data();
    void versionComparison();
    void archiveRetrieval_data();
    void archiveRetrieval();
    void handsOverToTheStagedHelper_data();
    void handsOverToTheStagedHelper();
    void endsWithoutHandOff_data();
    void endsWithoutHandOff();

private:
    QTemporaryDir m_root;
    std::unique_ptr<TestHttpServer> m_server;
};

void TestClientUpdate::initTestCase()
{
    for (const char *file : { "repo/client/client-manifest.json", "repo/Catalog/catalog.json",
             "plain/catalog.json", "app/client-manifest.json", "app/bin/x", "app2/bin/client-manifest.json" })
        QVERIFY(writeTestFile(m_root.filePath(QLatin1String(file)), "{}"));
    QVERIFY(writeTestFile(m_root.filePath(QStringLiteral("client.zip")), ArchiveBytes));
    m_server = std::make_unique<TestHttpServer>(m_root.path());
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
}

void TestClientUpdate::cleanup()
{
    qputenv("VEXA_CLIENT_UPDATE_URL", QByteArray());
}

void TestClientUpdate::manifestLocation_data()
{
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("expected");
    const QString beside = QStringLiteral("%R/app2/bin");
    QTest::newRow("environment variable wins, trimmed")
        << QByteArray(" http://e/m.json ") << QStringLiteral("%R/repo") << beside
        << QStringLiteral("http://e/m.json");
    QTest::newRow("blank environment variable falls through")
        << QByteArray("   ") << QStringLiteral("http://h/repo/catalog.json") << beside
        << QStringLiteral("http://h/repo/client/client-manifest.json");
    QTest::newRow("remote directory ending in /")
        << QByteArray() << QStringLiteral("http://h/repo/") << beside
        << QStringLiteral("http://h/repo/client/client-manifest.json");
    QTest::newRow("remote path without / resolves from its parent")
        << QByteArray() << QStringLiteral("http://h/repo") << beside
        << QStringLiteral("http://h/client/client-manifest.json");
    QTest::newRow("remote package index")
        << QByteArray() << QStringLiteral("https://h/r/vexa-package-names.txt") << beside
        << QStringLiteral("https://h/r/client/client-manifest.json");
    QTest::newRow("blank source: the default endpoint")
        << QByteArray() << QStringLiteral(" ") << beside << defaultClientManifestUrl();
    QTest::newRow("local file in a Catalog folder: one level up")
        << QByteArray() << QStringLiteral("%R/repo/Catalog/catalog.json") << beside
        << QStringLiteral("%R/repo/client/client-manifest.json");
    QTest::newRow("repository without one: beside the program")
        << QByteArray() << QStringLiteral("%R/plain/catalog.json") << beside
        << QStringLiteral("%R/app2/bin/client-manifest.json");
    QTest::newRow("repository without one: above the program")
        << QByteArray() << QStringLiteral("%R/plain") << QStringLiteral("%R/app/bin")
        << QStringLiteral("%R/app/client-manifest.json");
    QTest::newRow("nowhere: the repository's missing candidate")
        << QByteArray() << QStringLiteral("%R/gone/catalog.json") << QStringLiteral("%R/plain")
        << QStringLiteral("%R/gone/client/client-manifest.json");
}

void TestClientUpdate::manifestLocation()
{
    QFETCH(QByteArray, environment);
    QFETCH(QString, source);
    QFETCH(QString, program);
    QFETCH(QString, expected);
    qputenv("VEXA_CLIENT_UPDATE_URL", environment);
    QCOMPARE(
        resolveClientManifestLocation(expand(source, m_root.path(), {}), expand(program, m_root.path(), {})),
        expand(expected, m_root.path(), {}));
}

void TestClientUpdate::manifestReading_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("location"); // where the document is read from; "%M" is where it was written
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("archiveUrl");
    QTest::addColumn<qint64>("size");
    const QString local = QStringLiteral("%M");
    const QByteArray good = R"("version": " 2.0 ", "archive_url": "c.zip")";
    QTest::newRow("schema_version as a string reads as 1")
        << "{\"schema_version\": \"2\", " + good + "}" << local << QString() << QStringLiteral("%R/m/c.zip")
        << qint64(0);
    QTest::newRow("schema_version 2 is refused")
        << "{\"schema_version\": 2, " + good + "}" << local
        << QStringLiteral("Unsupported client update manifest schema_version '2'.") << QString() << qint64(0);
    QTest::newRow("size as a decimal string") << "{\"archive_size_bytes\": \"1234\", " + good + "}" << local
                                              << QString() << QStringLiteral("%R/m/c.zip") << qint64(1234);
    QTest::newRow("fractional size cut toward zero")
        << "{\"archive_size_bytes\": 12.9, " + good + "}" << local << QString()
        << QStringLiteral("%R/m/c.zip") << qint64(12);
    QTest::newRow("relative archive after a redirect: beside the final address")
        << "{" + good + "}" << QStringLiteral("%S/redirect/a/m?to=/m/client-manifest.json") << QString()
        << QStringLiteral("%S/m/c.zip") << qint64(0);
    QTest::newRow("absolute archive URL in a local manifest, encoded")
        << QByteArray(R"({"version": " 2.0 ", "archive_url": "http://h/a b.zip"})") << local << QString()
        << QStringLiteral("http://h/a%20b.zip") << qint64(0);
    QTest::newRow("no archive_url") << QByteArray(R"({"version": "2"})") << local
                                    << QStringLiteral("Client update manifest is missing archive_url.")
                                    << QString() << qint64(0);
    QTest::newRow("no version") << QByteArray(R"({"archive_url": "c.zip"})") << local
                                << QStringLiteral(
                                       "Client update manifest is missing a version or archive URL.")
                                << QString() << qint64(0);
    QTest::newRow("not an object") << QByteArray("[1]") << local
                                   << QStringLiteral("Client update manifest is not a JSON object.")
                                   << QString() << qint64(0);
    QJsonParseError parseError;
    QJsonDocument::fromJson("{", &parseError);
    QTest::newRow("not JSON: the parser's message")
        << QByteArray("{") << local << parseError.errorString() << QString() << qint64(0);
    QTest::newRow("missing file") << QByteArray() << QStringLiteral("%R/m/none.json")
                                  << QStringLiteral("Failed to open client update manifest at %R/m/none.json")
                                  << QString() << qint64(0);
    QTest::newRow("blank location") << QByteArray() << QStringLiteral("  ")
                                    << QStringLiteral("Client update manifest location is empty.")
                                    << QString() << qint64(0);
    QTest::newRow("server that never answers: the manifest time-out")
        << QByteArray() << QStringLiteral("%S/stall/client.zip")
        << QStringLiteral("Timed out while downloading %S/stall/client.zip") << QString() << qint64(0);
}

void TestClientUpdate::manifestReading()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, location);
    QFETCH(QString, error);
    QFETCH(QString, archiveUrl);
    QFETCH(qint64, size);
    const QString written = m_root.filePath(QStringLiteral("m/client-manifest.json"));
    QVERIFY(writeTestFile(written, document));
    location.replace(QStringLiteral("%M"), written);

    ClientUpdateManifest manifest;
    QString errorText;
    const bool loaded
        = loadClientManifest(expand(location, m_root.path(), m_server->baseUrl()), manifest, errorText, 500);
    QCOMPARE(errorText, expand(error, m_root.path(), m_server->baseUrl()));
    QCOMPARE(loaded, error.isEmpty());
    if (loaded) {
        QCOMPARE(manifest.version, QStringLiteral("2.0"));
        QCOMPARE(manifest.archiveUrl, expand(archiveUrl, m_root.path(), m_server->baseUrl()));
        QCOMPARE(manifest.archiveSizeBytes, size);
    }
}

void TestClientUpdate::versionComparison_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");
    QTest::newRow("same") << QStringLiteral("1.0.0") << QStringLiteral(" 1.0.0 ") << 0;
    QTest::newRow("suffix ignored") << QStringLiteral("1.0.0") << QStringLiteral("1.0.0-rc1") << 0;
    QTest::newRow("a prefix is older") << QStringLiteral("1.0") << QStringLiteral("1.0.0") << -1;
    QTest::newRow("a fourth number is newer") << QStringLiteral("1.0.0") << QStringLiteral("1.0.0.0") << -1;
    QTest::newRow("numbers, not text") << QStringLiteral("1.10.0") << QStringLiteral("1.9.0") << 1;
    QTest::newRow("letter-led: compared as text") << QStringLiteral("1.0.0") << QStringLiteral("v0.1") << -1;
    QTest::newRow("text without regard to case") << QStringLiteral("Beta") << QStringLiteral("bETA") << 0;
}

void TestClientUpdate::versionComparison()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, expected);
    QCOMPARE(qBound(-1, compareClientVersions(a, b), 1), expected);
    QCOMPARE(qBound(-1, compareClientVersions(b, a), 1), -expected);
}

void TestClientUpdate::archiveRetrieval_data()
{
    QTest::addColumn<QString>("archiveUrl");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<QString>("error"); // "%W": the workspace
    QTest::addColumn<QString>("fileName");
    const QString digest = sha256HexOf(ArchiveBytes);
    const qint64 size = ArchiveBytes.size();
    QTest::newRow("download, size and upper-case digest match")
        << QStringLiteral("%S/client.zip") << size << digest.toUpper() << QString()
        << QStringLiteral("client.zip");
    QTest::newRow("local copy") << QStringLiteral("%R/client.zip") << size << digest << QString()
                                << QStringLiteral("client.zip");
    QTest::newRow("URL ending in /: the fallback name")
        << QStringLiteral("%S/redirect/?to=/client.zip") << qint64(0) << QString() << QString()
        << QStringLiteral("CompanyVexaInstallerClient-9.9.9.zip");
    QTest::newRow("backslashes in the file name separate, too")
        << QStringLiteral("%S/redirect/..%5C..%5Cclient.zip?to=/client.zip") << qint64(0) << QString()
        << QString() << QStringLiteral("client.zip");
    QTest::newRow("size mismatch")
        << QStringLiteral("%S/client.zip") << size + 1 << digest
        << QStringLiteral(
               "Client update archive size mismatch for %W/client.zip: expected 3001 bytes, got 3000 bytes.")
        << QString();
    QTest::newRow("digest mismatch") << QStringLiteral("%R/client.zip") << size
                                     << QString(64, QLatin1Char('0'))
                                     << QStringLiteral(
                                            "Client update archive SHA-256 mismatch for %W/client.zip.")
                                     << QString();
    QTest::newRow("local archive missing")
        << QStringLiteral("%R/none.zip") << qint64(0) << QString()
        << QStringLiteral("Client update archive was not found at %R/none.zip") << QString();
}

void TestClientUpdate::archiveRetrieval()
{
    QFETCH(QString, archiveUrl);
    QFETCH(qint64, size);
    QFETCH(QString, sha256);
    QFETCH(QString, error);
    QFETCH(QString, fileName);
    QTemporaryDir workspace;
    const ClientUpdateManifest manifest { QStringLiteral("9.9.9"),
        expand(archiveUrl, m_root.path(), m_server->baseUrl()), sha256.toLower(), size };
    QStringList progress;
    QString archivePath;
    QString errorText;
    const bool ok = downloadClientArchive(manifest, workspace.path(), archivePath, errorText,
        [&progress](const QString &text) { progress << text; });
    QCOMPARE(errorText, expand(error, m_root.path(), {}).replace(QStringLiteral("%W"), workspace.path()));
    QCOMPARE(ok, error.isEmpty());
    QCOMPARE(progress, QStringList { QStringLiteral("Downloading client update 9.9.9...") });
    if (ok) {
        QCOMPARE(archivePath, workspace.filePath(fileName));
        QCOMPARE(readTestFile(archivePath), ArchiveBytes);
    }
}

void TestClientUpdate::handsOverToTheStagedHelper_data()
{
    QTest::addColumn<QStringList>("launchArguments");
    QTest::addColumn<QStringList>("passedOn");
    const QString pass = QStringLiteral("--relaunch-arg");
    QTest::newRow("no launch arguments: no --relaunch-arg") << QStringList() << QStringList();
    QTest::newRow("an option and its value: two pairs in order")
        << QStringList { QStringLiteral("--catalog-url"), QStringLiteral("http://h/c.json") }
        << QStringList { pass, QStringLiteral("--catalog-url"), pass, QStringLiteral("http://h/c.json") };
    QTest::newRow("the skip flag is left to the helper")
        << QStringList { QStringLiteral("--skip-self-update"), QStringLiteral("-x") }
        << QStringList { pass, QStringLiteral("-x") };
}

void TestClientUpdate::handsOverToTheStagedHelper()
{
    QFETCH(QStringList, launchArguments);
    QFETCH(QStringList, passedOn);
    // The argument recorder plays the helper, so the test sees exactly how it was started.
    QTemporaryDir sandbox;
    const QString program = sandbox.filePath(QStringLiteral("program"));
    const ClientUpdateContext context { program, { QStringLiteral("Inst"), QStringLiteral("Helper") }, 4242,
        5000, 5000 };
    QVERIFY(writeTestFile(program + QStringLiteral("/libshipped.so.6"), "library"));
    QVERIFY(writeTestFile(program + QStringLiteral("/readme.txt"), "not a library"));
    QVERIFY(QFile::copy(QStringLiteral(VEXA_RECORDER_PROGRAM), program + QStringLiteral("/Helper")));
    const QJsonObject manifest { { QStringLiteral("version"), QStringLiteral("9.9.9") },
        { QStringLiteral("archive_url"), m_server->url(QStringLiteral("/client.zip")).toString() } };
    QVERIFY(writeTestFile(
        sandbox.filePath(QStringLiteral("client-manifest.json")), QJsonDocument(manifest).toJson()));
    const QString record = sandbox.filePath(QStringLiteral("record.json"));
    qputenv("VEXA_TEST_RECORD_FILE", record.toLocal8Bit());

    QStringList statuses;
    QString errorText;
    QVERIFY(tryStartClientUpdate(
        context, sandbox.filePath(QStringLiteral("client-manifest.json")), launchArguments,
        [&statuses](const QString &headline, const QString &detail) { statuses << headline << detail; },
        errorText));
    QCOMPARE(errorText, QString());
    QCOMPARE(statuses,
        QStringList(
            { QStringLiteral("Client update available..."), QStringLiteral("Updating from 1.0.0 to 9.9.9."),
                QStringLiteral("Downloading client update 9.9.9..."), QString(),
                QStringLiteral("Applying client update..."),
                QStringLiteral("The installer will restart automatically when version 9.9.9 is ready.") }));

    QTRY_VERIFY(QFileInfo::exists(record));
    const QJsonObject started = QJsonDocument::fromJson(readTestFile(record)).object();
    const QString workspace = started.value(QStringLiteral("workingDirectory")).toString();
    QVERIFY(QFileInfo(workspace).fileName().startsWith(QStringLiteral("vexa-installer-update-")));
    QCOMPARE(started.value(QStringLiteral("arguments")).toVariant().toStringList(),
        QStringList({ QStringLiteral("--install-dir"), program, QStringLiteral("--archive"),
            workspace + QStringLiteral("/client.zip"), QStringLiteral("--relaunch-exe"),
            program + QStringLiteral("/Inst"), QStringLiteral("--wait-pid"), QStringLiteral("4242") })
            + passedOn);
    QCOMPARE(QDir(workspace).entryList(QDir::Files),
        QStringList(
            { QStringLiteral("client.zip"), QStringLiteral("Helper"), QStringLiteral("libshipped.so.6") }));
    QVERIFY(QFileInfo(workspace + QStringLiteral("/Helper")).isExecutable());
    QDir(workspace).removeRecursively();
}

void TestClientUpdate::endsWithoutHandOff_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("error");
    QTest::newRow("same version: nothing to do, nothing to report")
        << QStringLiteral("1.0.0-rc1") << QString();
    QTest::newRow("older version") << QStringLiteral("0.9") << QString();
    QTest::newRow("newer version without the helper") << QStringLiteral(
        "1.0.1") << QStringLiteral("Client update 1.0.1 is available, but %R/Missing is missing.");
}

void TestClientUpdate::endsWithoutHandOff()
{
    QFETCH(QString, version);
    QFETCH(QString, error);
    const QJsonObject manifest { { QStringLiteral("version"), version },
        { QStringLiteral("archive_url"), m_server->url(QStringLiteral("/client.zip")).toString() } };
    const QString location = m_root.filePath(QStringLiteral("offer/client-manifest.json"));
    QVERIFY(writeTestFile(location, QJsonDocument(manifest).toJson()));
    m_server->clearRequestLog();
    const ClientUpdateContext context { m_root.path(), { QStringLiteral("Inst"), QStringLiteral("Missing") },
        1, 5000, 5000 };
    QString errorText = QStringLiteral("stale");
    QVERIFY(!tryStartClientUpdate(
        context, location, {}, [](const QString &, const QString &) {}, errorText));
    QCOMPARE(errorText, expand(error, m_root.path(), {}));
    // Nothing was downloaded.
    QCOMPARE(m_server->requestLog(), QStringList());
}

QTEST_GUILESS_MAIN(TestClientUpdate)
#include "tst_clientupdate.moc"
