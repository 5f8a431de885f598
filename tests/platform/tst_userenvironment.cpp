#include "platform/userenvironment.h"
#include "support/smallfilesystem.h"
#include "support/testenvironment.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace vexa;

// The user environment is redirected into a temporary configuration directory here, so these tests
// publish and clear VEXA_ROOT for real without touching the account that runs them.
class TestUserEnvironment : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void setWritesOneLineAtomically();
    void setReplacesEarlierValue();
    void clearDeletesTheFile();
    void unusableValuesAreRefused_data();
    void unusableValuesAreRefused();
    void unwritableLocationFails();
    void fullDiskKeepsThePublishedLine();
};

void TestUserEnvironment::setWritesOneLineAtomically()
{
    EnvironmentSandbox sandbox(false);
    QVERIFY(sandbox.isValid());
    QCOMPARE(userEnvironmentFilePath(), sandbox.variableFile());

    QString error;
    QVERIFY2(setUserRootVariable(QStringLiteral("/opt/vexa root"), error), qPrintable(error));
    QCOMPARE(readTestFile(sandbox.variableFile()), QByteArray("VEXA_ROOT=/opt/vexa root\n"));
    // Only the file itself: the save file left no temporary sibling behind.
    QCOMPARE(QDir(QFileInfo(sandbox.variableFile()).absolutePath()).entryList(QDir::Files | QDir::Hidden),
        QStringList { QStringLiteral("60-vexa-root.conf") });
}

void TestUserEnvironment::setReplacesEarlierValue()
{
    EnvironmentSandbox sandbox(false);
    QString error;
    QVERIFY(setUserRootVariable(QStringLiteral("/first"), error));
    QVERIFY(setUserRootVariable(QStringLiteral("/second"), error));
    QCOMPARE(readTestFile(sandbox.variableFile()), QByteArray("VEXA_ROOT=/second\n"));
}

void TestUserEnvironment::clearDeletesTheFile()
{
    EnvironmentSandbox sandbox(false);
    QString error;
    QVERIFY2(clearUserRootVariable(error), qPrintable(error)); // nothing published yet
    QVERIFY(setUserRootVariable(QStringLiteral("/vexa"), error));
    QVERIFY2(clearUserRootVariable(error), qPrintable(error));
    QVERIFY(!QFileInfo::exists(sandbox.variableFile()));
    QVERIFY(QFileInfo(QFileInfo(sandbox.variableFile()).absolutePath()).isDir());
}

void TestUserEnvironment::unusableValuesAreRefused_data()
{
    QTest::addColumn<QString>("root");
    QTest::newRow("empty") << QString();
    QTest::newRow("line break would add a second assignment") << QStringLiteral("/vexa\nPATH=/evil");
    QTest::newRow("carriage return") << QStringLiteral("/vexa\r");
}

void TestUserEnvironment::unusableValuesAreRefused()
{
    QFETCH(QString, root);
    EnvironmentSandbox sandbox(false);
    QString error;
    QVERIFY(setUserRootVariable(QStringLiteral("/kept"), error));
    QVERIFY(!setUserRootVariable(root, error));
    QCOMPARE(error, QStringLiteral("Failed to update the VEXA_ROOT environment variable."));
    QCOMPARE(readTestFile(sandbox.variableFile()), QByteArray("VEXA_ROOT=/kept\n"));
}

void TestUserEnvironment::unwritableLocationFails()
{
    EnvironmentSandbox sandbox(false);
    // A file where the environment.d directory belongs: neither writing nor the directory can work.
    QVERIFY(writeTestFile(sandbox.configDirectory() + QStringLiteral("/environment.d"), "not a directory"));
    QString error;
    QVERIFY(!setUserRootVariable(QStringLiteral("/vexa"), error));
    QCOMPARE(error, QStringLiteral("Failed to update the VEXA_ROOT environment variable."));
}

void TestUserEnvironment::fullDiskKeepsThePublishedLine()
{
    SmallFileSystem disk(64 * 1024);
    if (!disk.isMounted())
        QSKIP("Mounting a small tmpfs needs root (or CAP_SYS_ADMIN)");
    EnvironmentSandbox sandbox(false);
    const ScopedEnvironmentVariable config("XDG_CONFIG_HOME", QFile::encodeName(disk.path()));
    QString error;
    QVERIFY2(setUserRootVariable(QStringLiteral("/first"), error), qPrintable(error));
    QVERIFY(disk.fillLeaving(0));
    QVERIFY(!setUserRootVariable(QStringLiteral("/second"), error));
    QCOMPARE(error, QStringLiteral("Failed to update the VEXA_ROOT environment variable."));
    QCOMPARE(readTestFile(userEnvironmentFilePath()), QByteArray("VEXA_ROOT=/first\n"));
}

QTEST_GUILESS_MAIN(TestUserEnvironment)
#include "tst_userenvironment.moc"
