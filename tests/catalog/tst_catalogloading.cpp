#include "catalog/catalogloading.h"

#include "support/testcatalog.h"
#include "support/testenvironment.h"
#include "support/testfiles.h"
#include "support/testhttpserver.h"
#include "support/testreleasekey.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace vexa;

class TestCatalogLoading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void repositoryBase_data();
    void repositoryBase();
    void blankSourceKeepsWhatWasFound();
    void parseFailure_data();
    void parseFailure();
    void signedCatalogs_data();
    void signedCatalogs();

private:
    QTemporaryDir m_served;
    std::unique_ptr<TestHttpServer> m_server;
    TestReleaseKey m_key;
    int m_signedRow = 0;
};

namespace {

const QString NinjaId = QStringLiteral("com.company.vexa.ninja");

QString cleanAbsolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

void TestCatalogLoading::initTestCase()
{
    QString errorText;
    QVERIFY2(m_key.generate(errorText), qPrintable(errorText));
    m_server = std::make_unique<TestHttpServer>(m_served.path());
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
}

void TestCatalogLoading::repositoryBase_data()
{
    QTest::addColumn<QJsonValue>("repositoryBaseUrl");
    QTest::addColumn<QString>("expectedBase");

    QTest::newRow("no repository_base_url: where the catalog was found") << QJsonValue() << QString();
    QTest::newRow("blank repository_base_url is ignored") << QJsonValue(QStringLiteral("   ")) << QString();
    QTest::newRow("non-string repository_base_url is ignored") << QJsonValue(42) << QString();
    QTest::newRow("repository_base_url wins, trimmed")
        << QJsonValue(QStringLiteral("  https://mirror.example/vexa/  "))
        << QStringLiteral("https://mirror.example/vexa/");
    QTest::newRow("repository_base_url may name a directory")
        << QJsonValue(QStringLiteral("D:/offline/vexa")) << QStringLiteral("D:/offline/vexa");
}

void TestCatalogLoading::repositoryBase()
{
    QFETCH(QJsonValue, repositoryBaseUrl);
    QFETCH(QString, expectedBase);

    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    // A catalog inside a "catalog" directory belongs to the repository one level up.
    const QString repository = cleanAbsolute(temporary.path());
    const QString catalogFile = repository + QStringLiteral("/catalog/catalog.json");
    QJsonObject topLevel;
    if (!repositoryBaseUrl.isNull())
        topLevel.insert(QStringLiteral("repository_base_url"), repositoryBaseUrl);
    QVERIFY(writeTestFile(
        catalogFile, testCatalogDocument({ testPackageEntry(NinjaId, QStringLiteral("Ninja")) }, topLevel)));

    QStringList progress;
    QStringList parsed;
    LoadedCatalog loaded;
    QString errorText;
    QVERIFY2(loadCatalog(
                 catalogFile, loaded, errorText, [&](const QString &message) { progress << message; },
                 [&](const QString &sourceLabel) { parsed << sourceLabel; }),
        qPrintable(errorText));
    QCOMPARE(loaded.repositoryBase, expectedBase.isEmpty() ? repository : expectedBase);
    QCOMPARE(loaded.catalogSource, catalogFile);
    QCOMPARE(loaded.catalog.packages().size(), 1);
    QVERIFY(loaded.catalog.contains(NinjaId));
    QCOMPARE(progress, QStringList { QStringLiteral("Loading package catalog from %1...").arg(catalogFile) });
    QCOMPARE(parsed, QStringList { catalogFile });
}

void TestCatalogLoading::blankSourceKeepsWhatWasFound()
{
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString repository = cleanAbsolute(temporary.path());
    QVERIFY(writeTestFile(repository + QStringLiteral("/catalog.json"),
        testCatalogDocument({ testPackageEntry(NinjaId, QStringLiteral("Ninja")) })));
    const ScopedEnvironmentVariable repositoryVariable("VEXA_REPOSITORY_DIR", repository.toUtf8());

    LoadedCatalog loaded;
    QString errorText;
    QVERIFY2(loadCatalog(QString(), loaded, errorText), qPrintable(errorText));
    // A reload must read what was found, not the blank that was given.
    QCOMPARE(loaded.catalogSource, repository + QStringLiteral("/catalog.json"));
    QCOMPARE(loaded.repositoryBase, repository);
}

void TestCatalogLoading::parseFailure_data()
{
    QTest::addColumn<QString>("directoryName");
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error");

    QTest::newRow("no packages") << QStringLiteral("repo") << QByteArray(R"({"packages": []})")
                                 << QStringLiteral("Catalog JSON does not contain any packages.");
    QTest::newRow("not an object") << QStringLiteral("repo")
                                   << QByteArray(R"([{"package_id": "a", "display_name": "A"}])")
                                   << QStringLiteral("Catalog JSON is not an object.");
    QTest::newRow("source label is never taken for a placeholder")
        << QStringLiteral("repo %2 and %1") << QByteArray(R"({"packages": 7})")
        << QStringLiteral("Catalog JSON does not contain any packages.");
}

void TestCatalogLoading::parseFailure()
{
    QFETCH(QString, directoryName);
    QFETCH(QByteArray, document);
    QFETCH(QString, error);

    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString catalogFile
        = cleanAbsolute(temporary.filePath(directoryName + QStringLiteral("/catalog.json")));
    QVERIFY(writeTestFile(catalogFile, document));

    LoadedCatalog loaded;
    loaded.repositoryBase = QStringLiteral("kept");
    QString errorText;
    QVERIFY(!loadCatalog(catalogFile, loaded, errorText));
    QCOMPARE(errorText,
        QStringLiteral("Failed to parse catalog from ") + catalogFile + QStringLiteral(".\n\n") + error);
    QCOMPARE(loaded.repositoryBase, QStringLiteral("kept"));
    QVERIFY(loaded.catalog.packages().isEmpty());
}

void TestCatalogLoading::signedCatalogs_data()
{
    QTest::addColumn<QStringList>("files"); // "name:signed", ":unsigned", ":changed" (after signing)
    QTest::addColumn<QString>("source"); // "%R": the row's directory; "%S": the same served
    QTest::addColumn<QString>("error"); // how the message starts; empty: the catalog loads
    const QString missing = QStringLiteral("Catalog document %1 is not trusted: signature is missing");
    const QString noMatch
        = QStringLiteral("Catalog document %1 is not trusted: signature does not match any trusted key");
    const QStringList signedIndex { "vexa-package-names.txt:signed", "a.json:signed", "b.json:signed" };

    QTest::newRow("local catalog, signed") << QStringList { "catalog.json:signed" } << "%R" << QString();
    QTest::newRow("local catalog without a .sig")
        << QStringList { "catalog.json:unsigned" } << "%R" << missing.arg("%R/catalog.json");
    QTest::newRow("local sidecar without a .sig")
        << QStringList { "a.json:signed", "b.json:unsigned" } << "%R" << missing.arg("%R/b.json");
    QTest::newRow("remote catalog, signed")
        << QStringList { "catalog.json:signed" } << "%S/catalog.json" << QString();
    QTest::newRow("remote catalog without a .sig: no fallback to the index")
        << QStringList { "catalog.json:unsigned" } + signedIndex << "%S/catalog.json"
        << missing.arg("%S/catalog.json") + " (Failed to download %S/catalog.json.sig";
    QTest::newRow("remote index and sidecars, signed")
        << signedIndex << "%S/vexa-package-names.txt" << QString();
    QTest::newRow("remote index without a .sig")
        << QStringList { "vexa-package-names.txt:unsigned", "a.json:signed", "b.json:signed" }
        << "%S/vexa-package-names.txt" << missing.arg("%S/vexa-package-names.txt");
    QTest::newRow("remote sidecar changed after signing")
        << QStringList { "vexa-package-names.txt:signed", "a.json:signed", "b.json:changed" }
        << "%S/vexa-package-names.txt" << noMatch.arg("%S/b.json");
    QTest::newRow("signed catalog with an archive but no sha256")
        << QStringList { "nodigest/catalog.json:signed" } << "%R/nodigest"
        << "Catalog document %R/nodigest/catalog.json is not trusted: package B [iv1] has no sha256";
}

void TestCatalogLoading::signedCatalogs()
{
    QFETCH(QStringList, files);
    QFETCH(QString, source);
    QFETCH(QString, error);
    QString errorText;
    const QString row = QString::number(++m_signedRow);
    const auto expand = [&](QString text) {
        return text.replace("%R", cleanAbsolute(m_served.filePath(row)))
            .replace("%S", m_server->baseUrl() + "/" + row);
    };

    const QJsonObject digest { { "payload_archive", "a.zip" }, { "sha256", QString(64, '0') } };
    const QMap<QString, QByteArray> contents {
        { "catalog.json", testCatalogDocument({ testPackageEntry(NinjaId, "Ninja", digest) }) },
        { "nodigest/catalog.json",
            testCatalogDocument({ testPackageEntry("a", "A", digest),
                testPackageEntry("b", "B", { { "payload_url", "https://h/b.zip" } }) }) },
        { "vexa-package-names.txt", "a\nb\n" },
        { "a.json", QJsonDocument(testPackageEntry("a", "A", digest)).toJson() },
        { "b.json", QJsonDocument(testPackageEntry("b", "B", digest)).toJson() },
    };
    QStringList toSign;
    for (const QString &file : std::as_const(files)) {
        const QString name = file.section(':', 0, 0);
        const QString path = m_served.filePath(row + "/" + name);
        QVERIFY(writeTestFile(path, contents.value(name)));
        if (!file.endsWith(":unsigned"))
            toSign << path;
    }
    QVERIFY2(toSign.isEmpty() || m_key.sign(toSign, errorText), qPrintable(errorText));
    for (const QString &file : std::as_const(files)) {
        const QString path = m_served.filePath(row + "/" + file.section(':', 0, 0));
        if (file.endsWith(":changed"))
            QVERIFY(writeTestFile(path, readTestFile(path) + " "));
    }

    LoadedCatalog loaded;
    const bool ok
        = loadCatalog(expand(source), loaded, errorText, {}, {}, parseReleaseKeys(m_key.publicKeyBase64()));
    QVERIFY2(errorText.startsWith(expand(error)), qPrintable(errorText));
    QCOMPARE(ok, error.isEmpty());
    if (ok)
        QVERIFY(!loaded.catalog.packages().isEmpty());
}

QTEST_GUILESS_MAIN(TestCatalogLoading)
#include "tst_catalogloading.moc"
