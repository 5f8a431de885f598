#include "engine/archiveacquisition.h"
#include "engine/archivecache.h"
#include "engine/partrecord.h"
#include "progresslines.h"
#include "support/testenvironment.h"
#include "support/testfiles.h"
#include "support/testhttpserver.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace vexa;

namespace {

const QString ArchiveName = QStringLiteral("pkg.zip");
// Short limits keep the stall tests fast; production uses DownloadInactivityTimeoutMs.
constexpr int ShortInactivityMs = 400;

PackageDefinition makePackage(const QString &payloadArchive, const QString &payloadUrl = {})
{
    PackageDefinition package;
    package.package_id = QStringLiteral("com.company.vexa.pkg");
    package.display_name = QStringLiteral("Pkg");
    package.internal_version_code = 3;
    package.payload_archive = payloadArchive;
    package.payload_url = payloadUrl;
    return package;
}

// Every file below the directory, relative: after a failure nothing, not even a temporary file, stays.
QStringList filesBelow(const QString &directory)
{
    QStringList files;
    const QDir base(directory);
    const auto entries = base.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &info : entries)
        files << info.fileName();
    return files;
}

// Checks the progress lines of one download: percentages strictly rising, then "Downloaded %1." once.
void checkProgressLines(const QStringList &lines, const QString &label, bool expectPercentages)
{
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.last(), QStringLiteral("Downloaded %1.").arg(label));
    const QRegularExpression percentLine(
        QStringLiteral("^Downloading %1 \\((\\d+)%\\)$").arg(QRegularExpression::escape(label)));
    int last = -1;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QRegularExpressionMatch match = percentLine.match(lines.at(i));
        QVERIFY2(match.hasMatch(), qPrintable(lines.at(i)));
        const int percentage = match.captured(1).toInt();
        QVERIFY(percentage > last && percentage <= 100);
        last = percentage;
    }
    if (expectPercentages)
        QCOMPARE(last, 100);
    else
        QCOMPARE(lines.size(), 1);
}

} // namespace

class TestArchiveAcquisition : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void downloadsArchive_data();
    void downloadsArchive();
    void downloadFolderFailures();
    void payloadUrlsOfOtherSchemes_data();
    void payloadUrlsOfOtherSchemes();

    void localArchiveVerifiedInPlace_data();
    void localArchiveVerifiedInPlace();
    void localFailures_data();
    void localFailures();

    void downloads_data();
    void downloads();
    void remoteFailures_data();
    void remoteFailures();
    void failureRemovesEarlierFileOfSameName();
    void labelWithPercentSigns();

    void resumeAndCache_data();
    void resumeAndCache();
    void cacheCapEvictsTheOldest();
    void emptyingSparesRunningDownloads();

private:
    QByteArray m_payload;
    QTemporaryDir *m_serverRoot = nullptr;
    TestHttpServer *m_server = nullptr;
    QTemporaryDir *m_work = nullptr;
    std::unique_ptr<ScopedEnvironmentVariable> m_cacheHome;
    QString cacheDirectory() const { return m_work->filePath(QStringLiteral("cache/0f0e")); }
    QString expand(QString text) const;
};

void TestArchiveAcquisition::initTestCase()
{
    // Large enough for many progress reports, odd-sized so no percentage lands exactly on a block.
    m_payload = seededRandomBytes(600 * 1024 + 77, 7);
}

void TestArchiveAcquisition::init()
{
    m_serverRoot = new QTemporaryDir;
    m_work = new QTemporaryDir;
    // Each test function starts with an empty archive cache of its own.
    m_cacheHome = std::make_unique<ScopedEnvironmentVariable>(
        "XDG_CACHE_HOME", QFile::encodeName(m_work->filePath(QStringLiteral("xdg-cache"))));
    QVERIFY(writeTestFile(
        QDir(m_serverRoot->path()).filePath(QStringLiteral("repo/archives/pkg.zip")), m_payload));
    QVERIFY(
        writeTestFile(QDir(m_serverRoot->path()).filePath(QStringLiteral("archives/pkg.zip")), m_payload));
    QVERIFY(writeTestFile(
        QDir(m_serverRoot->path()).filePath(QStringLiteral("small.bin")), seededRandomBytes(8 * 1024, 3)));
    m_server = new TestHttpServer(m_serverRoot->path());
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
}

void TestArchiveAcquisition::cleanup()
{
    delete m_server;
    m_server = nullptr;
    delete m_serverRoot;
    m_serverRoot = nullptr;
    m_cacheHome.reset();
    delete m_work;
    m_work = nullptr;
}

void TestArchiveAcquisition::downloadsArchive_data()
{
    QTest::addColumn<QString>("payloadUrl");
    QTest::addColumn<QString>("payloadArchive");
    QTest::addColumn<QString>("repositoryBase");
    QTest::addColumn<bool>("expected");

    const QString archive = QStringLiteral("packages/a.zip");
    QTest::newRow("explicit url, local base")
        << QStringLiteral("https://h/a.zip") << QString() << QStringLiteral("/repo") << true;
    QTest::newRow("blank url, no archive, remote base")
        << QStringLiteral("   ") << QString() << QStringLiteral("https://h/") << false;
    QTest::newRow("blank archive, remote base")
        << QString() << QStringLiteral("  ") << QStringLiteral("https://h/") << false;
    QTest::newRow("archive, https base") << QString() << archive << QStringLiteral("https://h/repo/") << true;
    QTest::newRow("archive, upper-case HTTP base")
        << QString() << archive << QStringLiteral("HTTP://h/repo") << true;
    QTest::newRow("archive, padded base")
        << QString() << archive << QStringLiteral("  http://h/repo") << true;
    QTest::newRow("archive, local base") << QString() << archive << QStringLiteral("/srv/vexa") << false;
    QTest::newRow("archive, windows base") << QString() << archive << QStringLiteral("C:/Vexa/repo") << false;
    QTest::newRow("archive, ftp base") << QString() << archive << QStringLiteral("ftp://h/repo") << false;
}

void TestArchiveAcquisition::downloadsArchive()
{
    QFETCH(QString, payloadUrl);
    QFETCH(QString, payloadArchive);
    QFETCH(QString, repositoryBase);
    QFETCH(bool, expected);
    PackageDefinition package;
    package.payload_url = payloadUrl;
    package.payload_archive = payloadArchive;
    QCOMPARE(vexa::downloadsArchive(package, repositoryBase), expected);
}

void TestArchiveAcquisition::downloadFolderFailures()
{
    // Without a digest the archive goes to the apply's own download folder.
    const PackageDefinition package = makePackage(
        QStringLiteral("archives/pkg.zip"), m_server->baseUrl() + QStringLiteral("/archives/pkg.zip"));
    QString archivePath;
    QString errorText;
    QVERIFY(!acquireArchive(QString(), package, QString(), archivePath, errorText));
    QCOMPARE(errorText, QStringLiteral("Download cache directory is not set for Pkg [iv3]."));

    const QString blocked = m_work->filePath(QStringLiteral("file/cache"));
    QVERIFY(writeTestFile(m_work->filePath(QStringLiteral("file")), "x"));
    QVERIFY(!acquireArchive(QString(), package, blocked, archivePath, errorText));
    QCOMPARE(errorText, QStringLiteral("Failed to create download cache directory %1").arg(blocked));
    QVERIFY(m_server->requestLog().isEmpty());
}

void TestArchiveAcquisition::payloadUrlsOfOtherSchemes_data()
{
    QTest::addColumn<QString>("payloadUrl");
    QTest::addColumn<QString>("repository"); // {server}: the loopback server, {work}: a local directory
    QTest::newRow("file URL, remote repository") << "file:///etc/hostname"
                                                 << "{server}/";
    QTest::newRow("file URL, local repository holding the archive") << " file:///etc/hostname "
                                                                    << "{work}";
    QTest::newRow("ftp URL") << "ftp://127.0.0.1/pkg.zip"
                             << "{server}/";
    QTest::newRow("a scheme that only starts with http") << "httpx://127.0.0.1/pkg.zip"
                                                         << "{server}/";
}

void TestArchiveAcquisition::payloadUrlsOfOtherSchemes()
{
    QFETCH(QString, payloadUrl);
    QFETCH(QString, repository);
    QVERIFY(writeTestFile(m_work->filePath(QStringLiteral("pkg.zip")), m_payload));
    const PackageDefinition package = makePackage(QStringLiteral("pkg.zip"), payloadUrl);
    QString archivePath;
    QString errorText;
    QVERIFY(!acquireArchive(expand(repository), package, cacheDirectory(), archivePath, errorText));
    QCOMPARE(errorText,
        QStringLiteral("Refusing unsafe payload_url \"%1\" of Pkg [iv3]: it is not an http or https URL.")
            .arg(payloadUrl.trimmed()));
    QVERIFY(m_server->requestLog().isEmpty());
}

void TestArchiveAcquisition::localArchiveVerifiedInPlace_data()
{
    QTest::addColumn<QString>("payloadArchive");
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<qint64>("size");
    const QString digest = sha256HexOf(m_payload);
    QTest::newRow("digest and size") << QStringLiteral("archives/pkg.zip") << digest
                                     << qint64(m_payload.size());
    QTest::newRow("upper-case digest still matches")
        << QStringLiteral("archives/pkg.zip") << digest.toUpper() << qint64(0);
    QTest::newRow("no digest, no size: no checks")
        << QStringLiteral("archives/pkg.zip") << QString() << qint64(0);
    QTest::newRow("negative size is unknown")
        << QStringLiteral("archives/pkg.zip") << QString() << qint64(-1);
    QTest::newRow("backslash separators")
        << QStringLiteral("archives\\pkg.zip") << digest << qint64(m_payload.size());
}

void TestArchiveAcquisition::localArchiveVerifiedInPlace()
{
    QFETCH(QString, payloadArchive);
    QFETCH(QString, sha256);
    QFETCH(qint64, size);
    PackageDefinition package = makePackage(payloadArchive);
    package.sha256 = sha256;
    package.size_bytes = size;
    const QString repository = QDir(m_serverRoot->path()).filePath(QStringLiteral("repo"));

    QStringList lines;
    QString archivePath;
    QString errorText;
    QVERIFY2(acquireArchive(repository, package, cacheDirectory(), archivePath, errorText,
                 progressLines([&](const QString &line) { lines << line; })),
        qPrintable(errorText));
    QCOMPARE(archivePath, QDir(repository).filePath(QStringLiteral("archives/pkg.zip")));
    QVERIFY(lines.isEmpty());
    QVERIFY(!QFileInfo::exists(cacheDirectory()));
    QVERIFY(m_server->requestLog().isEmpty());
}

void TestArchiveAcquisition::localFailures_data()
{
    QTest::addColumn<QString>("payloadArchive");
    QTest::addColumn<QString>("repository"); // relative to the server root; "-" for none
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("expected"); // %1: the archive path in the repository

    const QString digest = sha256HexOf(m_payload);
    const QString wrong = QString(64, QLatin1Char('a'));
    QTest::newRow("no archive path") << QString() << QStringLiteral("repo") << digest << qint64(0)
                                     << QStringLiteral(
                                            "Package Pkg [iv3] does not provide a payload archive path.");
    QTest::newRow("no repository") << QStringLiteral("archives/pkg.zip") << QStringLiteral("-") << digest
                                   << qint64(0)
                                   << QStringLiteral("Repository directory is not set for Pkg [iv3].");
    QTest::newRow("archive missing") << QStringLiteral("archives/other.zip") << QStringLiteral("repo")
                                     << digest << qint64(0)
                                     << QStringLiteral("Archive not found for Pkg [iv3]: %1");
    QTest::newRow("digest mismatch")
        << QStringLiteral("archives/pkg.zip") << QStringLiteral("repo") << wrong << qint64(m_payload.size())
        << QStringLiteral("SHA-256 mismatch for Pkg [iv3]. Expected %1, got %2.").arg(wrong, digest);
    QTest::newRow("size mismatch")
        << QStringLiteral("archives/pkg.zip") << QStringLiteral("repo") << digest << qint64(5)
        << QStringLiteral("Downloaded size mismatch for Pkg [iv3]. Expected 5 bytes, got %1 bytes.")
               .arg(m_payload.size());
    QTest::newRow("a directory cannot be hashed")
        << QStringLiteral("archives") << QStringLiteral("repo") << digest << qint64(0)
        << QStringLiteral("Failed to open %1 for SHA-256 verification");
}

void TestArchiveAcquisition::localFailures()
{
    QFETCH(QString, payloadArchive);
    QFETCH(QString, repository);
    QFETCH(QString, sha256);
    QFETCH(qint64, size);
    QFETCH(QString, expected);
    PackageDefinition package = makePackage(payloadArchive);
    package.sha256 = sha256;
    package.size_bytes = size;
    const QString repositoryPath
        = repository == QLatin1String("-") ? QString() : QDir(m_serverRoot->path()).filePath(repository);

    QString archivePath;
    QString errorText;
    QVERIFY(!acquireArchive(repositoryPath, package, cacheDirectory(), archivePath, errorText));
    QCOMPARE(errorText,
        QString(expected).replace(QStringLiteral("%1"), QDir(repositoryPath).filePath(payloadArchive)));
}

QString TestArchiveAcquisition::expand(QString text) const
{
    return text.replace(QLatin1String("{server}"), m_server->baseUrl())
        .replace(QLatin1String("{work}"), m_work->path());
}

void TestArchiveAcquisition::downloads_data()
{
    // {server} stands for the loopback server's base URL, {work} for a local directory.
    QTest::addColumn<QString>("repository");
    QTest::addColumn<QString>("payloadArchive");
    QTest::addColumn<QString>("payloadUrl");
    QTest::addColumn<QString>("packageId"); // empty: the usual one
    QTest::addColumn<QByteArray>("served");
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<bool>("withSize");
    QTest::addColumn<int>("inactivityMs");
    QTest::addColumn<QStringList>("requests");
    // In the archive cache for an archive with a digest, in the apply's folder otherwise.
    QTest::addColumn<QString>("cacheFile");
    // 0: no percentages, only the closing line; otherwise percentages up to 100 and at least this
    // many lines in all.
    QTest::addColumn<int>("minimumLines");

    const QString digest = sha256HexOf(m_payload);
    const QByteArray small = seededRandomBytes(8 * 1024, 3);
    const int normal = DownloadInactivityTimeoutMs;
    const QString inCache = cachedArchiveName(digest);
    const QString noUrl;
    const QString usualId;
    QTest::newRow("base with trailing slash")
        << "  {server}/repo/ "
        << "archives/pkg.zip" << noUrl << usualId << m_payload << digest.toUpper() << true << normal
        << QStringList { "/repo/archives/pkg.zip" } << inCache << 1;
    QTest::newRow("base without trailing slash replaces its last segment")
        << "  {server}/repo "
        << "archives/pkg.zip" << noUrl << usualId << m_payload << digest.toUpper() << true << normal
        << QStringList { "/archives/pkg.zip" } << inCache << 1;
    QTest::newRow("backslashes in the archive path")
        << "  {server}/repo/ "
        << "archives\\pkg.zip" << noUrl << usualId << m_payload << digest.toUpper() << true << normal
        << QStringList { "/repo/archives/pkg.zip" } << inCache << 1;
    // A local repository does not matter once the package names its own URL.
    QTest::newRow("payload url under the sanitised id")
        << "{work}" << QString() << " {server}/archives/pkg.zip "
        << "com.company/qt 6" << m_payload << QString() << false << normal
        << QStringList { "/archives/pkg.zip" } << "com.company_qt_6.zip" << 1;
    QTest::newRow("no content length sends no percentages")
        << QString() << "archives/pkg.zip"
        << "{server}/nolength/archives/pkg.zip" << usualId << m_payload << digest << true << normal
        << QStringList { "/nolength/archives/pkg.zip" } << inCache << 0;
    // Ten pieces 100 ms apart take far longer than the inactivity limit, but data keeps arriving.
    QTest::newRow("slow drip never times out")
        << QString() << QString() << "{server}/drip/small.bin?chunk=820&interval_ms=100" << usualId << small
        << sha256HexOf(small) << true << 300 << QStringList { "/drip/small.bin?chunk=820&interval_ms=100" }
        << cachedArchiveName(sha256HexOf(small)) << 5;
    QTest::newRow("redirect followed")
        << QString() << "x/pkg.zip"
        << "{server}/redirect?to={server}/archives/pkg.zip&code=302" << usualId << m_payload << QString()
        << false << normal
        << QStringList { "/redirect?to={server}/archives/pkg.zip&code=302", "/archives/pkg.zip" }
        << ArchiveName << 1;
}

void TestArchiveAcquisition::downloads()
{
    QFETCH(QString, repository);
    QFETCH(QString, payloadArchive);
    QFETCH(QString, payloadUrl);
    QFETCH(QString, packageId);
    QFETCH(QByteArray, served);
    QFETCH(QString, sha256);
    QFETCH(bool, withSize);
    QFETCH(int, inactivityMs);
    QFETCH(QStringList, requests);
    QFETCH(QString, cacheFile);
    QFETCH(int, minimumLines);
    PackageDefinition package = makePackage(payloadArchive, expand(payloadUrl));
    if (!packageId.isEmpty())
        package.package_id = packageId;
    package.sha256 = sha256;
    if (withSize)
        package.size_bytes = served.size();
    for (QString &request : requests)
        request = expand(request);

    QStringList lines;
    QString archivePath;
    QString errorText;
    QVERIFY2(acquireArchive(expand(repository), package, cacheDirectory(), archivePath, errorText,
                 progressLines([&](const QString &line) { lines << line; }), inactivityMs),
        qPrintable(errorText));
    QCOMPARE(m_server->requestLog(), requests);
    const QString folder = sha256.isEmpty() ? cacheDirectory() : archiveCacheDirectory();
    QCOMPARE(archivePath, QDir(folder).filePath(cacheFile));
    QCOMPARE(readTestFile(archivePath), served);
    QCOMPARE(filesBelow(folder), QStringList { cacheFile });
    checkProgressLines(lines, QStringLiteral("Pkg [iv3]"), minimumLines > 0);
    QVERIFY2(lines.size() >= minimumLines, qPrintable(lines.join(QLatin1Char('\n'))));
}

void TestArchiveAcquisition::remoteFailures_data()
{
    QTest::addColumn<QString>("target"); // request target on the server
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("expected"); // %1: the URL
    // Bytes left in the archive cache for the next attempt to continue; wrong bytes are never kept.
    QTest::addColumn<qint64>("kept");

    const QString digest = sha256HexOf(m_payload);
    const QString wrong = QString(64, QLatin1Char('0'));
    QTest::newRow("digest mismatch") << QStringLiteral("/archives/pkg.zip") << wrong << qint64(0)
                                     << QStringLiteral("SHA-256 mismatch for Pkg [iv3]. Expected %1, got %2.")
                                            .arg(wrong, digest)
                                            .replace(QStringLiteral("%1"), QStringLiteral("%%1"))
                                     << qint64(0);
    QTest::newRow("size mismatch")
        << QStringLiteral("/archives/pkg.zip") << digest << qint64(m_payload.size() + 1)
        << QStringLiteral("Downloaded size mismatch for Pkg [iv3]. Expected %1 bytes, got %2 bytes.")
               .arg(m_payload.size() + 1)
               .arg(m_payload.size())
        << qint64(0);
    // Stopped one byte past the catalog's size: without a length the transfer would otherwise run on.
    QTest::newRow("more than the catalog's size, no length")
        << QStringLiteral("/nolength/archives/pkg.zip") << digest << qint64(1000)
        << QStringLiteral("Downloaded size mismatch for Pkg [iv3]. Expected 1000 bytes, got 1001 bytes.")
        << qint64(0);
    QTest::newRow("stall after some data")
        << QStringLiteral("/stall/archives/pkg.zip?after=1000&max_s=20") << digest << qint64(0)
        << QStringLiteral("Timed out while downloading %1") << qint64(1000);
    QTest::newRow("stall before any data")
        << QStringLiteral("/delay/archives/pkg.zip?ms=20000") << digest << qint64(0)
        << QStringLiteral("Timed out while downloading %1") << qint64(0);
}

void TestArchiveAcquisition::remoteFailures()
{
    QFETCH(QString, target);
    QFETCH(QString, sha256);
    QFETCH(qint64, size);
    QFETCH(QString, expected);
    QFETCH(qint64, kept);
    const QString url = m_server->url(target).toString(QUrl::FullyEncoded);
    PackageDefinition package = makePackage(QStringLiteral("archives/pkg.zip"), url);
    package.sha256 = sha256;
    package.size_bytes = size;

    QStringList lines;
    QString archivePath;
    QString errorText;
    QVERIFY(!acquireArchive(QString(), package, cacheDirectory(), archivePath, errorText,
        progressLines([&](const QString &line) { lines << line; }), ShortInactivityMs));
    const QString message = QString(expected)
                                .replace(QStringLiteral("%1"), url)
                                .replace(QStringLiteral("%%1"), QStringLiteral("%1"));
    QCOMPARE(errorText, message);
    QVERIFY(!lines.contains(QStringLiteral("Downloaded Pkg [iv3].")));
    QVERIFY(!QFileInfo::exists(QDir(cacheDirectory()).filePath(ArchiveName)));
    QCOMPARE(filesBelow(cacheDirectory()), QStringList());
    const QDir archives(archiveCacheDirectory());
    if (kept > 0) {
        QCOMPARE(filesBelow(archives.path()), (QStringList { partName(sha256), partRecordName(sha256) }));
        QCOMPARE(QFileInfo(archives.filePath(partName(sha256))).size(), kept);
    } else {
        QCOMPARE(filesBelow(archives.path()), QStringList());
    }
}

void TestArchiveAcquisition::failureRemovesEarlierFileOfSameName()
{
    QVERIFY(writeTestFile(QDir(cacheDirectory()).filePath(ArchiveName), "another package's archive"));
    const PackageDefinition package = makePackage(
        QStringLiteral("other/pkg.zip"), m_server->baseUrl() + QStringLiteral("/archives/missing.zip"));
    QString archivePath;
    QString errorText;
    QVERIFY(!acquireArchive(QString(), package, cacheDirectory(), archivePath, errorText));
    QVERIFY(!QFileInfo::exists(QDir(cacheDirectory()).filePath(ArchiveName)));

    // A port nobody listens on.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    const PackageDefinition unreachable
        = makePackage(QStringLiteral("pkg.zip"), QStringLiteral("http://127.0.0.1:%1/pkg.zip").arg(port));
    QVERIFY(!acquireArchive(QString(), unreachable, cacheDirectory(), archivePath, errorText));
    QCOMPARE(errorText,
        QStringLiteral("Failed to download Pkg [iv3] from http://127.0.0.1:%1/pkg.zip: Connection refused")
            .arg(port));
    QCOMPARE(filesBelow(cacheDirectory()), QStringList());
}

void TestArchiveAcquisition::labelWithPercentSigns()
{
    // Labels are catalog text; a "%3" in one must come out as written, not be filled in.
    PackageDefinition package = makePackage(
        QStringLiteral("archives/pkg.zip"), m_server->baseUrl() + QStringLiteral("/archives/pkg.zip"));
    package.display_name = QStringLiteral("Pkg %3");
    package.size_bytes = 5;
    QStringList lines;
    QString archivePath;
    QString errorText;
    QVERIFY(!acquireArchive(QString(), package, cacheDirectory(), archivePath, errorText,
        progressLines([&](const QString &line) { lines << line; })));
    QCOMPARE(errorText,
        QStringLiteral("Downloaded size mismatch for Pkg %3 [iv3]. Expected 5 bytes, got 6 bytes."));
    QVERIFY(!lines.isEmpty());
    for (const QString &line : std::as_const(lines))
        QVERIFY2(line.startsWith(QLatin1String("Downloading Pkg %3 [iv3] (")), qPrintable(line));
}

void TestArchiveAcquisition::resumeAndCache_data()
{
    // What the first attempt leaves: "cut" a part, the server having closed the connection half-way;
    // "whole" the archive in the cache; "wrong part" and "long part" a part with a record naming its URL,
    // as a killed attempt leaves them, of other bytes or longer than the archive.
    QTest::addColumn<QString>("first");
    // What changes before the next attempt.
    QTest::addColumn<QString>("change");
    // What the server sends for the next attempt: the rest after the part, the whole archive, as often
    // as given. Sending nothing means the progress lines of a download that completes at once.
    QTest::addColumn<int>("rests");
    QTest::addColumn<int>("wholes");
    // The first progress line is the percentage where the part ended.
    QTest::addColumn<bool>("goesOn");

    QTest::newRow("cut half-way: the next attempt fetches the rest") << "cut" << QString() << 1 << 0 << true;
    QTest::newRow("a server without ranges: starts over") << "cut"
                                                          << "ignore ranges" << 0 << 1 << false;
    // The server sends the rest of its new version anyway; its ETag gives it away.
    QTest::newRow("a new ETag: the part is discarded") << "cut"
                                                       << "new version" << 1 << 1 << false;
    QTest::newRow("416: the part is discarded") << "cut"
                                                << "refuse ranges" << 0 << 1 << false;
    QTest::newRow("wrong bytes in the part: one restart") << "wrong part" << QString() << 1 << 1 << true;
    QTest::newRow("a part longer than the archive: not continued")
        << "long part" << QString() << 0 << 1 << false;
    QTest::newRow("a cached archive needs no server") << "whole"
                                                      << "stop server" << 0 << 0 << false;
    QTest::newRow("a cached archive with a flipped byte: fetched again") << "whole"
                                                                         << "flip byte" << 0 << 1 << false;
}

void TestArchiveAcquisition::resumeAndCache()
{
    QFETCH(QString, first);
    QFETCH(QString, change);
    QFETCH(int, rests);
    QFETCH(int, wholes);
    QFETCH(bool, goesOn);
    const QString url = m_server->baseUrl() + QStringLiteral("/archives/pkg.zip");
    PackageDefinition package = makePackage(QStringLiteral("archives/pkg.zip"), url);
    package.sha256 = sha256HexOf(m_payload);
    package.size_bytes = m_payload.size();
    const QDir archives(archiveCacheDirectory());
    const QString part = archives.filePath(partName(package.sha256));
    const qint64 half = m_payload.size() / 2;
    QStringList lines;
    QList<ApplyProgress> events;
    QString archivePath;
    QString errorText;
    const auto acquire = [&] {
        lines.clear();
        events.clear();
        return acquireArchive(
            QString(), package, cacheDirectory(), archivePath, errorText, [&](const ApplyProgress &event) {
                events << event;
                if (const QString line = applyProgressLine(event); !line.isEmpty())
                    lines << line;
            });
    };

    if (first == QLatin1String("cut")) {
        m_server->setCutAfter(half);
        QVERIFY(!acquire());
        QVERIFY2(errorText.startsWith(QStringLiteral("Failed to download Pkg [iv3] from %1: ").arg(url)),
            qPrintable(errorText));
        m_server->setCutAfter(-1);
    } else if (first == QLatin1String("whole")) {
        QVERIFY2(acquire(), qPrintable(errorText));
    } else {
        const qint64 length = first == QLatin1String("long part") ? m_payload.size() + 10 : half;
        QVERIFY(writeTestFile(part, seededRandomBytes(length, 99)));
        QVERIFY(writePartRecord(
            archives.filePath(partRecordName(package.sha256)), PartRecord { url, {}, 0, {}, 0 }));
    }
    // What arrived before the cut, as far as the client had read it when the connection closed.
    const qint64 held = QFileInfo(part).size();
    QVERIFY(first == QLatin1String("whole") || (held > 0 && held <= m_payload.size() + 10));

    const QString served = QDir(m_serverRoot->path()).filePath(QStringLiteral("archives/pkg.zip"));
    const QString cached = archives.filePath(cachedArchiveName(package.sha256));
    if (change == QLatin1String("ignore ranges")) {
        m_server->setRangeHandling(TestHttpServer::IgnoreRanges);
    } else if (change == QLatin1String("new version")) {
        m_server->setRangeHandling(TestHttpServer::IgnoreIfRange);
        QFile file(served);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(
            QDateTime::currentDateTimeUtc().addSecs(3600), QFileDevice::FileModificationTime));
    } else if (change == QLatin1String("refuse ranges")) {
        m_server->setRangeHandling(TestHttpServer::RefuseRanges);
    } else if (change == QLatin1String("stop server")) {
        m_server->stop();
    } else if (change == QLatin1String("flip byte")) {
        QByteArray bytes = readTestFile(cached);
        bytes[bytes.size() / 3] = char(bytes.at(bytes.size() / 3) ^ 1);
        QVERIFY(writeTestFile(cached, bytes));
    }

    const qint64 sentBefore = m_server->bytesSent();
    QVERIFY2(acquire(), qPrintable(errorText));
    QCOMPARE(
        m_server->bytesSent() - sentBefore, rests * (m_payload.size() - held) + wholes * m_payload.size());
    QCOMPARE(archivePath, cached);
    QCOMPARE(readTestFile(archivePath), m_payload);
    QCOMPARE(filesBelow(archives.path()), QStringList { cachedArchiveName(package.sha256) });
    QCOMPARE(lines.last(), QStringLiteral("Downloaded Pkg [iv3]."));
    // The bytes start from the part held and end at the whole archive.
    QCOMPARE(events.last().bytesDone, m_payload.size());
    if (goesOn) {
        QCOMPARE(
            lines.first(), QStringLiteral("Downloading Pkg [iv3] (%1%)").arg(held * 100 / m_payload.size()));
        QCOMPARE(events.first().bytesDone, held);
    }
    if (rests + wholes == 0)
        QCOMPARE(lines, (QStringList { QStringLiteral("Downloading Pkg [iv3] (100%)"), lines.last() }));
}

void TestArchiveAcquisition::cacheCapEvictsTheOldest()
{
    const QDir cache(m_work->filePath(QStringLiteral("trim")));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto place = [&](const QString &name, int ageDays) {
        QFile file(cache.filePath(name));
        return writeTestFile(file.fileName(), QByteArray(100, 'x')) && file.open(QIODevice::ReadWrite)
            && file.setFileTime(now.addDays(-ageDays), QFileDevice::FileModificationTime);
    };
    const auto name = [](char digit, const char *suffix) -> QString {
        return QString(64, QLatin1Char(digit)) + QLatin1String(suffix);
    };
    // Four archives of 100 bytes, the first the oldest but used by the apply; parts and records older
    // than two weeks go; files the cache did not name stay whatever their age.
    QVERIFY(place(name('a', ".zip"), 30));
    QVERIFY(place(name('b', ".zip"), 20));
    QVERIFY(place(name('c', ".zip"), 10));
    QVERIFY(place(name('d', ".zip"), 1));
    QVERIFY(place(name('e', ".part"), StalePartDays + 1));
    QVERIFY(place(name('e', ".part.json"), StalePartDays + 1));
    QVERIFY(place(name('f', ".part"), StalePartDays - 1));
    QVERIFY(place(QStringLiteral("notes.txt"), 100));

    trimArchiveCache(cache.path(), { cache.absoluteFilePath(name('a', ".zip")) }, 250, now);
    QCOMPARE(filesBelow(cache.path()),
        (QStringList {
            name('a', ".zip"), name('d', ".zip"), name('f', ".part"), QStringLiteral("notes.txt") }));
}

void TestArchiveAcquisition::emptyingSparesRunningDownloads()
{
    const QDir cache(m_work->filePath(QStringLiteral("empty")));
    const auto name = [](char digit, const char *suffix) -> QString {
        return QString(64, QLatin1Char(digit)) + QLatin1String(suffix);
    };
    QVERIFY(writeTestFile(cache.filePath(name('a', ".zip")), QByteArray(100, 'x')));
    QVERIFY(writeTestFile(cache.filePath(name('b', ".part")), QByteArray(40, 'x')));
    QVERIFY(writeTestFile(cache.filePath(name('b', ".part.json")), QByteArray(10, 'x')));
    QVERIFY(writeTestFile(cache.filePath(name('c', ".part")), QByteArray(30, 'x')));
    QVERIFY(writeTestFile(cache.filePath(QStringLiteral("notes.txt")), "mine"));
    // A download of c is running: it holds c's lock.
    QLockFile running(cache.filePath(cacheLockName(QString(64, QLatin1Char('c')))));
    QVERIFY(running.tryLock(0));

    const ArchiveCacheContents held = archiveCacheContents(cache.path());
    QCOMPARE(held.archives, 1);
    QCOMPARE(held.archiveBytes, 100);
    QCOMPARE(held.parts, 2);
    QCOMPARE(held.partBytes, 80);

    ArchiveCacheContents removed;
    int inUse = 0;
    QString errorText;
    QVERIFY2(emptyArchiveCache(cache.path(), removed, inUse, errorText), qPrintable(errorText));
    QCOMPARE(removed.archives, 1);
    QCOMPARE(removed.parts, 1);
    QCOMPARE(removed.partBytes, 50);
    QCOMPARE(inUse, 1);
    QCOMPARE(filesBelow(cache.path()),
        (QStringList { name('c', ".lock"), name('c', ".part"), QStringLiteral("notes.txt") }));
}

QTEST_GUILESS_MAIN(TestArchiveAcquisition)
#include "tst_archiveacquisition.moc"
