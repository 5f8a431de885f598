#include "catalog/packagecatalog.h"
#include "support/testcatalog.h"
#include "support/testfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QtTest>

using namespace vexa;

namespace {

bool ownedPathCovers(const QStringList &ownedPaths, const QString &relativePath)
{
    for (const QString &owned : ownedPaths) {
        if (relativePath == owned || relativePath.startsWith(owned + QLatin1Char('/')))
            return true;
    }
    return false;
}

} // namespace

// The sample repository is what README's first command starts the installer on; a mistake in it
// would only show up when somebody removes or upgrades a package by hand.
class TestSampleRepository : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void loadsAndNamesTheDistribution();
    void payloadsAreThereAndMatchTheirDigests();
    void everyDependencyIsInTheCatalog();
    void ownedPathsCoverWhatMarksAPackage();
    void childPackagesSitUnderTheirParent();
    void guidanceAndDefaultsVary();

private:
    PackageCatalog m_catalog;
};

void TestSampleRepository::initTestCase()
{
    QVERIFY(loadTestCatalog(
        readTestFile(QStringLiteral(VEXA_SOURCE_DIR "/examples/repository/catalog.json")), m_catalog));
}

void TestSampleRepository::loadsAndNamesTheDistribution()
{
    QStringList products;
    for (const PackageDefinition &package : m_catalog.packages())
        products << package.product;
    for (const char *product : { "Qt", "OpenCV", "OpenSSL", "KF6SyntaxHighlighting", "OnnxRuntime",
             "nlohmann_json", "CMake", "Ninja", "CUDA" })
        QVERIFY2(products.contains(QLatin1String(product)), product);
    QVERIFY(m_catalog.contains(SupportPackageId));
    QVERIFY(m_catalog.repositoryBaseUrl().isEmpty());

    for (const PackageDefinition &package : m_catalog.packages()) {
        QVERIFY2(package.description.startsWith(QStringLiteral("Sample payload:")),
            qPrintable(package.package_id));
        QVERIFY(!package.install_subdir.isEmpty());
    }
}

void TestSampleRepository::payloadsAreThereAndMatchTheirDigests()
{
    const QDir repository(QStringLiteral(VEXA_SOURCE_DIR "/examples/repository"));
    int archives = 0;
    for (const PackageDefinition &package : m_catalog.packages()) {
        if (package.payload_archive.isEmpty()) {
            QVERIFY2(!package.payload_source_dir.isEmpty(), qPrintable(package.package_id));
            QVERIFY2(QFileInfo(repository.filePath(package.payload_source_dir)).isDir(),
                qPrintable(package.payload_source_dir));
            continue;
        }
        ++archives;
        QFile archive(repository.filePath(package.payload_archive));
        QVERIFY2(archive.open(QIODevice::ReadOnly), qPrintable(archive.fileName()));
        QCOMPARE(archive.size(), package.size_bytes);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        QVERIFY(hash.addData(&archive));
        QCOMPARE(QString::fromLatin1(hash.result().toHex()), package.sha256);
    }
    QVERIFY(archives > 0);
}

void TestSampleRepository::everyDependencyIsInTheCatalog()
{
    QSet<QString> all;
    for (const PackageDefinition &package : m_catalog.packages())
        all.insert(package.package_id);
    QStringList errors;
    QCOMPARE(m_catalog.dependencyClosure(all, &errors), all);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
    QCOMPARE(m_catalog.topologicalOrder(all).first(), SupportPackageId);
}

void TestSampleRepository::ownedPathsCoverWhatMarksAPackage()
{
    for (const PackageDefinition &package : m_catalog.packages()) {
        // Removal deletes the owned paths and then checks the marker is gone.
        QVERIFY2(ownedPathCovers(package.owned_paths, package.marker_relative_path),
            qPrintable(package.package_id));
        QVERIFY2(ownedPathCovers(package.owned_paths, package.install_subdir)
                || package.parent_package_id.size() > 0,
            qPrintable(package.package_id));
    }
    const PackageDefinition *support = m_catalog.findPackage(SupportPackageId);
    QVERIFY(support);
    for (const char *path : { "cmake/toolchains/vexa.cmake", "cmake/toolchains/vexa-msvc2019-x64.cmake",
             "cmake/toolchains/vexa-msvc2022-x64.cmake", "support/vexa-support-package.version" })
        QVERIFY2(ownedPathCovers(support->owned_paths, QLatin1String(path)), path);
}

void TestSampleRepository::childPackagesSitUnderTheirParent()
{
    int children = 0;
    for (const PackageDefinition &package : m_catalog.packages()) {
        if (package.parent_package_id.isEmpty())
            continue;
        ++children;
        const PackageDefinition *parent = m_catalog.findPackage(package.parent_package_id);
        QVERIFY(parent);
        QCOMPARE(package.group, parent->group);
        QVERIFY(package.dependencies.contains(parent->package_id));
    }
    QVERIFY(children >= 3);
}

void TestSampleRepository::guidanceAndDefaultsVary()
{
    int withUsage = 0;
    int defaults = 0;
    for (const PackageDefinition &package : m_catalog.packages()) {
        withUsage += package.usage.isEmpty() ? 0 : 1;
        defaults += package.default_selected ? 1 : 0;
    }
    QVERIFY(withUsage > 0 && withUsage < m_catalog.packages().size());
    QVERIFY(defaults > 0 && defaults < m_catalog.packages().size());
    QVERIFY(m_catalog.findPackage(SupportPackageId)->default_selected);
    QVERIFY(m_catalog.groups().size() >= 4);
}

QTEST_GUILESS_MAIN(TestSampleRepository)
#include "tst_samplerepository.moc"
