#include "catalog/catalogloading.h"

#include "support/testcatalog.h"
#include "support/testenvironment.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

class TestCatalogLoading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void repositoryBase_data();
    void repositoryBase();
    void blankSourceKeepsWhatWasFound();
    void parseFailure_data();
    void parseFailure();
};

namespace {

const QString NinjaId = QStringLiteral("com.company.vexa.ninja");

QString cleanAbsolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

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

QTEST_GUILESS_MAIN(TestCatalogLoading)
#include "tst_catalogloading.moc"
