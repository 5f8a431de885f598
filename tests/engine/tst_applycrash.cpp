#include "applytestsupport.h"
#include "engine/applytransaction.h"
#include "engine/changeplan.h"
#include "engine/manifestfiles.h"
#include "engine/packagesinprogress.h"
#include "engine/rootinspection.h"
#include "engine/rootpaths.h"
#include "support/smallfilesystem.h"
#include "support/testfiles.h"
#include "support/testhttpserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace vexa;

// A process killed at any point of an apply, or a disk that fills at any point, must leave a root
// whose inspection never calls a package with incomplete files current (or installed without being
// stale), and whose next apply completes it. Nothing outside the root may change on the way.
namespace {

const QString AlphaId = QStringLiteral("com.test.alpha");
const QString GammaId = QStringLiteral("com.test.gamma"); // lives inside Alpha's directory
const QString BetaId = QStringLiteral("com.test.beta"); // a payload directory

using Payloads = QMap<QString, FileMap>;

// The marker ("_marker") sorts first, so archives list it first: written in archive order it would
// exist long before the rest of its package.
FileMap payloadFiles(const QString &directory, int count, qsizetype size, int version)
{
    FileMap files { { directory + QStringLiteral("/_marker"), "version " + QByteArray::number(version) } };
    for (int i = 0; i < count; ++i) {
        files.insert(QStringLiteral("%1/file-%2").arg(directory).arg(i, 3, 10, QLatin1Char('0')),
            seededRandomBytes(size, quint32(version * 1000 + i)));
    }
    return files;
}

// Alpha (an archive at `alphaVersion`, with `alphaKeys` added to its entry), Gamma (an archive inside
// Alpha's directory) and Beta (a payload directory); the catalog goes to catalog.json as well.
bool buildRepository(const QString &directory, int alphaVersion, int fileCount, qsizetype fileSize,
    const QJsonObject &alphaKeys, Payloads &payloads, PackageCatalog &catalog)
{
    payloads = { { AlphaId, payloadFiles(QStringLiteral("alpha"), fileCount, fileSize, alphaVersion) },
        { GammaId, payloadFiles(QStringLiteral("alpha/gamma"), fileCount / 2, fileSize, 1) },
        { BetaId, payloadFiles(QStringLiteral("beta"), fileCount / 2, fileSize, 1) } };
    QJsonObject alpha = packageEntry(AlphaId, QStringLiteral("Alpha"), alphaVersion,
        QStringLiteral("alpha/_marker"), { QStringLiteral("alpha") });
    for (auto it = alphaKeys.begin(); it != alphaKeys.end(); ++it)
        alpha.insert(it.key(), it.value());
    TestRepository repository(directory);
    return repository.addArchivePackage(alpha, payloads.value(AlphaId))
        && repository.addArchivePackage(
            packageEntry(GammaId, QStringLiteral("Gamma"), 1, QStringLiteral("alpha/gamma/_marker"),
                { QStringLiteral("alpha/gamma") }, { AlphaId }),
            payloads.value(GammaId))
        && repository.addDirectoryPackage(packageEntry(BetaId, QStringLiteral("Beta"), 1,
                                              QStringLiteral("beta/_marker"), { QStringLiteral("beta") }),
            payloads.value(BetaId))
        && writeTestFile(directory + QStringLiteral("/catalog.json"), repository.catalogDocument())
        && repository.load(catalog);
}

bool loadWithoutSizes(const QString &catalogPath, PackageCatalog &catalog)
{
    QJsonObject document = QJsonDocument::fromJson(readTestFile(catalogPath)).object();
    QJsonArray packages = document.value(QStringLiteral("packages")).toArray();
    for (QJsonValueRef package : packages) {
        QJsonObject entry = package.toObject();
        entry.remove(QStringLiteral("size_bytes"));
        package = entry;
    }
    document.insert(QStringLiteral("packages"), packages);
    QString error;
    return loadFromJson(QJsonDocument(document).toJson(), catalog, error);
}

bool complete(const QString &root, const FileMap &files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (readTestFile(root + QLatin1Char('/') + it.key()) != it.value())
            return false;
    }
    return true;
}

// What is wrong with the root's inspection, or nothing: a package whose files are not all there as
// the catalog has them is never current, and if it is installed at all it is stale.
QString incompleteLooksInstalled(const PackageCatalog &catalog, const QString &root, const Payloads &payloads)
{
    const InstalledState state = inspectRoot(catalog, root);
    for (auto it = payloads.cbegin(); it != payloads.cend(); ++it) {
        if (!complete(root, it.value())
            && (state.current.contains(it.key()) || (state.installed - state.stale).contains(it.key())))
            return it.key() + QStringLiteral(" is incomplete but reads as installed");
    }
    return QString();
}

// What is wrong with a root that should hold exactly `selection`, complete and current, or nothing.
QString notCurrent(const PackageCatalog &catalog, const QString &root, const Payloads &payloads,
    const QSet<QString> &selection)
{
    const InstalledState state = inspectRoot(catalog, root);
    if (state.current != selection || state.installed != selection || state.needsRepair
        || QFileInfo::exists(resolveRootPath(root, PackagesInProgressRelativePath)))
        return QStringLiteral("inspection does not read the selection as current");
    for (auto it = payloads.cbegin(); it != payloads.cend(); ++it) {
        if (selection.contains(it.key()) ? !complete(root, it.value())
                                         : QFileInfo::exists(root + QLatin1Char('/') + it.value().firstKey()))
            return it.key() + QStringLiteral(" is not as selected");
    }
    return QString();
}

// Runs a real apply of `selection` in a child process, killed with SIGKILL as soon as `killNow`
// says so. The exit code, or -1 when it was killed.
int runApplyChild(const QString &repository, const QString &root, const QStringList &selection,
    const std::function<bool(qint64 elapsedMs)> &killNow = {},
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(VEXA_APPLY_CHILD),
        { repository + QStringLiteral("/catalog.json"), repository, root, selection.join(QLatin1Char(',')) });
    QElapsedTimer timer;
    timer.start();
    while (child.state() != QProcess::NotRunning && !child.waitForFinished(1)) {
        if ((killNow && killNow(timer.elapsed())) || timer.elapsed() > 120000) {
            child.kill();
            child.waitForFinished();
            return -1;
        }
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

} // namespace

class tst_ApplyCrash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void killedApply_data();
    void killedApply();
    void packageLeavesTheRecordOnceOnDisk();
    void fullDisk();

private:
    QString repository(int alphaVersion) const
    {
        return m_repositories.filePath(QStringLiteral("repository-v%1").arg(alphaVersion));
    }

    QTemporaryDir m_repositories;
    QMap<int, Payloads> m_payloads; // by Alpha's version
    QMap<int, PackageCatalog> m_catalogs;
};

void tst_ApplyCrash::initTestCase()
{
    for (const int version : { 1, 2 }) {
        QVERIFY(buildRepository(
            repository(version), version, 80, 8 * 1024, {}, m_payloads[version], m_catalogs[version]));
    }
}

void tst_ApplyCrash::killedApply_data()
{
    QTest::addColumn<QStringList>("installedFirst");
    QTest::addColumn<int>("alphaVersion");
    QTest::addColumn<QStringList>("selection");
    // The kill comes when this file below the root holds its new content, or is gone when `written`
    // is false; without a file, at `part` hundredths of an unkilled run's duration.
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<bool>("written");
    QTest::addColumn<int>("part");

    const QStringList all { AlphaId, GammaId, BetaId };
    QTest::newRow("fresh install, while Alpha is extracted")
        << QStringList() << 1 << all << QStringLiteral("alpha/file-020") << true << 0;
    QTest::newRow("fresh install, while Beta is copied")
        << QStringList() << 1 << all << QStringLiteral("beta/file-020") << true << 0;
    QTest::newRow("removal, while Beta is deleted")
        << QStringList { AlphaId, BetaId } << 1 << QStringList { AlphaId } << QStringLiteral("beta/file-020")
        << false << 0;
    // Spread over an apply that removes one package, upgrades another and puts back the one inside it.
    // VEXA_KILL_ROUNDS asks for more of them.
    const int rounds = qMax(6, qEnvironmentVariableIntValue("VEXA_KILL_ROUNDS"));
    for (int round = 0; round < rounds; ++round) {
        QTest::addRow("removal and upgrade, killed at %d%%", round * 100 / rounds)
            << all << 2 << QStringList { AlphaId, GammaId } << QString() << false << round * 100 / rounds;
    }
}

void tst_ApplyCrash::killedApply()
{
    QFETCH(QStringList, installedFirst);
    QFETCH(int, alphaVersion);
    QFETCH(QStringList, selection);
    QFETCH(QString, trigger);
    QFETCH(bool, written);
    QFETCH(int, part);
    QTemporaryDir work;
    const QString canary = work.filePath(QStringLiteral("canary"));
    QVERIFY(writeTestFile(canary + QStringLiteral("/canary.txt"), "outside the root"));
    const auto canaryBefore = treeSnapshot(canary);
    const auto prepareRoot = [&](const QString &root) {
        return writeTestFile(root + QStringLiteral("/notes/mine.txt"), "the user's")
            && (installedFirst.isEmpty() || runApplyChild(repository(1), root, installedFirst) == 0);
    };
    const QString root = work.filePath(QStringLiteral("root"));
    QVERIFY(prepareRoot(root));

    std::function<bool(qint64)> killNow;
    if (!trigger.isEmpty()) {
        const QString path = root + QLatin1Char('/') + trigger;
        const QString owner = trigger.startsWith(QLatin1String("beta/")) ? BetaId : AlphaId;
        const QByteArray content = m_payloads[alphaVersion][owner].value(trigger);
        killNow = [=](qint64) { return written ? readTestFile(path) == content : !QFileInfo::exists(path); };
    } else {
        // The same apply unkilled, on a root of its own, gives the time to spread the kills over.
        const QString measured = work.filePath(QStringLiteral("measured"));
        QVERIFY(prepareRoot(measured));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(runApplyChild(repository(alphaVersion), measured, selection), 0);
        const qint64 killAt = timer.elapsed() * part / 100;
        killNow = [killAt](qint64 elapsed) { return elapsed >= killAt; };
    }
    QVERIFY(runApplyChild(repository(alphaVersion), root, selection, killNow) <= 0);

    const QString wrong = incompleteLooksInstalled(m_catalogs[alphaVersion], root, m_payloads[alphaVersion]);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(runApplyChild(repository(alphaVersion), root, selection), 0);
    const QString notDone = notCurrent(m_catalogs[alphaVersion], root, m_payloads[alphaVersion],
        QSet<QString>(selection.cbegin(), selection.cend()));
    QVERIFY2(notDone.isEmpty(), qPrintable(notDone));
    QCOMPARE(readTestFile(root + QStringLiteral("/notes/mine.txt")), QByteArray("the user's"));
    QCOMPARE(treeSnapshot(canary), canaryBefore);
}

// A package's files are on disk before the record stops naming it: otherwise a power cut could leave
// zero-length files that nothing marks as unfinished. The file system shim logs the calls in order.
void tst_ApplyCrash::packageLeavesTheRecordOnceOnDisk()
{
#ifndef VEXA_FILESYSTEM_SHIM
    QSKIP("Logging file system calls needs LD_PRELOAD (Linux)");
#else
    QTemporaryDir work;
    const QString root = work.filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));
    const QString log = work.filePath(QStringLiteral("calls.log"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(VEXA_FILESYSTEM_SHIM));
    environment.insert(QStringLiteral("VEXA_TEST_FS_LOG"), log);
    QCOMPARE(runApplyChild(repository(1), root, { AlphaId, GammaId, BetaId }, {}, environment), 0);

    // Each write of the record after the first drops the package installed before it. A new file is
    // linked into place, one that exists renamed over.
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    const QRegularExpression recordWritten(QStringLiteral("^(rename .+|link .+|unlink) %1$")
                                               .arg(QRegularExpression::escape(canonicalRoot
                                                   + QLatin1Char('/') + PackagesInProgressRelativePath)));
    const QStringList calls = QString::fromLocal8Bit(readTestFile(log)).split(QLatin1Char('\n'));
    int writes = 0;
    bool syncedSinceLastWrite = false;
    for (const QString &call : calls) {
        if (call == QStringLiteral("syncfs ") + canonicalRoot) {
            syncedSinceLastWrite = true;
        } else if (recordWritten.match(call).hasMatch()) {
            QVERIFY2(writes == 0 || syncedSinceLastWrite, qPrintable(calls.join(QLatin1Char('\n'))));
            ++writes;
            syncedSinceLastWrite = false;
        }
    }
    // One record per package, and its removal at the end.
    QCOMPARE(writes, 4);
#endif
}

// A small tmpfs holds the root, the archive cache and the environment file. For every amount of free
// space from nothing up to enough, the apply either succeeds or fails with the message of the write
// that did not fit, never leaves a short manifest, and an apply with space again completes the root.
void tst_ApplyCrash::fullDisk()
{
    SmallFileSystem disk(1024 * 1024);
    if (!disk.isMounted())
        QSKIP("Mounting a small tmpfs needs root (or CAP_SYS_ADMIN); the full-disk sweep runs where it can");
    const QString fs = disk.path();
    QTemporaryDir work;
    const QString served = work.filePath(QStringLiteral("repository"));
    TestHttpServer server(served);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    Payloads payloads;
    PackageCatalog catalog;
    // Alpha is downloaded into the cache on the tmpfs. Its long product name makes both manifests span
    // several pages, so that writing them needs more room than the files they replace give back.
    QVERIFY(buildRepository(served, 1, 6, 4096,
        { { QStringLiteral("payload_url"),
              QString(server.baseUrl() + QStringLiteral("/packages/com.test.alpha.zip")) },
            { QStringLiteral("product"), QString(9000, QLatin1Char('A')) } },
        payloads, catalog));
    // Without sizes in the catalog the checks before the apply, which would refuse most of these amounts
    // up front, let every one through: the sweep is about the writes themselves.
    QVERIFY(loadWithoutSizes(served + QStringLiteral("/catalog.json"), catalog));

    const ScopedEnvironmentVariable tmp("TMPDIR", QFile::encodeName(fs + QStringLiteral("/tmp")));
    const ScopedEnvironmentVariable config(
        "XDG_CONFIG_HOME", QFile::encodeName(fs + QStringLiteral("/config")));
    const ScopedEnvironmentVariable cache("XDG_CACHE_HOME", QFile::encodeName(fs + QStringLiteral("/cache")));
    const ScopedEnvironmentVariable skip("VEXA_SKIP_ENV_UPDATE", std::nullopt);

    const QString root = fs + QStringLiteral("/root");
    const QString environmentFile = fs + QStringLiteral("/config/environment.d/60-vexa-root.conf");
    const QSet<QString> everything { AlphaId, GammaId, BetaId };
    QString error;
    const auto apply = [&](const QSet<QString> &selection) {
        error.clear();
        return applyPlan(
            catalog, served, root, computePlan(catalog, inspectRoot(catalog, root), selection), error);
    };
    const QStringList outOfSpace { QStringLiteral("Failed to write the downloaded archive for Alpha [iv1]."),
        QStringLiteral("Failed to write complete extracted file "),
        QStringLiteral("Failed to write the apply progress record at "),
        QStringLiteral("Failed to commit state file at "),
        QStringLiteral("Failed to commit manifest file at ") };
    QSet<QString> causesMet;

    for (qint64 free = 0;; free += 4096) {
        for (const QString &entry :
            QDir(fs).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            QVERIFY(QDir(fs + QLatin1Char('/') + entry).removeRecursively());
        QVERIFY(QDir().mkpath(fs + QStringLiteral("/tmp")));
        // Beta is installed and published while there is room.
        QVERIFY2(apply({ BetaId }), qPrintable(error));
        const QByteArray stateBefore = readTestFile(resolveRootPath(root, StateFileRelativePath));
        const QByteArray environmentBefore = readTestFile(environmentFile);
        QVERIFY(disk.fillLeaving(free));

        const bool ok = apply(everything);
        const auto cause = std::find_if(outOfSpace.cbegin(), outOfSpace.cend(),
            [&](const QString &prefix) { return error.startsWith(prefix); });
        QVERIFY2(ok || cause != outOfSpace.cend(),
            qPrintable(QStringLiteral("%1 bytes free: %2").arg(free).arg(error)));
        if (!ok)
            causesMet.insert(*cause);
        // Each file is whole: the one from before, or the new one.
        const QByteArray state = readTestFile(resolveRootPath(root, StateFileRelativePath));
        QVERIFY2(state == stateBefore
                || QJsonDocument::fromJson(state).object().contains(QStringLiteral("packages")),
            qPrintable(error));
        QCOMPARE(readTestFile(environmentFile), environmentBefore);
        const QString wrong = incompleteLooksInstalled(catalog, root, payloads);
        QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("%1 (%2)").arg(wrong, error)));

        QVERIFY(disk.removeFiller());
        QVERIFY2(apply(everything), qPrintable(error));
        const QString notDone = notCurrent(catalog, root, payloads, everything);
        QVERIFY2(notDone.isEmpty(), qPrintable(notDone));
        if (ok)
            break;
    }
    // The sweep met every write of the apply, and each full disk was reported as what it was.
    QCOMPARE(causesMet.size(), outOfSpace.size());
}

QTEST_GUILESS_MAIN(tst_ApplyCrash)
#include "tst_applycrash.moc"
