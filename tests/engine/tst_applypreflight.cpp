#include "applytestsupport.h"
#include "engine/applypreflight.h"
#include "engine/applytransaction.h"
#include "engine/archivecache.h"
#include "engine/changeplan.h"
#include "engine/rootinspection.h"
#include "support/smallfilesystem.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

namespace {

constexpr qint64 MiB = 1024 * 1024;
const QString Digest = QStringLiteral("ab").repeated(32);

// A catalog entry whose archive has the given size, downloaded (from payload_url) when `url` is set.
QJsonObject archiveEntry(const QString &id, qint64 size, const QString &url = {}, const QString &sha256 = {})
{
    QJsonObject entry = packageEntry(id, id, 1, id + QStringLiteral("/marker.txt"), { id });
    entry.insert(QStringLiteral("payload_archive"), QString(id + QStringLiteral(".zip")));
    entry.insert(QStringLiteral("size_bytes"), size);
    if (!url.isEmpty())
        entry.insert(QStringLiteral("payload_url"), url);
    if (!sha256.isEmpty())
        entry.insert(QStringLiteral("sha256"), sha256);
    return entry;
}

bool loadCatalog(const QList<QJsonObject> &entries, PackageCatalog &catalog)
{
    TestRepository repository(QStringLiteral("/repository"));
    for (const QJsonObject &entry : entries)
        repository.addPlainPackage(entry);
    return repository.load(catalog);
}

ChangePlan installPlan(const QStringList &ids)
{
    ChangePlan plan;
    plan.installOrder = ids;
    plan.target = QSet<QString>(ids.cbegin(), ids.cend());
    plan.toInstall = plan.target;
    return plan;
}

QStringList entriesOf(const QString &directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

class TestApplyPreflight : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusals_data();
    void refusals();
    void planLargerThanASmallFileSystem();
    void readOnlyRoot();
};

void TestApplyPreflight::refusals_data()
{
    // Free bytes of the root's, the cache's and the download folder's file systems (-1: not known);
    // "same" puts the cache on the root's.
    QTest::addColumn<qint64>("rootFree");
    QTest::addColumn<qint64>("cacheFree");
    QTest::addColumn<bool>("same");
    // "cached": the remote archive lies whole in the cache; "below file": the root would be created
    // below a file; "no digest": the remote archive has none.
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("pathLimit");
    // The message, with "<root>" for the root's path; empty for no refusal.
    QTest::addColumn<QString>("message");

    // The plan installs a local package of 5 MiB and a downloaded one of 2 MiB.
    QTest::newRow("room everywhere") << 7 * MiB << 2 * MiB << false << QString() << 0 << QString();
    QTest::newRow("root file system too small")
        << 6 * MiB + 512 * 1024 << 2 * MiB << false << QString() << 0
        << "Not enough free space on /fs/root: needs 7.0 MiB, 6.5 MiB free.";
    QTest::newRow("cache file system too small")
        << 7 * MiB << MiB + 512 * 1024 << false << QString() << 0
        << "Not enough free space on /fs/cache: needs 2.0 MiB, 1.5 MiB free.";
    QTest::newRow("one file system counts both")
        << 8 * MiB << 0ll << true << QString() << 0
        << "Not enough free space on /fs/root: needs 9.0 MiB, 8.0 MiB free.";
    QTest::newRow("an archive whole in the cache needs no room there")
        << 7 * MiB << 0ll << false << "cached" << 0 << QString();
    QTest::newRow("an archive without a digest needs room in the download folder")
        << 7 * MiB << 2 * MiB << false << "no digest" << 0
        << "Not enough free space on /fs/tmp: needs 2.0 MiB, 1.0 KiB free.";
    QTest::newRow("free space not known is not checked")
        << -1ll << -1ll << false << QString() << 0 << QString();
    QTest::newRow("a root below a file") << 7 * MiB << 2 * MiB << false << "below file" << 0
                                         << "The install root <root>/sub cannot be created in <root>.";
    QTest::newRow("paths within the limit") << 7 * MiB << 2 * MiB << false << QString() << 4096 << QString();
    QTest::newRow("a path longer than the limit")
        << 7 * MiB << 2 * MiB << false << QString() << -1
        << "The path <root>/local/marker.txt is %1 characters long; without long paths enabled Windows "
           "allows at most %2.";
}

void TestApplyPreflight::refusals()
{
    QFETCH(qint64, rootFree);
    QFETCH(qint64, cacheFree);
    QFETCH(bool, same);
    QFETCH(QString, setup);
    QFETCH(int, pathLimit);
    QFETCH(QString, message);

    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString cache = work.filePath(QStringLiteral("cache"));
    const QString downloads = work.filePath(QStringLiteral("tmp"));
    QString root = work.filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root) && QDir().mkpath(cache) && QDir().mkpath(downloads));

    const QString url = QStringLiteral("http://127.0.0.1:9/remote.zip");
    PackageCatalog catalog;
    QVERIFY(loadCatalog({ archiveEntry(QStringLiteral("local"), 5 * MiB),
                            archiveEntry(QStringLiteral("remote"), 2 * MiB, url,
                                setup == QLatin1String("no digest") ? QString() : Digest) },
        catalog));
    if (setup == QLatin1String("cached")) {
        QFile archive(QDir(cache).filePath(cachedArchiveName(Digest)));
        QVERIFY(archive.open(QIODevice::WriteOnly) && archive.resize(2 * MiB));
    } else if (setup == QLatin1String("below file")) {
        QVERIFY(QDir(root).removeRecursively() && writeTestFile(root, "a file"));
        message.replace(QLatin1String("<root>/sub"), root + QStringLiteral("/sub"));
        root += QStringLiteral("/sub");
    }
    const QString shownRoot
        = setup == QLatin1String("below file") ? work.filePath(QStringLiteral("root")) : root;
    if (pathLimit < 0) {
        const QString longest = root + QStringLiteral("/local/marker.txt");
        pathLimit = int(longest.size()) - 1;
        message = message.arg(longest.size()).arg(pathLimit);
    }
    message.replace(QLatin1String("<root>"), shownRoot);

    PreflightEnvironment environment;
    environment.archiveCacheDirectory = cache;
    environment.downloadDirectory = downloads;
    environment.pathLengthLimit = pathLimit;
    environment.probe = [&](const QString &path) {
        if (path.startsWith(cache) && !same)
            return FileSystemSpace { QStringLiteral("/fs/cache"), cacheFree };
        if (path.startsWith(downloads))
            return FileSystemSpace { QStringLiteral("/fs/tmp"), 1024 };
        return FileSystemSpace { QStringLiteral("/fs/root"), rootFree };
    };
    const QStringList before = entriesOf(work.path());

    QString errorText;
    const bool ok = checkApplyPreflight(catalog, QStringLiteral("/repository"), root,
        installPlan({ QStringLiteral("local"), QStringLiteral("remote") }), environment, errorText);
    QCOMPARE(errorText, message);
    QCOMPARE(ok, message.isEmpty());
    QCOMPARE(entriesOf(work.path()), before);
}

// The whole apply on a real file system that cannot hold the plan: refused with the figures, and the
// root never created.
void TestApplyPreflight::planLargerThanASmallFileSystem()
{
    const SmallFileSystem small(MiB);
    if (!small.isMounted())
        QSKIP("mounting a tmpfs needs root or CAP_SYS_ADMIN");
    const EnvironmentSandbox sandbox;
    QTemporaryDir repositoryDirectory;
    TestRepository repository(repositoryDirectory.path());
    // Random bytes do not shrink in the zip, so the archive is just over 2 MiB.
    QVERIFY(repository.addArchivePackage(packageEntry(QStringLiteral("big"), QStringLiteral("Big"), 1,
                                             QStringLiteral("big/marker.txt"), { QStringLiteral("big") }),
        { { QStringLiteral("big/marker.txt"), "big" },
            { QStringLiteral("big/data.bin"), seededRandomBytes(2 * MiB, 7) } }));
    PackageCatalog catalog;
    QVERIFY(repository.load(catalog));
    const QString root = small.path() + QStringLiteral("/root");
    const ChangePlan plan = computePlan(catalog, inspectRoot(catalog, root), { QStringLiteral("big") });

    QString errorText;
    QVERIFY(!applyPlan(catalog, repository.directory(), root, plan, errorText));
    QCOMPARE(errorText,
        QStringLiteral("Not enough free space on %1: needs 2.0 MiB, 1.0 MiB free.").arg(small.path()));
    QCOMPARE(entriesOf(small.path()), QStringList());
}

void TestApplyPreflight::readOnlyRoot()
{
    SmallFileSystem small(MiB);
    if (!small.isMounted())
        QSKIP("mounting a tmpfs needs root or CAP_SYS_ADMIN");
    const QString root = small.path() + QStringLiteral("/root");
    QVERIFY(QDir().mkpath(root) && small.remountReadOnly());

    PackageCatalog catalog;
    QVERIFY(loadCatalog({ archiveEntry(QStringLiteral("local"), 1024) }, catalog));
    QString errorText;
    QVERIFY(!checkApplyPreflight(catalog, QString(), root, installPlan({ QStringLiteral("local") }),
        systemPreflightEnvironment(), errorText));
    QCOMPARE(errorText, QStringLiteral("The install root %1 cannot be written.").arg(root));
}

QTEST_GUILESS_MAIN(TestApplyPreflight)
#include "tst_applypreflight.moc"
