#include "engine/rootremoval.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

// Deleting owned paths is the one place where a bad catalog or a hand-edited state file could destroy
// user data, so these tests build real trees with sentinel files outside the root and check they live.
class tst_RootRemoval : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void checkOwnedPathMessages_data();
    void checkOwnedPathMessages();

    void removePathKinds();
    void removePathLeavesLinkTargets();

    void removalPrunesEmptyParents_data();
    void removalPrunesEmptyParents();

    void removeOwnedPathRefusesLinkedParent();
    void removeOwnedPathDeletesAndPrunes();

private:
    QString root() const { return m_dir->filePath(QStringLiteral("root")); }
    QString outside() const { return m_dir->filePath(QStringLiteral("outside")); }
    QString inRoot(const QString &relative) const { return root() + QLatin1Char('/') + relative; }

    QTemporaryDir *m_dir = nullptr;
};

void tst_RootRemoval::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(root()));
    QVERIFY(writeTestFile(outside() + QStringLiteral("/sentinel.txt"), "keep me"));
}

void tst_RootRemoval::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
}

void tst_RootRemoval::checkOwnedPathMessages_data()
{
    QTest::addColumn<QString>("ownedPath");
    QTest::addColumn<QString>("reason");
    QTest::newRow("inside") << QStringLiteral("qt6") << QString();
    QTest::newRow("empty") << QString() << QStringLiteral("it names the install root %1 itself");
    QTest::newRow("another directory itself")
        << QStringLiteral("qt6/.") << QStringLiteral("it is not a valid file name");
    QTest::newRow("climbs") << QStringLiteral("../outside")
                            << QStringLiteral("it lies outside the install root %1");
    QTest::newRow("an escape sequence is shown escaped")
        << QStringLiteral("a\x1b[2Jb") << QStringLiteral("it is not a valid file name");
}

void tst_RootRemoval::checkOwnedPathMessages()
{
    QFETCH(QString, ownedPath);
    QFETCH(QString, reason);
    QString error;
    const bool ok = checkOwnedPath(root(), ownedPath, QStringLiteral("Qt 6 [iv2]"), error);
    QCOMPARE(ok, reason.isEmpty());
    if (!ok) {
        QCOMPARE(error,
            QStringLiteral("Refusing unsafe owned path \"%1\" of Qt 6 [iv2]: %2.")
                .arg(QString(ownedPath).replace(QChar(0x1b), QLatin1String("\\x1B")),
                    reason.contains(QLatin1String("%1")) ? reason.arg(root()) : reason));
    }
}

void tst_RootRemoval::removePathKinds()
{
    QString error;
    QVERIFY2(removePath(inRoot(QStringLiteral("nothing-here")), error), qPrintable(error));

    QVERIFY(writeTestFile(inRoot(QStringLiteral("file.txt")), "x"));
    QVERIFY2(removePath(inRoot(QStringLiteral("file.txt")), error), qPrintable(error));
    QVERIFY(!QFileInfo::exists(inRoot(QStringLiteral("file.txt"))));

    QVERIFY(writeTestFile(inRoot(QStringLiteral("tree/a/b/c.txt")), "x"));
    QVERIFY(writeTestFile(inRoot(QStringLiteral("tree/.hidden")), "x"));
    QVERIFY2(removePath(inRoot(QStringLiteral("tree")), error), qPrintable(error));
    QVERIFY(!QFileInfo::exists(inRoot(QStringLiteral("tree"))));

    // A dangling link is something at the path even though it "does not exist".
    QVERIFY(QFile::link(inRoot(QStringLiteral("gone")), inRoot(QStringLiteral("dangling"))));
    QVERIFY2(removePath(inRoot(QStringLiteral("dangling")), error), qPrintable(error));
    QVERIFY(!QFileInfo(inRoot(QStringLiteral("dangling"))).isSymLink());
}

void tst_RootRemoval::removePathLeavesLinkTargets()
{
    // A link to a directory outside the root, both as the path itself and inside a removed tree.
    QVERIFY(QFile::link(outside(), inRoot(QStringLiteral("linked"))));
    QVERIFY(QDir().mkpath(inRoot(QStringLiteral("tree"))));
    QVERIFY(QFile::link(outside(), inRoot(QStringLiteral("tree/linked"))));

    QString error;
    QVERIFY2(removePath(inRoot(QStringLiteral("linked")), error), qPrintable(error));
    QVERIFY2(removePath(inRoot(QStringLiteral("tree")), error), qPrintable(error));
    QVERIFY(!QFileInfo(inRoot(QStringLiteral("linked"))).isSymLink());
    QVERIFY(!QFileInfo::exists(inRoot(QStringLiteral("tree"))));
    QCOMPARE(readTestFile(outside() + QStringLiteral("/sentinel.txt")), QByteArray("keep me"));
}

void tst_RootRemoval::removalPrunesEmptyParents_data()
{
    // Besides the owned path "a/b/c/file.txt", the root holds this entry; "" for nothing.
    QTest::addColumn<QString>("keptEntry");
    // The highest directory removed, and the one above it that stays ("" for the root).
    QTest::addColumn<QString>("gone");
    QTest::addColumn<QString>("left");
    QTest::newRow("nothing else: up to the root, which stays") << QString() << "a" << QString();
    QTest::newRow("file") << "a/keep.txt"
                          << "a/b"
                          << "a";
    QTest::newRow("subdirectory") << "a/other/"
                                  << "a/b"
                                  << "a";
    QTest::newRow("hidden file") << "a/b/.keep"
                                 << "a/b/c"
                                 << "a/b";
    QTest::newRow("dangling link") << "a/link@"
                                   << "a/b"
                                   << "a";
}

void tst_RootRemoval::removalPrunesEmptyParents()
{
    QFETCH(QString, keptEntry);
    QFETCH(QString, gone);
    QFETCH(QString, left);
    QVERIFY(writeTestFile(inRoot(QStringLiteral("a/b/c/file.txt")), "x"));
    if (keptEntry.endsWith(QLatin1Char('/')))
        QVERIFY(QDir().mkpath(inRoot(keptEntry)));
    else if (keptEntry.endsWith(QLatin1Char('@')))
        QVERIFY(QFile::link(inRoot(QStringLiteral("missing")), inRoot(keptEntry.chopped(1))));
    else if (!keptEntry.isEmpty())
        QVERIFY(writeTestFile(inRoot(keptEntry), "x"));

    QString error;
    QVERIFY2(removeOwnedPath(root(), QStringLiteral("a/b/c/file.txt"), QStringLiteral("P [iv1]"), error),
        qPrintable(error));
    QVERIFY(!QFileInfo::exists(inRoot(gone)));
    QVERIFY(QFileInfo(left.isEmpty() ? root() : inRoot(left)).isDir());
}

void tst_RootRemoval::removeOwnedPathRefusesLinkedParent()
{
    // "lib" inside the root was replaced by a link leading out; "lib/sentinel.txt" is not the root's.
    QVERIFY(QFile::link(outside(), inRoot(QStringLiteral("lib"))));
    QString error;
    QVERIFY(!removeOwnedPath(root(), QStringLiteral("lib/sentinel.txt"), QStringLiteral("P [iv1]"), error));
    QCOMPARE(error,
        QStringLiteral("Refusing unsafe owned path \"lib/sentinel.txt\" of P [iv1]: it leads through a link "
                       "out of the install root %1.")
            .arg(root()));
    QCOMPARE(readTestFile(outside() + QStringLiteral("/sentinel.txt")), QByteArray("keep me"));

    // The link itself is the root's to delete; what it points to is not touched.
    QVERIFY2(
        removeOwnedPath(root(), QStringLiteral("lib"), QStringLiteral("P [iv1]"), error), qPrintable(error));
    QVERIFY(!QFileInfo(inRoot(QStringLiteral("lib"))).isSymLink());
    QCOMPARE(readTestFile(outside() + QStringLiteral("/sentinel.txt")), QByteArray("keep me"));
}

void tst_RootRemoval::removeOwnedPathDeletesAndPrunes()
{
    QVERIFY(writeTestFile(inRoot(QStringLiteral("pkg/share/only.txt")), "x"));
    QVERIFY(writeTestFile(inRoot(QStringLiteral("other/keep.txt")), "x"));
    QString error;
    QVERIFY2(removeOwnedPath(root(), QStringLiteral("pkg/share/only.txt"), QStringLiteral("P [iv1]"), error),
        qPrintable(error));
    QVERIFY(!QFileInfo::exists(inRoot(QStringLiteral("pkg"))));
    QVERIFY(QFileInfo::exists(inRoot(QStringLiteral("other/keep.txt"))));

    QVERIFY(QDir().mkpath(outside() + QStringLiteral("/empty")));
    QVERIFY(!removeOwnedPath(root(), QStringLiteral("../outside/empty/x"), QStringLiteral("P [iv1]"), error));
    QVERIFY(QFileInfo(outside() + QStringLiteral("/empty")).isDir());
    QVERIFY(!removeOwnedPath(root(), QString(), QStringLiteral("P [iv1]"), error));
    QVERIFY(QFileInfo::exists(inRoot(QStringLiteral("other/keep.txt"))));
    QCOMPARE(readTestFile(outside() + QStringLiteral("/sentinel.txt")), QByteArray("keep me"));
}

QTEST_GUILESS_MAIN(tst_RootRemoval)
#include "tst_rootremoval.moc"
