#include "applytestsupport.h"
#include "engine/rootvariable.h"
#include "platform/userenvironment.h"
#include "support/smallfilesystem.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace vexa;

// The user environment is always redirected into a temporary configuration directory here, so these
// tests publish and clear VEXA_ROOT for real without touching the account that runs them.
class tst_UserEnvironment : public QObject
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
    void skipVariable_data();
    void skipVariable();
    void publishHonoursSkipAndClear();
    void publishUsesAbsoluteRoot();
};

void tst_UserEnvironment::setWritesOneLineAtomically()
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

void tst_UserEnvironment::setReplacesEarlierValue()
{
    EnvironmentSandbox sandbox(false);
    QString error;
    QVERIFY(setUserRootVariable(QStringLiteral("/first"), error));
    QVERIFY(setUserRootVariable(QStringLiteral("/second"), error));
    QCOMPARE(readTestFile(sandbox.variableFile()), QByteArray("VEXA_ROOT=/second\n"));
}

void tst_UserEnvironment::clearDeletesTheFile()
{
    EnvironmentSandbox sandbox(false);
    QString error;
    QVERIFY2(clearUserRootVariable(error), qPrintable(error)); // nothing published yet
    QVERIFY(setUserRootVariable(QStringLiteral("/vexa"), error));
    QVERIFY2(clearUserRootVariable(error), qPrintable(error));
    QVERIFY(!QFileInfo::exists(sandbox.variableFile()));
    QVERIFY(QFileInfo(QFileInfo(sandbox.variableFile()).absolutePath()).isDir());
}

void tst_UserEnvironment::unusableValuesAreRefused_data()
{
    QTest::addColumn<QString>("root");
    QTest::newRow("empty") << QString();
    QTest::newRow("line break would add a second assignment") << QStringLiteral("/vexa\nPATH=/evil");
    QTest::newRow("carriage return") << QStringLiteral("/vexa\r");
}

void tst_UserEnvironment::unusableValuesAreRefused()
{
    QFETCH(QString, root);
    EnvironmentSandbox sandbox(false);
    QString error;
    QVERIFY(setUserRootVariable(QStringLiteral("/kept"), error));
    QVERIFY(!setUserRootVariable(root, error));
    QCOMPARE(error, QStringLiteral("Failed to update the VEXA_ROOT environment variable."));
    QCOMPARE(readTestFile(sandbox.variableFile()), QByteArray("VEXA_ROOT=/kept\n"));
}

void tst_UserEnvironment::unwritableLocationFails()
{
    EnvironmentSandbox sandbox(false);
    // A file where the environment.d directory belongs: neither writing nor the directory can work.
    QVERIFY(writeTestFile(sandbox.configDirectory() + QStringLiteral("/environment.d"), "not a directory"));
    QString error;
    QVERIFY(!setUserRootVariable(QStringLiteral("/vexa"), error));
    QCOMPARE(error, QStringLiteral("Failed to update the VEXA_ROOT environment variable."));
}

void tst_UserEnvironment::fullDiskKeepsThePublishedLine()
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

void tst_UserEnvironment::skipVariable_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("skips");
    QTest::newRow("unset") << false << QByteArray() << false;
    QTest::newRow("empty") << true << QByteArray("") << false;
    QTest::newRow("zero") << true << QByteArray("0") << false;
    QTest::newRow("hex zero") << true << QByteArray("0x0") << false;
    QTest::newRow("octal zero") << true << QByteArray("00") << false;
    QTest::newRow("not a number") << true << QByteArray("yes") << false;
    QTest::newRow("one") << true << QByteArray("1") << true;
    QTest::newRow("negative") << true << QByteArray("-1") << true;
    QTest::newRow("hexadecimal") << true << QByteArray("0x1f") << true;
    QTest::newRow("octal") << true << QByteArray("010") << true;
    QTest::newRow("beyond 32 bits") << true << QByteArray("4294967296") << true;
    QTest::newRow("invalid octal digit") << true << QByteArray("09") << false;
}

void tst_UserEnvironment::skipVariable()
{
    QFETCH(bool, set);
    QFETCH(QByteArray, value);
    QFETCH(bool, skips);
    EnvironmentSandbox sandbox(false);
    const ScopedEnvironmentVariable skip("VEXA_SKIP_ENV_UPDATE", set ? std::optional(value) : std::nullopt);
    QCOMPARE(skipsEnvironmentUpdate(), skips);

    QString error;
    QVERIFY2(publishRootVariable(QStringLiteral("/vexa"), false, error), qPrintable(error));
    QCOMPARE(QFileInfo::exists(sandbox.variableFile()), !skips);
}

void tst_UserEnvironment::publishHonoursSkipAndClear()
{
    EnvironmentSandbox sandbox(false);
    QString error;
    QVERIFY(publishRootVariable(QStringLiteral("/vexa"), false, error));
    QVERIFY(QFileInfo::exists(sandbox.variableFile()));

    {
        const ScopedEnvironmentVariable skip("VEXA_SKIP_ENV_UPDATE", QByteArray("1"));
        QVERIFY(publishRootVariable(QStringLiteral("/vexa"), true, error));
        QVERIFY2(QFileInfo::exists(sandbox.variableFile()), "a skipped clear must leave the variable alone");
    }
    QVERIFY(publishRootVariable(QStringLiteral("/vexa"), true, error));
    QVERIFY(!QFileInfo::exists(sandbox.variableFile()));
}

void tst_UserEnvironment::publishUsesAbsoluteRoot()
{
    EnvironmentSandbox sandbox(false);
    QString error;
    // Later shells start in other directories, so a relative root is published in absolute form.
    QVERIFY(publishRootVariable(QStringLiteral("relative/vexa"), false, error));
    QCOMPARE(readTestFile(sandbox.variableFile()),
        QStringLiteral("VEXA_ROOT=%1/relative/vexa\n").arg(QDir::currentPath()).toUtf8());

    QVERIFY(!publishRootVariable(QString(), false, error));
    QCOMPARE(error, QStringLiteral("Failed to update the VEXA_ROOT environment variable."));
}

QTEST_GUILESS_MAIN(tst_UserEnvironment)
#include "tst_userenvironment.moc"
