#include "engine/rootpaths.h"

#include <QDir>
#include <QTest>

using namespace vexa;

class TestRootPaths : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanRoot_data();
    void cleanRoot();
    void resolve_data();
    void resolve();
};

void TestRootPaths::cleanRoot_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("blank") << QStringLiteral("  \t ") << QString();
    QTest::newRow("trimmed") << QStringLiteral("  /opt/vexa  ") << QStringLiteral("/opt/vexa");
    QTest::newRow("trailing separator") << QStringLiteral("/opt/vexa/") << QStringLiteral("/opt/vexa");
    QTest::newRow("duplicate separators") << QStringLiteral("/opt//vexa///") << QStringLiteral("/opt/vexa");
    QTest::newRow("dot segments") << QStringLiteral("/opt/./x/../vexa") << QStringLiteral("/opt/vexa");
#ifdef Q_OS_WIN
    // Only Windows knows drive letters; elsewhere "C:" is an ordinary relative name.
    QTest::newRow("drive root keeps its slash") << QStringLiteral("C:/") << QStringLiteral("C:/");
#endif
    QTest::newRow("drive path") << QStringLiteral("C:/Vexa/") << QStringLiteral("C:/Vexa");
    QTest::newRow("file system root") << QStringLiteral("/") << QStringLiteral("/");
    QTest::newRow("native separators")
        << QDir::toNativeSeparators(QStringLiteral("/opt/vexa/")) << QStringLiteral("/opt/vexa");
}

void TestRootPaths::cleanRoot()
{
    QFETCH(QString, root);
    QFETCH(QString, expected);
    QCOMPARE(cleanRootPath(root), expected);
}

void TestRootPaths::resolve_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty relative is the root")
        << QStringLiteral("/opt/vexa") << QString() << QStringLiteral("/opt/vexa");
    QTest::newRow("joined") << QStringLiteral("/opt/vexa") << QStringLiteral("qt6/lib")
                            << QStringLiteral("/opt/vexa/qt6/lib");
    QTest::newRow("drive root joins without a double slash")
        << QStringLiteral("C:/") << QStringLiteral("qt6") << QStringLiteral("C:/qt6");
    QTest::newRow("file system root")
        << QStringLiteral("/") << QStringLiteral("qt6") << QStringLiteral("/qt6");
    QTest::newRow("absolute relative path unchanged")
        << QStringLiteral("/opt/vexa") << QStringLiteral("/etc/passwd") << QStringLiteral("/etc/passwd");
    QTest::newRow("native separators in the relative path")
        << QStringLiteral("/opt/vexa") << QDir::toNativeSeparators(QStringLiteral("bin/ninja.exe"))
        << QStringLiteral("/opt/vexa/bin/ninja.exe");
}

void TestRootPaths::resolve()
{
    QFETCH(QString, root);
    QFETCH(QString, relative);
    QFETCH(QString, expected);
    QCOMPARE(resolveRootPath(root, relative), expected);
}

QTEST_GUILESS_MAIN(TestRootPaths)
#include "tst_rootpaths.moc"
