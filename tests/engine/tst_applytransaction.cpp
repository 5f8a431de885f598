#include "applytestsupport.h"
#include "catalog/packagecatalog.h"
#include "engine/applytransaction.h"
#include "engine/archivecache.h"
#include "engine/changeplan.h"
#include "engine/manifestfiles.h"
#include "engine/packageverification.h"
#include "engine/rootinspection.h"
#include "engine/rootpaths.h"
#include "progresslines.h"
#include "support/smallfilesystem.h"
#include "support/testfiles.h"
#include "support/testhttpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

namespace {

const QString BaseId = QStringLiteral("com.test.base");
const QString AppId = QStringLiteral("com.test.app");

QJsonObject baseEntry(int code = 1)
{
    return packageEntry(
        BaseId, QStringLiteral("Base"), code, QStringLiteral("base/base.txt"), { QStringLiteral("base") });
}

QJsonObject appEntry()
{
    return packageEntry(AppId, QStringLiteral("App"), 1, QStringLiteral("app/app.txt"),
        { QStringLiteral("app") }, { BaseId });
}

FileMap baseFiles()
{
    return { { QStringLiteral("base/base.txt"), "base" },
        { QStringLiteral("base/lib/cmake/Base/BaseConfig.cmake"), "#" } };
}

FileMap appFiles()
{
    return { { QStringLiteral("app/app.txt"), "app" } };
}

QJsonObject supportEntry(int code)
{
    return packageEntry(SupportPackageId, QStringLiteral("Vexa CMake Support"), code,
        QStringLiteral("cmake/toolchains/vexa.cmake"),
        { QStringLiteral("cmake"), QStringLiteral("support/vexa-support-package.version") });
}

FileMap supportFiles(int markerCode)
{
    return {
        { QStringLiteral("cmake/toolchains/vexa.cmake"), "# vexa" },
        { QStringLiteral("cmake/toolchains/vexa-msvc2019-x64.cmake"), "# 2019" },
        { QStringLiteral("cmake/toolchains/vexa-msvc2022-x64.cmake"), "# 2022" },
        { QStringLiteral("support/vexa-support-package.version"), QByteArray::number(markerCode) + '\n' },
    };
}

ChangePlan planFor(const PackageCatalog &catalog, const QString &root, const QSet<QString> &selection)
{
    return computePlan(catalog, inspectRoot(catalog, root), selection);
}

// Directories the applies of this sandbox left in the download cache.
QStringList cacheDirectories(const EnvironmentSandbox &sandbox)
{
    return QDir(sandbox.tempDirectory() + QLatin1Char('/') + DownloadCacheParentName)
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

class TestApplyTransaction : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void blankRootFailsBeforeAnything();
    void rootThatCannotBeCreated();
    void installBase_data();
    void installBase();
    void installFromHttp();
    void failedApplyKeepsWhatItFetched();
    void installOrderAndRemovalOrder();
    void upgradeUsesRecordedOwnedPaths();
    void upgradeWithSurvivingMarkerFails();
    void upgradeReinstallsPackagesInsideItsDirectory();
    void removalPrunesEmptyDirectories();
    void removeEverythingClearsManifestsAndVariable();
    void repairOnlyPlan();
    void failedManifestRemovalIsReported();
    void unknownIdsAreSkipped();
    void packageProblemsStopTheApply_data();
    void packageProblemsStopTheApply();
    void verificationMessages_data();
    void verificationMessages();
    void maliciousRecordedOwnedPaths_data();
    void maliciousRecordedOwnedPaths();

private:
    QString root() const { return m_dir->filePath(QStringLiteral("root")); }
    QString repositoryDirectory() const { return m_dir->filePath(QStringLiteral("repository")); }
    QString outside() const { return m_dir->filePath(QStringLiteral("outside")); }
    bool applyAndCollect(const PackageCatalog &catalog, const QString &base, const ChangePlan &plan,
        QStringList &lines, QString &error) const;
    bool loadAndApply(const TestRepository &repository, PackageCatalog &catalog,
        const QSet<QString> &selection, QStringList &lines, QString &error) const;

    QTemporaryDir *m_dir = nullptr;
};

void TestApplyTransaction::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QVERIFY(writeTestFile(outside() + QStringLiteral("/sentinel.txt"), "keep me"));
}

void TestApplyTransaction::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
}

bool TestApplyTransaction::applyAndCollect(const PackageCatalog &catalog, const QString &base,
    const ChangePlan &plan, QStringList &lines, QString &error) const
{
    lines.clear();
    error.clear();
    return applyPlan(catalog, base, root(), plan, error,
        progressLines([&lines](const QString &line) { lines.append(line); }));
}

// Loads the repository's catalog and applies the plan that selects `selection` in root().
bool TestApplyTransaction::loadAndApply(const TestRepository &repository, PackageCatalog &catalog,
    const QSet<QString> &selection, QStringList &lines, QString &error) const
{
    if (!repository.load(catalog)) {
        error = QStringLiteral("the test catalog did not load");
        return false;
    }
    return applyAndCollect(
        catalog, repository.directory(), planFor(catalog, root(), selection), lines, error);
}

void TestApplyTransaction::blankRootFailsBeforeAnything()
{
    EnvironmentSandbox sandbox(false);
    TestRepository repository(repositoryDirectory());
    QVERIFY(repository.addArchivePackage(baseEntry(), baseFiles()));
    PackageCatalog catalog;
    QVERIFY(repository.load(catalog));
    ChangePlan plan = computePlan(catalog, InstalledState(), { BaseId });

    QStringList lines;
    QString error;
    QVERIFY(!applyPlan(catalog, repositoryDirectory(), QStringLiteral("  \t "), plan, error,
        progressLines([&lines](const QString &line) { lines.append(line); })));
    QCOMPARE(error, QStringLiteral("Select an install root before applying changes."));
    QVERIFY(lines.isEmpty());
    QVERIFY(!QFileInfo::exists(sandbox.variableFile()));
}

void TestApplyTransaction::rootThatCannotBeCreated()
{
    EnvironmentSandbox sandbox;
    QVERIFY(writeTestFile(root(), "a file where the root should be"));
    QStringList lines;
    QString error;
    QVERIFY(!applyAndCollect(PackageCatalog(), QString(), ChangePlan(), lines, error));
    QCOMPARE(error, QStringLiteral("The install root %1 is not a directory.").arg(root()));
}

void TestApplyTransaction::installBase_data()
{
    QTest::addColumn<bool>("fromArchive");
    QTest::addColumn<bool>("skipVariable");
    QTest::newRow("from a local archive, VEXA_ROOT published") << true << false;
    QTest::newRow("from a payload directory, hidden files left out") << false << true;
    QTest::newRow("variable update skipped leaves the environment alone") << true << true;
}

void TestApplyTransaction::installBase()
{
    QFETCH(bool, fromArchive);
    QFETCH(bool, skipVariable);
    EnvironmentSandbox sandbox(skipVariable);
    TestRepository repository(repositoryDirectory());
    if (fromArchive) {
        QVERIFY(repository.addArchivePackage(baseEntry(), baseFiles()));
    } else {
        QVERIFY(repository.addDirectoryPackage(baseEntry(), baseFiles()));
        // Hidden files of a payload directory are not part of the payload.
        QVERIFY(writeTestFile(
            repositoryDirectory() + QStringLiteral("/payloads/com.test.base/base/.git-keep"), "x"));
    }

    PackageCatalog catalog;
    QStringList lines;
    QString error;
    QVERIFY2(loadAndApply(repository, catalog, { BaseId }, lines, error), qPrintable(error));
    QCOMPARE(lines, QStringList { QStringLiteral("Installing Base [iv1]...") });
    QVERIFY(QFileInfo::exists(root() + QStringLiteral("/base/base.txt")));
    QCOMPARE(readTestFile(root() + QStringLiteral("/base/lib/cmake/Base/BaseConfig.cmake")), QByteArray("#"));
    QVERIFY(!QFileInfo::exists(root() + QStringLiteral("/base/.git-keep")));

    const InstalledState state = inspectRoot(catalog, root());
    QCOMPARE(state.current, QSet<QString> { BaseId });
    QVERIFY(!state.needsRepair);
    if (skipVariable)
        QVERIFY(!QFileInfo::exists(sandbox.variableFile()));
    else
        QCOMPARE(readTestFile(sandbox.variableFile()), QStringLiteral("VEXA_ROOT=%1\n").arg(root()).toUtf8());
    // A local payload is used in place; nothing was downloaded or left in the cache.
    QVERIFY(cacheDirectories(sandbox).isEmpty());
}

void TestApplyTransaction::installFromHttp()
{
    EnvironmentSandbox sandbox;
    TestRepository repository(repositoryDirectory());
    // Large enough for a few percentage steps.
    FileMap files = baseFiles();
    QByteArray noise;
    for (int i = 0; i < 200000; ++i)
        noise.append(char((i * 7919) % 251));
    files.insert(QStringLiteral("base/blob.bin"), noise);
    QVERIFY(repository.addArchivePackage(baseEntry(), files));
    PackageCatalog catalog;
    QVERIFY(repository.load(catalog));

    TestHttpServer server(repositoryDirectory());
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const QString base = server.baseUrl() + QLatin1Char('/');

    QStringList lines;
    QString error;
    QVERIFY2(applyAndCollect(catalog, base, planFor(catalog, root(), { BaseId }), lines, error),
        qPrintable(error));
    QVERIFY(lines.size() >= 4);
    QCOMPARE(lines.first(), QStringLiteral("Installing Base [iv1]..."));
    QCOMPARE(lines.at(1), QStringLiteral("Downloading Base [iv1]..."));
    QCOMPARE(lines.last(), QStringLiteral("Downloaded Base [iv1]."));
    const QRegularExpression percentLine(QStringLiteral("^Downloading Base \\[iv1\\] \\((\\d+)%\\)$"));
    int previous = -1;
    for (const QString &line : lines.mid(2, lines.size() - 3)) {
        const QRegularExpressionMatch match = percentLine.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        QVERIFY(match.captured(1).toInt() > previous);
        previous = match.captured(1).toInt();
    }
    QCOMPARE(previous, 100);
    QCOMPARE(readTestFile(root() + QStringLiteral("/base/blob.bin")), noise);
    QVERIFY(server.requestLog().contains(QStringLiteral("/packages/com.test.base.zip")));
    QVERIFY2(cacheDirectories(sandbox).isEmpty(), "a successful apply removes its download cache");
    QVERIFY(!inspectRoot(catalog, root()).needsRepair);
}

void TestApplyTransaction::failedApplyKeepsWhatItFetched()
{
    EnvironmentSandbox sandbox;
    TestRepository repository(repositoryDirectory());
    // Base has no digest, so it is fetched into the apply's own folder; App's archive goes through the
    // archive cache, and the server cuts every body after `cut` bytes, which only App's exceeds.
    QJsonObject withoutDigest = baseEntry();
    withoutDigest.insert(QStringLiteral("sha256"), QString());
    QVERIFY(repository.addArchivePackage(withoutDigest, baseFiles()));
    FileMap files = appFiles();
    files.insert(QStringLiteral("app/blob.bin"), seededRandomBytes(200000, 5));
    QVERIFY(repository.addArchivePackage(appEntry(), files));
    PackageCatalog catalog;
    QVERIFY(repository.load(catalog));
    const qint64 appSize = catalog.findPackage(AppId)->size_bytes;
    const qint64 cut = 100000;
    QVERIFY(appSize > cut && catalog.findPackage(BaseId)->size_bytes < cut);

    TestHttpServer server(repositoryDirectory());
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const QString base = server.baseUrl() + QLatin1Char('/');
    server.setCutAfter(cut);
    QStringList lines;
    QString error;
    QVERIFY(!applyAndCollect(catalog, base, planFor(catalog, root(), { AppId }), lines, error));
    QVERIFY2(error.startsWith(QStringLiteral("Failed to download App [iv1] from ")), qPrintable(error));
    QVERIFY2(cacheDirectories(sandbox).isEmpty(), "a failed apply removes its own download folder too");
    const QString part = QDir(archiveCacheDirectory()).filePath(partName(catalog.findPackage(AppId)->sha256));
    // What had arrived when the connection closed stays for the next apply.
    const qint64 held = QFileInfo(part).size();
    QVERIFY(held > 0 && held <= cut);

    // Base was installed; the next apply fetches only the rest of App's archive.
    server.setCutAfter(-1);
    const qint64 sentBefore = server.bytesSent();
    QVERIFY2(
        applyAndCollect(catalog, base, planFor(catalog, root(), { AppId }), lines, error), qPrintable(error));
    QCOMPARE(server.bytesSent() - sentBefore, appSize - held);
    QCOMPARE(
        readTestFile(root() + QStringLiteral("/app/blob.bin")), files.value(QStringLiteral("app/blob.bin")));
    QVERIFY(cacheDirectories(sandbox).isEmpty());
    QCOMPARE(QDir(archiveCacheDirectory()).entryList(QDir::Files | QDir::Hidden),
        QStringList { cachedArchiveName(catalog.findPackage(AppId)->sha256) });
}

void TestApplyTransaction::installOrderAndRemovalOrder()
{
    EnvironmentSandbox sandbox;
    TestRepository repository(repositoryDirectory());
    QVERIFY(repository.addDirectoryPackage(appEntry(), appFiles()));
    QVERIFY(repository.addArchivePackage(baseEntry(), baseFiles()));
    PackageCatalog catalog;
    QStringList lines;
    QString error;
    QVERIFY2(loadAndApply(repository, catalog, { AppId }, lines, error), qPrintable(error));
    QCOMPARE(lines,
        (QStringList {
            QStringLiteral("Installing Base [iv1]..."), QStringLiteral("Installing App [iv1]...") }));

    QVERIFY2(applyAndCollect(catalog, repositoryDirectory(), planFor(catalog, root(), {}), lines, error),
        qPrintable(error));
    QCOMPARE(lines,
        (QStringList { QStringLiteral("Removing App [iv1]..."), QStringLiteral("Removing Base [iv1]...") }));
}

void TestApplyTransaction::upgradeUsesRecordedOwnedPaths()
{
    EnvironmentSandbox sandbox;
    TestRepository oldRepository(m_dir->filePath(QStringLiteral("old-repository")));
    QJsonObject oldEntry = baseEntry(1);
    oldEntry.insert(QStringLiteral("owned_paths"),
        QJsonArray { QStringLiteral("base"), QStringLiteral("extra/old.txt") });
    FileMap oldFiles = baseFiles();
    oldFiles.insert(QStringLiteral("base/old-only.txt"), "old");
    oldFiles.insert(QStringLiteral("extra/old.txt"), "old");
    QVERIFY(oldRepository.addArchivePackage(oldEntry, oldFiles));
    PackageCatalog oldCatalog;
    QStringList lines;
    QString error;
    QVERIFY2(loadAndApply(oldRepository, oldCatalog, { BaseId }, lines, error), qPrintable(error));
    QVERIFY(QFileInfo::exists(root() + QStringLiteral("/extra/old.txt")));

    // The new version no longer lists extra/old.txt; state.json still does, so the upgrade removes it.
    TestRepository newRepository(repositoryDirectory());
    FileMap newFiles = baseFiles();
    newFiles.insert(QStringLiteral("base/new.txt"), "new");
    QVERIFY(newRepository.addArchivePackage(baseEntry(2), newFiles));
    PackageCatalog newCatalog;
    QVERIFY(newRepository.load(newCatalog));
    const InstalledState before = inspectRoot(newCatalog, root());
    QCOMPARE(before.stale, QSet<QString> { BaseId });

    QVERIFY2(applyAndCollect(newCatalog, newRepository.directory(),
                 computePlan(newCatalog, before, initialSelection(newCatalog, before)), lines, error),
        qPrintable(error));
    QCOMPARE(lines,
        (QStringList {
            QStringLiteral("Upgrading Base [iv2]..."), QStringLiteral("Installing Base [iv2]...") }));
    QVERIFY(!QFileInfo::exists(root() + QStringLiteral("/base/old-only.txt")));
    QVERIFY(!QFileInfo::exists(root() + QStringLiteral("/extra")));
    QVERIFY(QFileInfo::exists(root() + QStringLiteral("/base/new.txt")));
    const InstalledState after = inspectRoot(newCatalog, root());
    QCOMPARE(after.current, QSet<QString> { BaseId });
    QVERIFY(after.stale.isEmpty());
    QVERIFY(!after.needsRepair);
}

void TestApplyTransaction::upgradeWithSurvivingMarkerFails()
{
    EnvironmentSandbox sandbox;
    TestRepository repository(repositoryDirectory());
    // The marker sits outside the only owned path, so deleting the old version cannot remove it.
    QJsonObject entry = packageEntry(
        BaseId, QStringLiteral("Base"), 1, QStringLiteral("shared/base.marker"), { QStringLiteral("base") });
    QVERIFY(repository.addArchivePackage(
        entry, { { QStringLiteral("shared/base.marker"), "m" }, { QStringLiteral("base/a.txt"), "a" } }));
    PackageCatalog catalog;
    QStringList lines;
    QString error;
    QVERIFY2(loadAndApply(repository, catalog, { BaseId }, lines, error), qPrintable(error));

    ChangePlan plan = planFor(catalog, root(), { BaseId });
    plan.toUpgrade = { BaseId };
    plan.upgradeOrder = { BaseId };
    plan.toInstall = { BaseId };
    plan.installOrder = { BaseId };
    QVERIFY(!applyAndCollect(catalog, repositoryDirectory(), plan, lines, error));
    QCOMPARE(error,
        QStringLiteral("Verification failed after removing Base [iv1]. Package markers still exist: "
                       "shared/base.marker"));
    QCOMPARE(lines, QStringList { QStringLiteral("Upgrading Base [iv1]...") });
}

void TestApplyTransaction::upgradeReinstallsPackagesInsideItsDirectory()
{
    EnvironmentSandbox sandbox;
    // A module that lives inside its parent's directory, as Qt modules live inside "qt6".
    const QJsonObject module = packageEntry(AppId, QStringLiteral("Module"), 1,
        QStringLiteral("base/module/module.txt"), { QStringLiteral("base/module") }, { BaseId });
    const FileMap moduleFiles { { QStringLiteral("base/module/module.txt"), "module" } };
    TestRepository oldRepository(m_dir->filePath(QStringLiteral("old-repository")));
    QVERIFY(oldRepository.addArchivePackage(baseEntry(1), baseFiles()));
    QVERIFY(oldRepository.addArchivePackage(module, moduleFiles));
    PackageCatalog oldCatalog;
    QStringList lines;
    QString error;
    QVERIFY2(loadAndApply(oldRepository, oldCatalog, { AppId }, lines, error), qPrintable(error));

    TestRepository newRepository(repositoryDirectory());
    QVERIFY(newRepository.addArchivePackage(baseEntry(2), baseFiles()));
    QVERIFY(newRepository.addArchivePackage(module, moduleFiles));
    PackageCatalog newCatalog;
    QVERIFY(newRepository.load(newCatalog));
    const InstalledState before = inspectRoot(newCatalog, root());
    const ChangePlan plan = computePlan(newCatalog, before, initialSelection(newCatalog, before));
    QCOMPARE(plan.installOrder, QStringList { BaseId });

    QVERIFY2(applyAndCollect(newCatalog, newRepository.directory(), plan, lines, error), qPrintable(error));
    QCOMPARE(lines,
        (QStringList { QStringLiteral("Upgrading Base [iv2]..."), QStringLiteral("Installing Base [iv2]..."),
            QStringLiteral("Installing Module [iv1]...") }));
    const InstalledState after = inspectRoot(newCatalog, root());
    QCOMPARE(after.current, (QSet<QString> { BaseId, AppId }));
    QVERIFY(!after.needsRepair);
}

void TestApplyTransaction::removalPrunesEmptyDirectories()
{
    EnvironmentSandbox sandbox;
    TestRepository repository(repositoryDirectory());
    const QString only = QStringLiteral("deep/a/b/only.txt");
    QVERIFY(repository.addArchivePackage(
        packageEntry(BaseId, QStringLiteral("Base"), 1, only, { only }), { { only, "x" } }));
    QVERIFY(repository.addArchivePackage(appEntry(), appFiles()));
    PackageCatalog catalog;
    QStringList lines;
    QString error;
    QVERIFY2(loadAndApply(repository, catalog, { BaseId, AppId }, lines, error), qPrintable(error));
    QVERIFY(writeTestFile(root() + QStringLiteral("/deep/user-notes.txt"), "mine"));

    QVERIFY2(
        applyAndCollect(catalog, repositoryDirectory(), planFor(catalog, root(), { AppId }), lines, error),
        qPrintable(error));
    // Only App stays selected, but it depends on Base, so nothing is removed at all.
    QVERIFY(QFileInfo::exists(root() + QLatin1Char('/') + only));

    QJsonObject independentApp = appEntry();
    independentApp.remove(QStringLiteral("dependencies"));
    TestRepository second(m_dir->filePath(QStringLiteral("second")));
    QVERIFY(second.addArchivePackage(
        packageEntry(BaseId, QStringLiteral("Base"), 1, only, { only }), { { only, "x" } }));
    QVERIFY(second.addArchivePackage(independentApp, appFiles()));
    PackageCatalog secondCatalog;
    QVERIFY2(loadAndApply(second, secondCatalog, { AppId }, lines, error), qPrintable(error));
    QCOMPARE(lines, QStringList { QStringLiteral("Removing Base [iv1]...") });
    QVERIFY(!QFileInfo::exists(root() + QStringLiteral("/deep/a")));
    QVERIFY2(QFileInfo::exists(root() + QStringLiteral("/deep/user-notes.txt")),
        "pruning stops at a non-empty directory");
    QVERIFY(QFileInfo(root()).isDir());
}

void TestApplyTransaction::removeEverythingClearsManifestsAndVariable()
{
    EnvironmentSandbox sandbox(false);
    TestRepository repository(repositoryDirectory());
    QVERIFY(repository.addArchivePackage(baseEntry(), baseFiles()));
    QVERIFY(repository.addDirectoryPackage(appEntry(), appFiles()));
    PackageCatalog catalog;
    QStringList lines;
    QString error;
    QVERIFY2(loadAndApply(repository, catalog, { AppId }, lines, error), qPrintable(error));
    QVERIFY(QFileInfo::exists(sandbox.variableFile()));

    QVERIFY2(applyAndCollect(catalog, repositoryDirectory(), planFor(catalog, root(), {}), lines, error),
        qPrintable(error));
    QVERIFY(!QFileInfo::exists(root() + QLatin1Char('/') + StateFileRelativePath));
    QVERIFY(!QFileInfo::exists(root() + QLatin1Char('/') + InstalledPackagesFileRelativePath));
    QVERIFY(QFileInfo(root() + QLatin1Char('/') + ManifestDirectoryPath).isDir());
    QVERIFY(!QFileInfo::exists(root() + QStringLiteral("/base")));
    QVERIFY(!QFileInfo::exists(root() + QStringLiteral("/app")));
    QVERIFY2(
        !QFileInfo::exists(sandbox.variableFile()), "VEXA_ROOT is withdrawn when the root holds nothing");
    const InstalledState state = inspectRoot(catalog, root());
    QVERIFY(!state.hasInstalledContent);
    QVERIFY(!state.needsRepair);
}

void TestApplyTransaction::repairOnlyPlan()
{
    EnvironmentSandbox sandbox(false);
    TestRepository repository(repositoryDirectory());
    QVERIFY(repository.addArchivePackage(baseEntry(), baseFiles()));
    PackageCatalog catalog;
    QStringList lines;
    QString error;
    QVERIFY2(loadAndApply(repository, catalog, { BaseId }, lines, error), qPrintable(error));

    QVERIFY(QFile::remove(root() + QLatin1Char('/') + InstalledPackagesFileRelativePath));
    QVERIFY(QFile::remove(sandbox.variableFile()));
    const InstalledState broken = inspectRoot(catalog, root());
    QVERIFY(broken.needsRepair);
    const ChangePlan plan = computePlan(catalog, broken, initialSelection(catalog, broken));
    QVERIFY(plan.toInstall.isEmpty() && plan.toRemove.isEmpty() && plan.repairManifests);

    QVERIFY2(applyAndCollect(catalog, repositoryDirectory(), plan, lines, error), qPrintable(error));
    QVERIFY(lines.isEmpty());
    QVERIFY(!inspectRoot(catalog, root()).needsRepair);
    QCOMPARE(readTestFile(sandbox.variableFile()), QStringLiteral("VEXA_ROOT=%1\n").arg(root()).toUtf8());
}

void TestApplyTransaction::failedManifestRemovalIsReported()
{
    SmallFileSystem disk(64 * 1024);
    if (!disk.isMounted())
        QSKIP("Mounting a small tmpfs needs root (or CAP_SYS_ADMIN)");
    EnvironmentSandbox sandbox;
    // Manifests whose packages are gone: the plan only has them deleted, and here that cannot be done.
    // Only the manifest directory is read-only: a root that cannot be written at all is refused before
    // the apply starts.
    const QString diskRoot = disk.path() + QStringLiteral("/root");
    const QString manifests = QFileInfo(resolveRootPath(diskRoot, StateFileRelativePath)).path();
    QVERIFY(writeTestFile(diskRoot + QLatin1Char('/') + StateFileRelativePath, "{}"));
    QCOMPARE(
        QProcess::execute(QStringLiteral("mount"), { QStringLiteral("--bind"), manifests, manifests }), 0);
    QCOMPARE(QProcess::execute(QStringLiteral("mount"),
                 { QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), manifests }),
        0);
    PackageCatalog catalog;
    TestRepository repository(repositoryDirectory());
    repository.addPlainPackage(baseEntry());
    QVERIFY(repository.load(catalog));
    const ChangePlan plan = computePlan(catalog, inspectRoot(catalog, diskRoot), {});
    QVERIFY(plan.repairManifests);
    QString error;
    QVERIFY(!applyPlan(catalog, repositoryDirectory(), diskRoot, plan, error));
    QCOMPARE(error, QStringLiteral("Failed to remove file %1/%2").arg(diskRoot, StateFileRelativePath));
}

void TestApplyTransaction::unknownIdsAreSkipped()
{
    EnvironmentSandbox sandbox;
    TestRepository repository(repositoryDirectory());
    QVERIFY(repository.addArchivePackage(baseEntry(), baseFiles()));
    PackageCatalog catalog;
    QVERIFY(repository.load(catalog));
    ChangePlan plan = planFor(catalog, root(), { BaseId, QStringLiteral("com.test.unknown") });
    plan.removeOrder.append(QStringLiteral("com.test.gone"));
    plan.upgradeOrder.append(QStringLiteral("com.test.gone"));
    QStringList lines;
    QString error;
    QVERIFY2(applyAndCollect(catalog, repositoryDirectory(), plan, lines, error), qPrintable(error));
    QCOMPARE(lines, QStringList { QStringLiteral("Installing Base [iv1]...") });
}

void TestApplyTransaction::packageProblemsStopTheApply_data()
{
    QTest::addColumn<QJsonObject>("entry");
    // Packed into an archive when given; otherwise the entry is used as written.
    QTest::addColumn<FileMap>("archiveFiles");
    // %1 stands for the install root, %2 for the repository directory.
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("expectedLines");
    // Where the test directory holds a link to the directory outside ("root/lib"), if anywhere.
    QTest::addColumn<QString>("linkAt");

    const auto baseWith = [](const QString &key, const QJsonValue &value) {
        QJsonObject entry = baseEntry();
        entry.insert(key, value);
        return entry;
    };
    const QStringList installingBase { QStringLiteral("Installing Base [iv1]...") };

    QTest::newRow("no payload at all")
        << baseEntry() << FileMap()
        << QStringLiteral("Package Base [iv1] does not provide an installable payload.") << installingBase
        << QString();
    QTest::newRow("missing payload directory")
        << baseWith(QStringLiteral("payload_source_dir"), QStringLiteral("payloads/missing")) << FileMap()
        << QStringLiteral("Payload source directory not found for Base [iv1]: %2/payloads/missing")
        << installingBase << QString();
    QTest::newRow("support marker older than the catalog")
        << supportEntry(4) << supportFiles(3)
        << QStringLiteral(
               "Verification failed after applying Vexa CMake Support [iv4]. The support version marker "
               "still reports iv3, expected iv4.")
        << QStringList { QStringLiteral("Installing Vexa CMake Support [iv4]...") } << QString();

    // Unsafe paths are refused before anything starts.
    QTest::newRow("owned path climbing out")
        << baseWith(QStringLiteral("owned_paths"), QJsonArray { QStringLiteral("../outside") }) << FileMap()
        << QStringLiteral("Refusing unsafe owned path \"../outside\" of Base [iv1]: it lies outside the "
                          "install root %1.")
        << QStringList() << QString();
    QTest::newRow("owned path naming the root")
        << baseWith(QStringLiteral("owned_paths"), QJsonArray { QStringLiteral(".") }) << FileMap()
        << QStringLiteral(
               "Refusing unsafe owned path \".\" of Base [iv1]: it names the install root %1 itself.")
        << QStringList() << QString();
    QTest::newRow("install_subdir climbing out")
        << baseWith(QStringLiteral("install_subdir"), QStringLiteral("../elsewhere")) << FileMap()
        << QStringLiteral("Refusing unsafe install_subdir \"../elsewhere\" of Base [iv1]: it lies outside "
                          "the install root %1.")
        << QStringList() << QString();
    QTest::newRow("marker climbing out")
        << baseWith(QStringLiteral("marker_relative_path"), QStringLiteral("../outside/sentinel.txt"))
        << FileMap()
        << QStringLiteral("Refusing unsafe marker_relative_path \"../outside/sentinel.txt\" of Base [iv1]: "
                          "it lies outside the install root %1.")
        << QStringList() << QString();
    QTest::newRow("payload directory climbing out")
        << baseWith(QStringLiteral("payload_source_dir"), QStringLiteral("../outside")) << FileMap()
        << QStringLiteral("Refusing unsafe payload_source_dir \"../outside\" of Base [iv1]: it lies outside "
                          "the repository directory %2.")
        << QStringList() << QString();
    QTest::newRow("payload directory naming the repository")
        << baseWith(QStringLiteral("payload_source_dir"), QStringLiteral(".")) << FileMap()
        << QStringLiteral("Refusing unsafe payload_source_dir \".\" of Base [iv1]: it names the repository "
                          "directory %2 itself.")
        << QStringList() << QString();
    QTest::newRow("payload directory through a link out")
        << baseWith(QStringLiteral("payload_source_dir"), QStringLiteral("payloads/linked")) << FileMap()
        << QStringLiteral("Refusing unsafe payload_source_dir \"payloads/linked\" of Base [iv1]: it leads "
                          "through a link out of the repository directory %2.")
        << QStringList() << QStringLiteral("repository/payloads/linked");

    // Archive entries are judged whole before the first one is written (their table is the extraction's).
    QTest::newRow("archive entry naming the root itself")
        << baseEntry()
        << FileMap { { QStringLiteral("base/base.txt"), "base" }, { QStringLiteral("."), "x" } }
        << QStringLiteral(
               "Refusing unsafe archive entry \".\" of %2/packages/com.test.base.zip: it names the "
               "destination %1 itself.")
        << installingBase << QString();
}

void TestApplyTransaction::packageProblemsStopTheApply()
{
    QFETCH(QJsonObject, entry);
    QFETCH(FileMap, archiveFiles);
    QFETCH(QString, expected);
    QFETCH(QStringList, expectedLines);
    QFETCH(QString, linkAt);
    EnvironmentSandbox sandbox;
    TestRepository repository(repositoryDirectory());
    if (archiveFiles.isEmpty())
        repository.addPlainPackage(entry);
    else
        QVERIFY(repository.addArchivePackage(entry, archiveFiles));
    QVERIFY(QDir().mkpath(repositoryDirectory()));
    // The root already holds another package and the user's own files.
    QVERIFY(writeTestFile(root() + QStringLiteral("/qt6/lib/Qt6Core.dll"), "another package"));
    QVERIFY(writeTestFile(root() + QStringLiteral("/notes/mine.txt"), "the user's"));
    if (!linkAt.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(m_dir->filePath(linkAt)).absolutePath()));
        QVERIFY(QFile::link(outside(), m_dir->filePath(linkAt)));
    }
    const auto rootBefore = treeSnapshot(root());
    const auto outsideBefore = treeSnapshot(outside());

    PackageCatalog catalog;
    QStringList lines;
    QString error;
    const bool applied = loadAndApply(
        repository, catalog, { entry.value(QStringLiteral("package_id")).toString() }, lines, error);
    QCOMPARE(treeSnapshot(outside()), outsideBefore);
    const auto rootAfter = treeSnapshot(root());
    for (auto it = rootBefore.cbegin(); it != rootBefore.cend(); ++it)
        QCOMPARE(rootAfter.value(it.key()), it.value());
    QVERIFY(!applied);
    QCOMPARE(error,
        QString(expected)
            .replace(QStringLiteral("%1"), root())
            .replace(QStringLiteral("%2"), repositoryDirectory()));
    QCOMPARE(lines, expectedLines);
}

void TestApplyTransaction::verificationMessages_data()
{
    QTest::addColumn<QJsonObject>("entry");
    QTest::addColumn<FileMap>("files");
    QTest::addColumn<bool>("expectInstalled");
    QTest::addColumn<QString>("expected");

    const FileMap nothing;
    QTest::newRow("installed as expected") << baseEntry() << baseFiles() << true << QString();
    QTest::newRow("removed as expected") << baseEntry() << nothing << false << QString();
    QTest::newRow("marker missing")
        << baseEntry() << nothing << true
        << QStringLiteral(
               "Verification failed after applying Base [iv1]. Required files are missing: base/base.txt");
    QTest::newRow("marker survived removal")
        << baseEntry() << baseFiles() << false
        << QStringLiteral(
               "Verification failed after removing Base [iv1]. Package markers still exist: base/base.txt");
    QTest::newRow("no required files at all")
        << packageEntry(BaseId, QStringLiteral("Base"), 1, QString(), {}) << nothing << true
        << QStringLiteral(
               "Verification failed after applying Base [iv1]. Required files are missing: <none>");

    FileMap partialSupport = supportFiles(2);
    partialSupport.remove(QStringLiteral("cmake/toolchains/vexa-msvc2019-x64.cmake"));
    const QString supportList
        = QStringLiteral("cmake/toolchains/vexa.cmake, cmake/toolchains/vexa-msvc2019-x64.cmake, "
                         "cmake/toolchains/vexa-msvc2022-x64.cmake, "
                         "support/vexa-support-package.version");
    QTest::newRow("support file missing lists every required file")
        << supportEntry(2) << partialSupport << true
        << QStringLiteral(
               "Verification failed after applying Vexa CMake Support [iv2]. Required files are missing: %1")
               .arg(supportList);
    QTest::newRow("support marker older")
        << supportEntry(4) << supportFiles(3) << true
        << QStringLiteral(
               "Verification failed after applying Vexa CMake Support [iv4]. The support version marker "
               "still reports iv3, expected iv4.");
    QTest::newRow("support marker unreadable counts as missing files")
        << supportEntry(4) <<
        [] {
            FileMap f = supportFiles(4);
            f.insert(QStringLiteral("support/vexa-support-package.version"), "four");
            return f;
        }()
        << true
        << QStringLiteral(
               "Verification failed after applying Vexa CMake Support [iv4]. Required files are missing: %1")
               .arg(supportList);
}

void TestApplyTransaction::verificationMessages()
{
    QFETCH(QJsonObject, entry);
    QFETCH(FileMap, files);
    QFETCH(bool, expectInstalled);
    QFETCH(QString, expected);

    QVERIFY(QDir().mkpath(root()));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY(writeTestFile(root() + QLatin1Char('/') + it.key(), it.value()));
    TestRepository repository(repositoryDirectory());
    repository.addPlainPackage(entry);
    PackageCatalog catalog;
    QVERIFY(repository.load(catalog));

    QString error;
    QCOMPARE(
        verifyPackageState(root(), catalog.packages().first(), expectInstalled, error), expected.isEmpty());
    QCOMPARE(error, expected);
}

void TestApplyTransaction::maliciousRecordedOwnedPaths_data()
{
    QTest::addColumn<QString>("ownedPath");
    QTest::addColumn<QString>("reason");
    const QString outsideReason = QStringLiteral("it lies outside the install root %1");
    const QString rootReason = QStringLiteral("it names the install root %1 itself");
    // A blank entry is dropped when state.json is read, so it never reaches the removal at all.
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("dot") << QStringLiteral(".") << rootReason;
    QTest::newRow("climbs back to the root") << QStringLiteral("base/..") << rootReason;
    QTest::newRow("sibling directory") << QStringLiteral("../outside") << outsideReason;
    QTest::newRow("climbs out from inside")
        << QStringLiteral("base/../../outside/sentinel.txt") << outsideReason;
    QTest::newRow("absolute") << QStringLiteral("%OUTSIDE%") << outsideReason;
}

void TestApplyTransaction::maliciousRecordedOwnedPaths()
{
    QFETCH(QString, ownedPath);
    QFETCH(QString, reason);
    ownedPath.replace(QStringLiteral("%OUTSIDE%"), outside());
    EnvironmentSandbox sandbox;
    TestRepository repository(repositoryDirectory());
    QVERIFY(repository.addArchivePackage(baseEntry(), baseFiles()));
    PackageCatalog catalog;
    QStringList lines;
    QString error;
    QVERIFY2(loadAndApply(repository, catalog, { BaseId }, lines, error), qPrintable(error));

    // Someone edits state.json so that removing Base would delete the root or something outside it.
    const QString statePath = root() + QLatin1Char('/') + StateFileRelativePath;
    QJsonObject state = QJsonDocument::fromJson(readTestFile(statePath)).object();
    QJsonArray packages = state.value(QStringLiteral("packages")).toArray();
    QJsonObject record = packages.at(0).toObject();
    record.insert(QStringLiteral("owned_paths"), QJsonArray { QStringLiteral("base"), ownedPath });
    packages.replace(0, record);
    state.insert(QStringLiteral("packages"), packages);
    QVERIFY(writeTestFile(statePath, QJsonDocument(state).toJson()));
    QVERIFY(writeTestFile(root() + QStringLiteral("/user-file.txt"), "mine"));

    const ChangePlan plan = planFor(catalog, root(), {});
    QCOMPARE(plan.removeOrder, QStringList { BaseId });
    if (reason.isEmpty()) {
        QVERIFY2(applyAndCollect(catalog, repositoryDirectory(), plan, lines, error), qPrintable(error));
        QVERIFY(!QFileInfo::exists(root() + QStringLiteral("/base")));
    } else {
        QVERIFY(!applyAndCollect(catalog, repositoryDirectory(), plan, lines, error));
        QCOMPARE(error,
            QStringLiteral("Refusing unsafe owned path \"%1\" of Base [iv1]: %2.")
                .arg(ownedPath, reason.contains(QLatin1String("%1")) ? reason.arg(root()) : reason));
        QVERIFY2(lines.isEmpty(), "nothing is started when a path is refused");
        QVERIFY(QFileInfo::exists(root() + QStringLiteral("/base/base.txt")));
    }
    QVERIFY(QFileInfo::exists(root() + QStringLiteral("/user-file.txt")));
    QCOMPARE(readTestFile(outside() + QStringLiteral("/sentinel.txt")), QByteArray("keep me"));
}

QTEST_GUILESS_MAIN(TestApplyTransaction)
#include "tst_applytransaction.moc"
