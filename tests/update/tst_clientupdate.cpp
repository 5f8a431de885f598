#include "update/clientarchive.h"
#include "update/clientmanifest.h"
#include "update/clientupdatehandoff.h"
#include "update/clientversion.h"

#include "release/failedupdate.h"
#include "release/releaseidentity.h"
#include "support/testfiles.h"
#include "support/testhttpserver.h"
#include "support/testreleasekey.h"
#include "testzipwriter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace vexa;

namespace {

const QByteArray ArchiveBytes = seededRandomBytes(3000, 12);

QByteArray manifestOffering(const QString &version, const QString &archiveUrl)
{
    return QJsonDocument(QJsonObject { { "version", version }, { "archive_url", archiveUrl } }).toJson();
}

// An installed client: the installer "Inst", its helper played by the argument recorder, a library, a
// text file and the release record; and a release archive shipping the same entries.
struct InstalledProgram
{
    QTemporaryDir sandbox;
    QString directory = sandbox.filePath("program");
    QString release = sandbox.filePath("release.zip");
    QString record = sandbox.filePath("record.json");

    bool prepare()
    {
        qputenv("VEXA_TEST_RECORD_FILE", record.toLocal8Bit());
        return writeTestFile(directory + "/libshipped.so.6", "library")
            && writeTestFile(directory + "/Inst", "") && writeTestFile(directory + "/readme.txt", "text")
            && writeTestFile(directory + "/vexa-release.json",
                R"({"entries": ["Inst", "Helper", "libshipped.so.6", "readme.txt", "vexa-release.json"]})")
            && QFile::copy(VEXA_RECORDER_PROGRAM, directory + "/Helper")
            && writeTestZip(release,
                { testFile("Inst", "new"), testFile("Helper", "new"), testFile("libshipped.so.6", "new"),
                    testFile("vexa-release.json", "{}") });
    }
    // Offers `version` in a manifest beside the program and tries the hand-off.
    bool tryUpdate(const QString &version, QString &errorText, const QStringList &launchArguments = {},
        QStringList *statuses = nullptr)
    {
        const QString manifest = sandbox.filePath("client-manifest.json");
        if (!writeTestFile(manifest, manifestOffering(version, release)))
            return false;
        const ClientUpdateContext context { directory, { "Inst", "Helper" }, 4242, 5000, 5000 };
        return tryStartClientUpdate(
            context, manifest, launchArguments,
            [statuses](const QString &headline, const QString &detail) {
                if (statuses)
                    *statuses << headline << detail;
            },
            errorText);
    }
};

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
    void signedManifests_data();
    void signedManifests();
    void versionComparison_data();
    void versionComparison();
    void archiveRetrieval_data();
    void archiveRetrieval();
    void handsOverToTheStagedHelper_data();
    void handsOverToTheStagedHelper();
    void noNewerClientNoHandOff();
    void failedVersionIsNotHandedOffAgain();
    void userFilesInTheProgramDirectoryStopTheHandOff();

private:
    // "%R" stands for the test's temporary directory, "%S" for the loopback server.
    QString expand(QString text) const
    {
        return text.replace("%R", m_root.path()).replace("%S", m_server->baseUrl());
    }

    QTemporaryDir m_root;
    std::unique_ptr<TestHttpServer> m_server;
    TestReleaseKey m_trustedKey;
    TestReleaseKey m_otherKey;
};

void TestClientUpdate::initTestCase()
{
    for (const char *file : { "repo/client/client-manifest.json", "repo/Catalog/catalog.json",
             "plain/catalog.json", "app/client-manifest.json", "app/bin/x", "app2/bin/client-manifest.json" })
        QVERIFY(writeTestFile(m_root.filePath(QLatin1String(file)), "{}"));
    QVERIFY(writeTestFile(m_root.filePath("client.zip"), ArchiveBytes));
    m_server = std::make_unique<TestHttpServer>(m_root.path());
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
    QString errorText;
    QVERIFY2(m_trustedKey.generate(errorText) && m_otherKey.generate(errorText), qPrintable(errorText));
}

void TestClientUpdate::cleanup()
{
    qputenv("VEXA_CLIENT_UPDATE_URL", QByteArray());
    QFile::remove(failedUpdateRecordPath());
}

void TestClientUpdate::manifestLocation_data()
{
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const char *environment, const char *source, const char *program,
                         const QString &expected) {
        QTest::newRow(name) << QByteArray(environment) << QString(source) << QString(program) << expected;
    };
    row("environment variable wins, trimmed", " http://e/m.json ", "%R/repo", "%R/app2/bin",
        "http://e/m.json");
    row("blank environment variable falls through", "  ", "http://h/repo/catalog.json", "%R/app2/bin",
        "http://h/repo/client/client-manifest.json");
    row("remote directory ending in /", "", "http://h/repo/", "",
        "http://h/repo/client/client-manifest.json");
    row("remote path without /: from its parent", "", "http://h/repo", "",
        "http://h/client/client-manifest.json");
    row("remote package index", "", "https://h/r/vexa-package-names.txt", "",
        "https://h/r/client/client-manifest.json");
    row("blank source: the default endpoint", "", " ", "", defaultClientManifestUrl());
    row("local file in a Catalog folder: one level up", "", "%R/repo/Catalog/catalog.json", "%R/app2/bin",
        "%R/repo/client/client-manifest.json");
    row("none in the repository: beside the program", "", "%R/plain/catalog.json", "%R/app2/bin",
        "%R/app2/bin/client-manifest.json");
    row("none in the repository: above the program", "", "%R/plain", "%R/app/bin",
        "%R/app/client-manifest.json");
    row("nowhere: the repository's missing candidate", "", "%R/gone/catalog.json", "%R/plain",
        "%R/gone/client/client-manifest.json");
}

void TestClientUpdate::manifestLocation()
{
    QFETCH(QByteArray, environment);
    QFETCH(QString, source);
    QFETCH(QString, program);
    QFETCH(QString, expected);
    qputenv("VEXA_CLIENT_UPDATE_URL", environment);
    QCOMPARE(resolveClientManifestLocation(expand(source), expand(program)), expand(expected));
}

void TestClientUpdate::manifestReading_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("location"); // "%M": where the document was written
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("archiveUrl");
    QTest::addColumn<qint64>("size");
    const auto row = [](const char *name, const QByteArray &members, const char *location,
                         const QString &error, const char *archiveUrl = "", qint64 size = 0) {
        const QByteArray document = members.startsWith('"') ? "{" + members + "}" : members;
        QTest::newRow(name) << document << QString(location) << error << QString(archiveUrl) << size;
    };
    const QByteArray offer = R"("version": " 2.0 ", "archive_url": "c.zip")";
    row("schema_version as a string reads as 1", R"("schema_version": "2", )" + offer, "%M", {},
        "%R/m/c.zip");
    row("schema_version 2 is refused", R"("schema_version": 2, )" + offer, "%M",
        "Unsupported client update manifest schema_version '2'.");
    row("size as a decimal string", R"("archive_size_bytes": "1234", )" + offer, "%M", {}, "%R/m/c.zip",
        1234);
    row("fractional size cut toward zero", R"("archive_size_bytes": 12.9, )" + offer, "%M", {}, "%R/m/c.zip",
        12);
    row("relative archive after a redirect: beside the final address", offer,
        "%S/redirect/a/m?to=/m/client-manifest.json", {}, "%S/m/c.zip");
    row("absolute archive URL in a local manifest, encoded",
        R"("version": "2.0", "archive_url": "http://h/a b.zip")", "%M", {}, "http://h/a%20b.zip");
    row("no archive_url", R"("version": "2.0")", "%M", "Client update manifest is missing archive_url.");
    row("no version", R"("archive_url": "c.zip")", "%M",
        "Client update manifest is missing a version or archive URL.");
    row("missing file", {}, "%R/m/none.json", "Failed to open client update manifest at %R/m/none.json");
    row("server that never answers: the manifest time-out", {}, "%S/stall/client.zip",
        "Timed out while downloading %S/stall/client.zip");
}

void TestClientUpdate::manifestReading()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, location);
    QFETCH(QString, error);
    QFETCH(QString, archiveUrl);
    QFETCH(qint64, size);
    const QString written = m_root.filePath("m/client-manifest.json");
    QVERIFY(writeTestFile(written, document));

    ClientUpdateManifest manifest;
    QString errorText;
    const bool loaded = loadClientManifest(expand(location.replace("%M", written)), manifest, errorText, 500);
    QCOMPARE(errorText, expand(error));
    QCOMPARE(loaded, error.isEmpty());
    if (loaded) {
        QCOMPARE(manifest.version, QString("2.0"));
        QCOMPARE(manifest.archiveUrl, expand(archiveUrl));
        QCOMPARE(manifest.archiveSizeBytes, size);
    }
}

void TestClientUpdate::signedManifests_data()
{
    QTest::addColumn<QByteArray>("members");
    QTest::addColumn<QString>("signer"); // "trusted", "other" or "" for no .sig
    QTest::addColumn<QString>("location"); // "%M": the manifest file, "%U": the same served
    QTest::addColumn<QString>("error"); // how the message starts; empty: loads
    const QByteArray verified = R"("version": "2.0", "archive_url": "c.zip", "archive_sha256": "ab12", )"
                                R"("archive_size_bytes": 3000)";
    const auto row = [](const char *name, const QByteArray &members, const char *signer, const char *location,
                         const char *error) {
        // Null for success: an error text left untouched (null) starts with nothing but null.
        QTest::newRow(name) << members << QString(signer) << QString(location)
                            << (*error ? QString(error) : QString());
    };
    row("signed, with digest and size", verified, "trusted", "%M", "");
    row("signed, fetched with its .sig", verified, "trusted", "%U", "");
    row("signed by another key", verified, "other", "%U",
        "Client update manifest signature does not match any trusted key");
    row("no .sig beside it", verified, "", "%M", "Client update manifest signature is missing");
    row("no .sig on the server", verified, "", "%U",
        "Client update manifest signature is missing (Failed to download %U.sig: ");
    row("no digest", R"("version": "2.0", "archive_url": "c.zip", "archive_size_bytes": 3000)", "trusted",
        "%M", "Client update manifest is missing archive_sha256");
    row("no size", R"("version": "2.0", "archive_url": "c.zip", "archive_sha256": "ab12")", "trusted", "%M",
        "Client update manifest is missing archive_size_bytes");
}

void TestClientUpdate::signedManifests()
{
    QFETCH(QByteArray, members);
    QFETCH(QString, signer);
    QFETCH(QString, location);
    QFETCH(QString, error);
    QString errorText;

    const QString written = m_root.filePath("signed/client-manifest.json");
    QFile::remove(written + ".sig");
    QVERIFY(writeTestFile(written, "{" + members + "}"));
    if (!signer.isEmpty())
        QVERIFY2((signer == "trusted" ? m_trustedKey : m_otherKey).sign({ written }, errorText),
            qPrintable(errorText));
    const auto expandHere = [&](QString text) {
        return expand(text.replace("%M", written).replace("%U", "%S/signed/client-manifest.json"));
    };

    ClientUpdateManifest manifest;
    const bool loaded = loadClientManifest(
        expandHere(location), manifest, errorText, 5000, parseReleaseKeys(m_trustedKey.publicKeyBase64()));
    QVERIFY2(errorText.startsWith(expandHere(error)), qPrintable(errorText));
    QCOMPARE(loaded, error.isEmpty());
    if (loaded)
        QCOMPARE(manifest.archiveSha256, QString("ab12"));
}

void TestClientUpdate::versionComparison_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");
    QTest::newRow("same, trimmed") << "1.0.0"
                                   << " 1.0.0 " << 0;
    QTest::newRow("suffix ignored") << "1.0.0"
                                    << "1.0.0-rc1" << 0;
    QTest::newRow("a prefix is older") << "1.0"
                                       << "1.0.0" << -1;
    QTest::newRow("a fourth number is newer") << "1.0.0"
                                              << "1.0.0.0" << -1;
    QTest::newRow("numbers, not text") << "1.10.0"
                                       << "1.9.0" << 1;
    QTest::newRow("letter-led: compared as text") << "1.0.0"
                                                  << "v0.1" << -1;
    QTest::newRow("text without regard to case") << "Beta"
                                                 << "bETA" << 0;
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
        << "%S/client.zip" << size << digest.toUpper() << QString() << "client.zip";
    QTest::newRow("local copy") << "%R/client.zip" << size << digest << QString() << "client.zip";
    QTest::newRow("URL ending in /: the fallback name")
        << "%S/redirect/?to=/client.zip" << qint64(0) << QString() << QString()
        << "CompanyVexaInstallerClient-9.9.9.zip";
    QTest::newRow("a drive-relative file name: the fallback name")
        << "%S/redirect/C:client.zip?to=/client.zip" << qint64(0) << QString() << QString()
        << "CompanyVexaInstallerClient-9.9.9.zip";
    QTest::newRow("a body longer than published is cut one byte past it")
        << "%S/client.zip" << qint64(100) << digest
        << "Client update archive size mismatch for %W/client.zip: expected 100 bytes, got 101 bytes."
        << QString();
    QTest::newRow("backslashes in the file name separate, too")
        << "%S/redirect/..%5C..%5Cclient.zip?to=/client.zip" << qint64(0) << QString() << QString()
        << "client.zip";
    QTest::newRow("size mismatch")
        << "%S/client.zip" << size + 1 << digest
        << "Client update archive size mismatch for %W/client.zip: expected 3001 bytes, got 3000 bytes."
        << QString();
    QTest::newRow("digest mismatch") << "%R/client.zip" << size << QString(64, '0')
                                     << "Client update archive SHA-256 mismatch for %W/client.zip."
                                     << QString();
    QTest::newRow("local archive missing")
        << "%R/none.zip" << qint64(0) << QString() << "Client update archive was not found at %R/none.zip"
        << QString();
}

void TestClientUpdate::archiveRetrieval()
{
    QFETCH(QString, archiveUrl);
    QFETCH(qint64, size);
    QFETCH(QString, sha256);
    QFETCH(QString, error);
    QFETCH(QString, fileName);
    QTemporaryDir workspace;
    const ClientUpdateManifest manifest { "9.9.9", expand(archiveUrl), sha256.toLower(), size };
    QStringList progress;
    QString archivePath;
    QString errorText;
    const bool ok = downloadClientArchive(manifest, workspace.path(), archivePath, errorText,
        [&progress](const QString &text) { progress << text; });
    QCOMPARE(errorText, expand(error).replace("%W", workspace.path()));
    QCOMPARE(ok, error.isEmpty());
    QCOMPARE(progress, QStringList { "Downloading client update 9.9.9..." });
    if (ok) {
        QCOMPARE(archivePath, workspace.filePath(fileName));
        QCOMPARE(readTestFile(archivePath), ArchiveBytes);
    }
}

void TestClientUpdate::handsOverToTheStagedHelper_data()
{
    QTest::addColumn<QStringList>("launchArguments");
    QTest::addColumn<QStringList>("passedOn");
    QTest::newRow("no launch arguments: no --relaunch-arg") << QStringList() << QStringList();
    QTest::newRow("an option and its value: two pairs in order")
        << QStringList { "--catalog-url", "http://h/c.json" }
        << QStringList { "--relaunch-arg", "--catalog-url", "--relaunch-arg", "http://h/c.json" };
    QTest::newRow("the skip flag is left to the helper")
        << QStringList { "--skip-self-update", "-x" } << QStringList { "--relaunch-arg", "-x" };
}

void TestClientUpdate::handsOverToTheStagedHelper()
{
    QFETCH(QStringList, launchArguments);
    QFETCH(QStringList, passedOn);
    // The argument recorder plays the helper, so the test sees exactly how it was started.
    InstalledProgram program;
    QVERIFY(program.prepare());
    QStringList statuses;
    QString errorText;
    QVERIFY(program.tryUpdate("9.9.9", errorText, launchArguments, &statuses));
    QCOMPARE(errorText, QString());
    QCOMPARE(statuses,
        QStringList(
            { "Client update available...", QString("Updating from %1 to 9.9.9.").arg(releaseVersion()),
                "Downloading client update 9.9.9...", "", "Applying client update...",
                "The installer will restart automatically when version 9.9.9 is ready." }));

    QTRY_VERIFY(QFileInfo::exists(program.record));
    const QJsonObject started = QJsonDocument::fromJson(readTestFile(program.record)).object();
    const QString workspace = started.value("workingDirectory").toString();
    QVERIFY(QFileInfo(workspace).fileName().startsWith("vexa-installer-update-"));
    QCOMPARE(started.value("arguments").toVariant().toStringList(),
        QStringList({ "--install-dir", program.directory, "--archive", workspace + "/release.zip",
            "--relaunch-exe", program.directory + "/Inst", "--wait-pid", "4242" })
            + passedOn);
    QCOMPARE(
        QDir(workspace).entryList(QDir::Files), QStringList({ "Helper", "libshipped.so.6", "release.zip" }));
    QVERIFY(QFileInfo(workspace + "/Helper").isExecutable());
    QDir(workspace).removeRecursively();
}

void TestClientUpdate::noNewerClientNoHandOff()
{
    // Neither a check nor an error: nothing is fetched and nothing is reported.
    for (const char *version : { "1.0.0-rc1", "0.9" }) {
        const QString location = m_root.filePath("offer/client-manifest.json");
        QVERIFY(writeTestFile(location, manifestOffering(version, m_server->url("/client.zip").toString())));
        m_server->clearRequestLog();
        QString errorText = "stale";
        QVERIFY(!tryStartClientUpdate(
            { m_root.path(), { "Inst", "Helper" }, 1, 5000, 5000 }, location, {},
            [](const QString &, const QString &) {}, errorText));
        QCOMPARE(errorText, QString());
        QCOMPARE(m_server->requestLog(), QStringList());
    }
}

// Until the helper has the new directory in place the handed-off version counts as failed: a later
// start does not hand it off again, says so in one line, and offers the next newer version.
void TestClientUpdate::failedVersionIsNotHandedOffAgain()
{
    InstalledProgram program;
    QVERIFY(program.prepare());
    QString errorText;
    QVERIFY2(program.tryUpdate("9.9.9", errorText), qPrintable(errorText));
    QTRY_VERIFY(QFileInfo::exists(program.record));
    QVERIFY(QFile::remove(program.record));

    QVERIFY(!program.tryUpdate("9.9.9", errorText));
    QCOMPARE(errorText,
        QString("Client update 9.9.9 failed on an earlier start and is not offered again; a newer version "
                "will be."));
    QVERIFY(program.tryUpdate("9.9.10", errorText));
    QTRY_VERIFY(QFileInfo::exists(program.record));
}

void TestClientUpdate::userFilesInTheProgramDirectoryStopTheHandOff()
{
    InstalledProgram program;
    QVERIFY(program.prepare());
    QVERIFY(writeTestFile(program.directory + "/notes.txt", "mine"));
    QString errorText;
    QVERIFY(!program.tryUpdate("9.9.9", errorText));
    QCOMPARE(errorText,
        QString("The client update was skipped: the program directory %1 also holds notes.txt, which no "
                "release of the installer placed there. Move them elsewhere to update.")
            .arg(program.directory));
    // Said once: the next start only notes the failed version.
    QVERIFY(!program.tryUpdate("9.9.9", errorText));
    QVERIFY(errorText.startsWith("Client update 9.9.9 failed on an earlier start"));
}

QTEST_GUILESS_MAIN(TestClientUpdate)
#include "tst_clientupdate.moc"
