#include "catalog/catalogsource.h"
#include "catalog/packagecatalog.h"

#include "support/testcatalog.h"
#include "support/testenvironment.h"
#include "support/testfiles.h"
#include "support/testhttpserver.h"

#include <QDir>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace vexa;

namespace {

QByteArray sidecar(const QString &id)
{
    return QJsonDocument(testPackageEntry(id, id.toUpper())).toJson(QJsonDocument::Compact);
}

QByteArray catalogDocument(const QString &id)
{
    return testCatalogDocument({ testPackageEntry(id, id.toUpper()) });
}

// Package ids of a payload's document, in order; empty when it does not load.
QStringList packageIds(const QByteArray &data)
{
    PackageCatalog catalog;
    if (!loadTestCatalog(data, catalog))
        return { QStringLiteral("<load failed>") };
    QStringList ids;
    for (const PackageDefinition &package : catalog.packages())
        ids.append(package.package_id);
    return ids;
}

QString locateMessage(const QString &location, const QStringList &tried)
{
    return QStringLiteral("Failed to locate a catalog from %1.\n\nTried:\n%2")
        .arg(location, tried.join(QLatin1Char('\n')));
}

QString notFound(const QString &url)
{
    return QStringLiteral("Failed to download %1: Error transferring %1 - server replied: Not Found")
        .arg(url);
}

QStringList withoutImmediateRepeats(const QStringList &log)
{
    QStringList result;
    for (const QString &entry : log) {
        if (result.isEmpty() || result.last() != entry)
            result.append(entry);
    }
    return result;
}

} // namespace

class TestCatalogSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void parsePackageIndex_data();
    void parsePackageIndex();
    void mergeSidecars_data();
    void mergeSidecars();
    void isRemoteSource_data();
    void isRemoteSource();
    void catalogBaseUrl_data();
    void catalogBaseUrl();

    void resolvesLocally_data();
    void resolvesLocally();
    void resolvesRemotely_data();
    void resolvesRemotely();
    void reportsProgress_data();
    void reportsProgress();
    void failureLeavesPayloadAlone();
    void fallsBackToEnvironment_data();
    void fallsBackToEnvironment();
    void defaultEndpointIsTheRemoteIndex();

private:
    QString expand(QString text) const;
    QStringList expand(QStringList texts) const;

    QTemporaryDir m_serverRoot;
    std::unique_ptr<TestHttpServer> m_http;
    std::unique_ptr<TestHttpServer> m_https;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_previousCurrentPath;
};

void TestCatalogSource::initTestCase()
{
    QVERIFY(m_serverRoot.isValid());
    const QList<QPair<QString, QByteArray>> files = {
        { QStringLiteral("repo/catalog.json"), catalogDocument(QStringLiteral("r1")) },
        { QStringLiteral("idx/vexa-package-names.txt"), "# packages\n\nb\r\na.json\n  b.json  \n#c\n" },
        { QStringLiteral("idx/a.json"), sidecar(QStringLiteral("a")) },
        { QStringLiteral("idx/b.json"), sidecar(QStringLiteral("b")) },
        { QStringLiteral("both/catalog.json"), catalogDocument(QStringLiteral("both1")) },
        { QStringLiteral("both/vexa-package-names.txt"), "a\n" },
        { QStringLiteral("named/mycatalog.json"), catalogDocument(QStringLiteral("m1")) },
        { QStringLiteral("badidx/vexa-package-names.txt"), "a\nsub/x\n" },
        { QStringLiteral("emptyidx/vexa-package-names.txt"), "# nothing yet\n\n" },
        { QStringLiteral("missingside/vexa-package-names.txt"), "a\nghost\n" },
        { QStringLiteral("missingside/a.json"), sidecar(QStringLiteral("a")) },
        { QStringLiteral("brokenside/vexa-package-names.txt"), "a\n" },
        { QStringLiteral("brokenside/a.json"), "{oops" },
        { QStringLiteral("colon/vexa-package-names.txt"), "pkg:one\n" },
        { QStringLiteral("colon/pkg:one.json"), sidecar(QStringLiteral("one")) },
    };
    for (const auto &file : files)
        QVERIFY(writeTestFile(m_serverRoot.filePath(file.first), file.second));

    m_http = std::make_unique<TestHttpServer>(m_serverRoot.path());
    QVERIFY2(m_http->start(), qPrintable(m_http->errorString()));
    m_https = std::make_unique<TestHttpServer>(m_serverRoot.path(), TestHttpServer::Https);
    QVERIFY2(m_https->start(), qPrintable(m_https->errorString()));
    m_previousCurrentPath = QDir::currentPath();
}

void TestCatalogSource::cleanupTestCase()
{
    m_https.reset();
    m_http.reset();
}

void TestCatalogSource::init()
{
    // Every test gets its own working directory, so relative sources never see the build tree.
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    QVERIFY(QDir::setCurrent(m_work->path()));
    m_http->clearRequestLog();
    m_https->clearRequestLog();
}

void TestCatalogSource::cleanup()
{
    QDir::setCurrent(m_previousCurrentPath);
    m_work.reset();
}

QString TestCatalogSource::expand(QString text) const
{
    text.replace(QLatin1String("{root}"), QDir(m_work->path()).canonicalPath());
    text.replace(QLatin1String("{http}"), m_http->baseUrl());
    text.replace(QLatin1String("{https}"), m_https->baseUrl());
    return text;
}

QStringList TestCatalogSource::expand(QStringList texts) const
{
    for (QString &text : texts)
        text = expand(text);
    return texts;
}

void TestCatalogSource::parsePackageIndex_data()
{
    QTest::addColumn<QByteArray>("index");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("error");

    QTest::newRow("comments, blanks, suffixes and duplicates")
        << QByteArray("# header\n\n  qt6  \r\nopenssl.json\n\t# indented comment\nqt6.json\nopenssl\r\n\r\n")
        << QStringList { "qt6.json", "openssl.json" } << QString();
    QTest::newRow("suffix compared without case")
        << QByteArray("Tool.JSON\ntool") << QStringList { "Tool.JSON", "tool.json" } << QString();
    QTest::newRow("hash inside a name is kept")
        << QByteArray("a#b") << QStringList { "a#b.json" } << QString();
    QTest::newRow("byte-order mark ignored")
        << QByteArray("\xEF\xBB\xBFqt6\nzlib") << QStringList { "qt6.json", "zlib.json" } << QString();
    QTest::newRow("no final line break")
        << QByteArray("a\nb") << QStringList { "a.json", "b.json" } << QString();
    QTest::newRow("slash fails the whole index")
        << QByteArray("good\n  sub/evil  \nother") << QStringList()
        << QStringLiteral("Package index entry 'sub/evil' must not contain path separators.");
    QTest::newRow("backslash fails the whole index")
        << QByteArray("..\\evil.json") << QStringList()
        << QStringLiteral("Package index entry '..\\evil.json' must not contain path separators.");
    const QString empty = QStringLiteral("The remote package index did not contain any package names.");
    QTest::newRow("only comments") << QByteArray("# a\n#b\n") << QStringList() << empty;
    QTest::newRow("empty") << QByteArray() << QStringList() << empty;
    QTest::newRow("blank lines only") << QByteArray("\r\n  \n\t\n") << QStringList() << empty;
}

void TestCatalogSource::parsePackageIndex()
{
    QFETCH(QByteArray, index);
    QFETCH(QStringList, names);
    QFETCH(QString, error);

    QString errorText;
    QCOMPARE(vexa::parsePackageIndex(index, errorText), names);
    QCOMPARE(errorText, error);
}

void TestCatalogSource::mergeSidecars_data()
{
    QTest::addColumn<QList<QByteArray>>("documents");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("merged");
    QTest::addColumn<QString>("error");

    QTest::newRow("objects in order")
        << QList<QByteArray> { "{\"package_id\":\"b\",\"x\":[1]}", " { \"package_id\" : \"a\" } " } << true
        << QByteArray(R"({"packages":[{"package_id":"b","x":[1]},{"package_id":"a"}],"schema_version":1})")
        << QString();
    QTest::newRow("no documents") << QList<QByteArray>() << true
                                  << QByteArray(R"({"packages":[],"schema_version":1})") << QString();
    QTest::newRow("array document") << QList<QByteArray> { "{}", "[]" } << false << QByteArray()
                                    << QStringLiteral("Sidecar JSON is not an object.");
    QJsonParseError parseError;
    QJsonDocument::fromJson("{\"a\":", &parseError);
    QTest::newRow("first broken document reported")
        << QList<QByteArray> { "{\"a\":", "[]" } << false << QByteArray() << parseError.errorString();
}

void TestCatalogSource::mergeSidecars()
{
    QFETCH(QList<QByteArray>, documents);
    QFETCH(bool, ok);
    QFETCH(QByteArray, merged);
    QFETCH(QString, error);

    QByteArray output;
    QString errorText;
    QCOMPARE(vexa::mergeSidecars(documents, output, errorText), ok);
    QCOMPARE(errorText, error);
    if (ok)
        QCOMPARE(output, merged);
}

void TestCatalogSource::isRemoteSource_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("remote");

    QTest::newRow("http") << "http://example.test/repo/" << true;
    QTest::newRow("https upper-case scheme, blanks") << "  HTTPS://example.test/catalog.json  " << true;
    QTest::newRow("host-like text that is no path") << "example.test/catalog.json" << true;
    QTest::newRow("existing relative directory") << "examples/repository" << false;
    QTest::newRow("existing relative directory named like a host") << "packages.example.test" << false;
    QTest::newRow("existing relative file") << "examples/repository/catalog.json" << false;
    QTest::newRow("absolute path") << "/opt/vexa/repository" << false;
    QTest::newRow("file URL") << "file:///opt/vexa/catalog.json" << false;
    QTest::newRow("ftp") << "ftp://example.test/catalog.json" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("drive path") << "C:/Vexa/repository" << false;
}

void TestCatalogSource::isRemoteSource()
{
    QFETCH(QString, source);
    QFETCH(bool, remote);

    QVERIFY(writeTestFile(m_work->filePath(QStringLiteral("examples/repository/catalog.json")), "{}"));
    QVERIFY(QDir().mkpath(m_work->filePath(QStringLiteral("packages.example.test"))));
    QCOMPARE(vexa::isRemoteSource(source), remote);
}

void TestCatalogSource::catalogBaseUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("base");

    QTest::newRow("catalog file") << "http://h/a/catalog.json"
                                  << "http://h/a/";
    QTest::newRow("catalog file in capitals") << "http://h/a/CATALOG.JSON"
                                              << "http://h/a/";
    QTest::newRow("name ending in catalog.json") << "http://h/a/mycatalog.json"
                                                 << "http://h/a/";
    QTest::newRow("package index") << "https://h/x/y/vexa-package-names.txt"
                                   << "https://h/x/y/";
    QTest::newRow("query dropped with the file") << "http://h/a/catalog.json?v=2"
                                                 << "http://h/a/";
    QTest::newRow("encoded name") << "http://h/a%20b/catalog%2Ejson"
                                  << "http://h/a%20b/";
    QTest::newRow("directory kept") << "http://h/a/"
                                    << "http://h/a/";
    QTest::newRow("other file kept") << "http://h/a/index.html"
                                     << "http://h/a/index.html";
}

void TestCatalogSource::catalogBaseUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, base);

    QCOMPARE(vexa::catalogBaseUrl(QUrl(url)).toString(QUrl::FullyEncoded), base);
}

void TestCatalogSource::resolvesLocally_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("repositoryBase");
    QTest::addColumn<QString>("sourceLabel");
    QTest::addColumn<QString>("resolvedSource");
    QTest::addColumn<QStringList>("tried");

    // files: "path=content"; "path/" makes a directory; the content "#id" is a catalog holding id,
    // "@id" a sidecar for id, anything else is written as it stands.
    const QStringList dirCandidates = { "{root}/repo/catalog.json", "{root}/repo/catalog/packages.json" };
    const QStringList dirTried = dirCandidates + QStringList { "{root}/repo/*.json (sidecars)" };

    QTest::newRow("directory with catalog.json ignores sidecars")
        << QStringList { "repo/catalog.json=#c1", "repo/a.json=@a" } << "{root}/repo" << true
        << QStringList { "c1" } << "{root}/repo"
        << "{root}/repo/catalog.json"
        << "{root}/repo/catalog.json" << QStringList { "{root}/repo/catalog.json" };
    QTest::newRow("catalog/packages.json belongs to the directory above")
        << QStringList { "repo/catalog/packages.json=#n1", "repo/z.json=@z" } << "{root}/repo/" << true
        << QStringList { "n1" } << "{root}/repo"
        << "{root}/repo/catalog/packages.json"
        << "{root}/repo/catalog/packages.json" << dirCandidates;
    QTest::newRow("catalog file named directly")
        << QStringList { "repo/custom.json=#f1" } << "{root}/repo/custom.json" << true << QStringList { "f1" }
        << "{root}/repo"
        << "{root}/repo/custom.json"
        << "{root}/repo/custom.json" << QStringList { "{root}/repo/custom.json" };
    QTest::newRow("file in a directory named Catalog")
        << QStringList { "repo/Catalog/x.json=#f2" } << "{root}/repo/Catalog/x.json" << true
        << QStringList { "f2" } << "{root}/repo"
        << "{root}/repo/Catalog/x.json"
        << "{root}/repo/Catalog/x.json" << QStringList { "{root}/repo/Catalog/x.json" };
    QTest::newRow("sidecars sorted, catalog.json in any case skipped")
        << QStringList { "repo/b.json=@b", "repo/A.json=@a", "repo/c.JSON=@c", "repo/CATALOG.json=not json",
               "repo/notes.txt=x", "repo/sub/d.json=@d" }
        << "{root}/repo" << true << QStringList { "a", "b", "c" } << "{root}/repo"
        << "{root}/repo (package sidecars)"
        << "{root}/repo" << dirTried;
    QTest::newRow("broken sidecar gives the locate message")
        << QStringList { "repo/a.json=@a", "repo/b.json={broken" } << "{root}/repo" << false << QStringList()
        << QString() << QString() << QString() << dirTried;
    QTest::newRow("sidecar that is no object")
        << QStringList { "repo/a.json=[1]" } << "{root}/repo" << false << QStringList() << QString()
        << QString() << QString() << dirTried;
    QTest::newRow("catalog.json that is a directory, no sidecars")
        << QStringList { "repo/catalog.json/" } << "{root}/repo" << false << QStringList() << QString()
        << QString() << QString() << dirTried;
    QTest::newRow("empty directory") << QStringList { "repo/" } << "{root}/repo" << false << QStringList()
                                     << QString() << QString() << QString() << dirTried;
    QTest::newRow("missing file") << QStringList() << "{root}/none/catalog.json" << false << QStringList()
                                  << QString() << QString() << QString()
                                  << QStringList { "{root}/none/catalog.json" };
    QTest::newRow("relative path against the working directory")
        << QStringList { "examples/repository/catalog.json=#rel" } << "examples/repository" << true
        << QStringList { "rel" } << "{root}/examples/repository"
        << "{root}/examples/repository/catalog.json"
        << "{root}/examples/repository/catalog.json"
        << QStringList { "{root}/examples/repository/catalog.json" };
    QTest::newRow("relative directory named like a host stays local")
        << QStringList { "packages.example.test/catalog.json=#host" } << "  packages.example.test  " << true
        << QStringList { "host" } << "{root}/packages.example.test"
        << "{root}/packages.example.test/catalog.json"
        << "{root}/packages.example.test/catalog.json"
        << QStringList { "{root}/packages.example.test/catalog.json" };
    QTest::newRow("path cleaned") << QStringList { "repo/catalog.json=#c1" }
                                  << " {root}/repo/./sub/..//catalog.json " << true << QStringList { "c1" }
                                  << "{root}/repo"
                                  << "{root}/repo/catalog.json"
                                  << "{root}/repo/catalog.json" << QStringList { "{root}/repo/catalog.json" };
    QTest::newRow("file URL read as its path")
        << QStringList { "repo/catalog.json=#c1" } << "file://{root}/repo/catalog.json" << true
        << QStringList { "c1" } << "{root}/repo"
        << "{root}/repo/catalog.json"
        << "{root}/repo/catalog.json" << QStringList { "{root}/repo/catalog.json" };
}

void TestCatalogSource::resolvesLocally()
{
    QFETCH(QStringList, files);
    QFETCH(QString, source);
    QFETCH(bool, ok);
    QFETCH(QStringList, ids);
    QFETCH(QString, repositoryBase);
    QFETCH(QString, sourceLabel);
    QFETCH(QString, resolvedSource);
    QFETCH(QStringList, tried);

    for (const QString &file : std::as_const(files)) {
        const QString path = file.section(QLatin1Char('='), 0, 0);
        const QString content = file.section(QLatin1Char('='), 1);
        if (path.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir().mkpath(m_work->filePath(path)));
            continue;
        }
        QByteArray bytes = content.toUtf8();
        if (content.startsWith(QLatin1Char('#')))
            bytes = catalogDocument(content.mid(1));
        else if (content.startsWith(QLatin1Char('@')))
            bytes = sidecar(content.mid(1));
        QVERIFY(writeTestFile(m_work->filePath(path), bytes));
    }
    // The temporary directory may sit behind a symbolic link; resolution reports the path as given.
    QVERIFY(QDir::setCurrent(QDir(m_work->path()).canonicalPath()));

    CatalogPayload payload;
    QString errorText;
    QCOMPARE(resolveCatalog(expand(source), payload, errorText), ok);
    if (ok) {
        QVERIFY2(errorText.isEmpty(), qPrintable(errorText));
        QCOMPARE(packageIds(payload.data), ids);
        QCOMPARE(payload.repositoryBase, expand(repositoryBase));
        QCOMPARE(payload.sourceLabel, expand(sourceLabel));
        QCOMPARE(payload.resolvedSource, expand(resolvedSource));
    } else {
        const QString location
            = expand(tried.first().endsWith(QLatin1String("catalog.json")) && tried.size() == 1
                    ? tried.first()
                    : QStringLiteral("{root}/repo"));
        QCOMPARE(errorText, locateMessage(location, expand(tried)));
    }
    QCOMPARE(m_http->requestLog(), QStringList());
}

void TestCatalogSource::resolvesRemotely_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("repositoryBase");
    QTest::addColumn<QString>("sourceLabel");
    QTest::addColumn<QString>("resolvedSource");
    QTest::addColumn<QStringList>("tried");
    QTest::addColumn<QString>("lastError");
    QTest::addColumn<QStringList>("requests");

    const int normal = 20000;
    QTest::newRow("catalog URL") << "{http}/repo/catalog.json" << normal << true << QStringList { "r1" }
                                 << "{http}/repo/"
                                 << "{http}/repo/catalog.json"
                                 << "{http}/repo/catalog.json" << QStringList { "{http}/repo/catalog.json" }
                                 << QString() << QStringList { "/repo/catalog.json" };
    QTest::newRow("directory with slash: catalog, then index and sidecars")
        << "{http}/idx/" << normal << true << QStringList { "b", "a" } << "{http}/idx/"
        << "{http}/idx/vexa-package-names.txt (package sidecars via index)"
        << "{http}/idx/vexa-package-names.txt"
        << QStringList { "{http}/idx/catalog.json", "{http}/idx/vexa-package-names.txt" } << QString()
        << QStringList { "/idx/catalog.json", "/idx/vexa-package-names.txt", "/idx/b.json", "/idx/a.json" };
    QTest::newRow("directory without slash looks one level up")
        << "{http}/idx" << normal << false << QStringList() << QString() << QString() << QString()
        << QStringList { "{http}/catalog.json", "{http}/vexa-package-names.txt" }
        << notFound(QStringLiteral("{http}/vexa-package-names.txt"))
        << QStringList { "/catalog.json", "/vexa-package-names.txt" };
    QTest::newRow("index URL skips the catalog")
        << "{http}/idx/vexa-package-names.txt" << normal << true << QStringList { "b", "a" } << "{http}/idx/"
        << "{http}/idx/vexa-package-names.txt (package sidecars via index)"
        << "{http}/idx/vexa-package-names.txt" << QStringList { "{http}/idx/vexa-package-names.txt" }
        << QString() << QStringList { "/idx/vexa-package-names.txt", "/idx/b.json", "/idx/a.json" };
    QTest::newRow("index name recognised in any case")
        << "{http}/idx/VEXA-Package-Names.TXT" << normal << false << QStringList() << QString() << QString()
        << QString() << QStringList { "{http}/idx/VEXA-Package-Names.TXT" }
        << notFound(QStringLiteral("{http}/idx/VEXA-Package-Names.TXT"))
        << QStringList { "/idx/VEXA-Package-Names.TXT" };
    QTest::newRow("catalog found first, index never asked")
        << "{http}/both/" << normal << true << QStringList { "both1" } << "{http}/both/"
        << "{http}/both/catalog.json"
        << "{http}/both/catalog.json" << QStringList { "{http}/both/catalog.json" } << QString()
        << QStringList { "/both/catalog.json" };
    QTest::newRow("name merely ending in catalog.json")
        << "{http}/named/mycatalog.json" << normal << true << QStringList { "m1" } << "{http}/named/"
        << "{http}/named/mycatalog.json"
        << "{http}/named/mycatalog.json" << QStringList { "{http}/named/mycatalog.json" } << QString()
        << QStringList { "/named/mycatalog.json" };
    QTest::newRow("catalog after a redirect")
        << "{http}/redirect/catalog.json?to=/repo/catalog.json" << normal << true << QStringList { "r1" }
        << "{http}/repo/"
        << "{http}/redirect/catalog.json?to=/repo/catalog.json"
        << "{http}/repo/catalog.json" << QStringList { "{http}/redirect/catalog.json?to=/repo/catalog.json" }
        << QString() << QStringList { "/redirect/catalog.json?to=/repo/catalog.json", "/repo/catalog.json" };
    QTest::newRow("index after a redirect: sidecars beside the final index")
        << "{http}/redirect/vexa-package-names.txt?to=/idx/vexa-package-names.txt" << normal << true
        << QStringList { "b", "a" } << "{http}/idx/"
        << "{http}/redirect/vexa-package-names.txt?to=/idx/vexa-package-names.txt (package sidecars via "
           "index)"
        << "{http}/idx/vexa-package-names.txt"
        << QStringList { "{http}/redirect/vexa-package-names.txt?to=/idx/vexa-package-names.txt" }
        << QString()
        << QStringList { "/redirect/vexa-package-names.txt?to=/idx/vexa-package-names.txt",
               "/idx/vexa-package-names.txt", "/idx/b.json", "/idx/a.json" };
    QTest::newRow("catalog redirected from http to https")
        << "{http}/redirect/catalog.json?to={https}/repo/catalog.json" << normal << true
        << QStringList { "r1" } << "{https}/repo/"
        << "{http}/redirect/catalog.json?to={https}/repo/catalog.json"
        << "{https}/repo/catalog.json"
        << QStringList { "{http}/redirect/catalog.json?to={https}/repo/catalog.json" } << QString()
        << QStringList { "/redirect/catalog.json?to={https}/repo/catalog.json" };
    QTest::newRow("catalog without Content-Length")
        << "{http}/nolength/repo/catalog.json" << normal << true << QStringList { "r1" }
        << "{http}/nolength/repo/"
        << "{http}/nolength/repo/catalog.json"
        << "{http}/nolength/repo/catalog.json" << QStringList { "{http}/nolength/repo/catalog.json" }
        << QString() << QStringList { "/nolength/repo/catalog.json" };
    QTest::newRow("index entry with a separator")
        << "{http}/badidx/" << normal << false << QStringList() << QString() << QString() << QString()
        << QStringList { "{http}/badidx/catalog.json", "{http}/badidx/vexa-package-names.txt" }
        << QStringLiteral("Package index entry 'sub/x' must not contain path separators.")
        << QStringList { "/badidx/catalog.json", "/badidx/vexa-package-names.txt" };
    QTest::newRow("index without names")
        << "{http}/emptyidx/vexa-package-names.txt" << normal << false << QStringList() << QString()
        << QString() << QString() << QStringList { "{http}/emptyidx/vexa-package-names.txt" }
        << QStringLiteral("The remote package index did not contain any package names.")
        << QStringList { "/emptyidx/vexa-package-names.txt" };
    QTest::newRow("missing sidecar stops the load")
        << "{http}/missingside/vexa-package-names.txt" << normal << false << QStringList() << QString()
        << QString() << QString() << QStringList { "{http}/missingside/vexa-package-names.txt" }
        << QStringLiteral("Failed to download package sidecar ghost.json: ")
            + notFound(QStringLiteral("{http}/missingside/ghost.json"))
        << QStringList { "/missingside/vexa-package-names.txt", "/missingside/a.json",
               "/missingside/ghost.json" };
    QJsonParseError parseError;
    QJsonDocument::fromJson("{oops", &parseError);
    QTest::newRow("sidecar that is not JSON")
        << "{http}/brokenside/vexa-package-names.txt" << normal << false << QStringList() << QString()
        << QString() << QString() << QStringList { "{http}/brokenside/vexa-package-names.txt" }
        << parseError.errorString()
        << QStringList { "/brokenside/vexa-package-names.txt", "/brokenside/a.json" };
    // An entry is a file name beside the index, never a URL of its own, even when it reads like one.
    QTest::newRow("entry that looks like a scheme")
        << "{http}/colon/vexa-package-names.txt" << normal << true << QStringList { "one" } << "{http}/colon/"
        << "{http}/colon/vexa-package-names.txt (package sidecars via index)"
        << "{http}/colon/vexa-package-names.txt" << QStringList { "{http}/colon/vexa-package-names.txt" }
        << QString() << QStringList { "/colon/vexa-package-names.txt", "/colon/pkg:one.json" };
    QTest::newRow("index stalls past the time-out")
        << "{http}/stall/idx/vexa-package-names.txt?after=3" << 500 << false << QStringList() << QString()
        << QString() << QString() << QStringList { "{http}/stall/idx/vexa-package-names.txt?after=3" }
        << QStringLiteral("Timed out while downloading {http}/stall/idx/vexa-package-names.txt?after=3")
        << QStringList { "/stall/idx/vexa-package-names.txt?after=3" };
    QTest::newRow("https catalog refused a way back to http")
        << "{https}/redirect/catalog.json?to={http}/repo/catalog.json" << normal << false << QStringList()
        << QString() << QString() << QString()
        << QStringList { "{https}/redirect/catalog.json?to={http}/repo/catalog.json",
               "{https}/redirect/vexa-package-names.txt" }
        << notFound(QStringLiteral("{https}/redirect/vexa-package-names.txt")) << QStringList();
}

void TestCatalogSource::resolvesRemotely()
{
    QFETCH(QString, source);
    QFETCH(int, timeoutMs);
    QFETCH(bool, ok);
    QFETCH(QStringList, ids);
    QFETCH(QString, repositoryBase);
    QFETCH(QString, sourceLabel);
    QFETCH(QString, resolvedSource);
    QFETCH(QStringList, tried);
    QFETCH(QString, lastError);
    QFETCH(QStringList, requests);

    CatalogPayload payload;
    QString errorText;
    QCOMPARE(resolveCatalog(expand(source), payload, errorText, {}, timeoutMs), ok);
    if (ok) {
        QVERIFY2(errorText.isEmpty(), qPrintable(errorText));
        QCOMPARE(packageIds(payload.data), ids);
        QCOMPARE(payload.repositoryBase, expand(repositoryBase));
        QCOMPARE(payload.sourceLabel, expand(sourceLabel));
        QCOMPARE(payload.resolvedSource, expand(resolvedSource));
    } else {
        QCOMPARE(errorText,
            locateMessage(expand(source), expand(tried)) + QStringLiteral("\n\nLast error:\n")
                + expand(lastError));
    }
    // Exactly these requests reached the plain server, in this order, nothing extra. Qt itself may
    // send a request again on a fresh connection when the server closed the previous one at the
    // moment the answer arrived; such an immediate repeat is transport, not a retry of ours.
    QCOMPARE(withoutImmediateRepeats(m_http->requestLog()).join(QLatin1Char('|')),
        expand(requests).join(QLatin1Char('|')));
}

void TestCatalogSource::reportsProgress_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("local directory of sidecars")
        << "{root}/repo"
        << QStringList { "Loading package catalog from {root}/repo/catalog.json...",
               "Loading package catalog from {root}/repo/catalog/packages.json...",
               "Scanning {root}/repo for package sidecar manifests..." };
    QTest::newRow("remote directory with an index")
        << "{http}/idx/"
        << QStringList { "Downloading package catalog from {http}/idx/catalog.json...",
               "Downloading package index from {http}/idx/vexa-package-names.txt...",
               "Downloading package sidecar {http}/idx/b.json...",
               "Downloading package sidecar {http}/idx/a.json..." };
}

void TestCatalogSource::reportsProgress()
{
    QFETCH(QString, source);
    QFETCH(QStringList, messages);
    QVERIFY(writeTestFile(m_work->filePath(QStringLiteral("repo/a.json")), sidecar(QStringLiteral("a"))));

    QStringList reported;
    CatalogPayload payload;
    QString errorText;
    QVERIFY2(resolveCatalog(expand(source), payload, errorText,
                 [&reported](const QString &message) { reported.append(message); }),
        qPrintable(errorText));
    QCOMPARE(reported, expand(messages));
}

void TestCatalogSource::failureLeavesPayloadAlone()
{
    CatalogPayload payload;
    payload.data = "previous";
    payload.repositoryBase = QStringLiteral("/previous");
    QString errorText;
    QVERIFY(!resolveCatalog(
        m_http->url(QStringLiteral("/missingside/vexa-package-names.txt")).toString(), payload, errorText));
    QVERIFY(!errorText.isEmpty());
    QCOMPARE(payload.data, QByteArray("previous"));
    QCOMPARE(payload.repositoryBase, QStringLiteral("/previous"));
}

void TestCatalogSource::fallsBackToEnvironment_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("catalogUrl");
    QTest::addColumn<QString>("repositoryDir");
    QTest::addColumn<QString>("resolvedSource");

    QTest::newRow("catalog URL variable before repository variable") << ""
                                                                     << " {http}/repo/catalog.json "
                                                                     << "{root}/local"
                                                                     << "{http}/repo/catalog.json";
    QTest::newRow("blank catalog URL variable") << "   "
                                                << "  "
                                                << "{root}/local"
                                                << "{root}/local/catalog.json";
    QTest::newRow("catalog URL variable holding a path") << ""
                                                         << "{root}/local"
                                                         << ""
                                                         << "{root}/local/catalog.json";
    QTest::newRow("repository variable holding a URL") << ""
                                                       << ""
                                                       << "{http}/repo/catalog.json"
                                                       << "{http}/repo/catalog.json";
    QTest::newRow("a given source wins") << "{root}/local"
                                         << "{http}/repo/catalog.json"
                                         << ""
                                         << "{root}/local/catalog.json";
}

void TestCatalogSource::fallsBackToEnvironment()
{
    QFETCH(QString, source);
    QFETCH(QString, catalogUrl);
    QFETCH(QString, repositoryDir);
    QFETCH(QString, resolvedSource);

    QVERIFY(writeTestFile(
        m_work->filePath(QStringLiteral("local/catalog.json")), catalogDocument(QStringLiteral("l1"))));
    const ScopedEnvironmentVariable catalogVariable("VEXA_CATALOG_URL", expand(catalogUrl).toUtf8());
    const ScopedEnvironmentVariable repositoryVariable("VEXA_REPOSITORY_DIR", expand(repositoryDir).toUtf8());

    CatalogPayload payload;
    QString errorText;
    QVERIFY2(resolveCatalog(expand(source), payload, errorText), qPrintable(errorText));
    QCOMPARE(payload.resolvedSource, expand(resolvedSource));
}

void TestCatalogSource::defaultEndpointIsTheRemoteIndex()
{
    const QUrl endpoint(DefaultPackageIndexUrl());
    QCOMPARE(endpoint.scheme(), QStringLiteral("https"));
    QCOMPARE(endpoint.path(), QStringLiteral("/vexa-package-names.txt"));

    const ScopedEnvironmentVariable catalogVariable("VEXA_CATALOG_URL", QByteArray());
    const ScopedEnvironmentVariable repositoryVariable("VEXA_REPOSITORY_DIR", QByteArray(" "));
    // The loopback server acts as the proxy, so the request for the default host never leaves the
    // machine (not even as a name lookup) and fails at once.
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(m_http->port())));
    CatalogPayload payload;
    QString errorText;
    QStringList messages;
    const bool ok = resolveCatalog(
        QString(), payload, errorText, [&messages](const QString &message) { messages.append(message); },
        5000);
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));

    QVERIFY(!ok);
    const QString url = endpoint.toString(QUrl::FullyEncoded);
    const QString expectedStart
        = locateMessage(url, { url }) + QStringLiteral("\n\nLast error:\nFailed to download %1: ").arg(url);
    QVERIFY2(errorText.startsWith(expectedStart), qPrintable(errorText));
    QVERIFY(errorText.size() > expectedStart.size());
    QCOMPARE(messages, QStringList { QStringLiteral("Downloading package index from %1...").arg(url) });
    QCOMPARE(m_http->requestLog(), QStringList { QStringLiteral("CONNECT %1:443").arg(endpoint.host()) });
}

QTEST_GUILESS_MAIN(TestCatalogSource)
#include "tst_catalogsource.moc"
