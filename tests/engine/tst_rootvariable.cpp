#include "engine/rootvariable.h"
#include "support/testenvironment.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace vexa;

// Publishing the root goes through the user environment, redirected here into a temporary
// configuration directory.
class TestRootVariable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void skipVariable_data();
    void skipVariable();
    void publishHonoursSkipAndClear();
    void publishUsesAbsoluteRoot();
};

void TestRootVariable::skipVariable_data()
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

void TestRootVariable::skipVariable()
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

void TestRootVariable::publishHonoursSkipAndClear()
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

void TestRootVariable::publishUsesAbsoluteRoot()
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

QTEST_GUILESS_MAIN(TestRootVariable)
#include "tst_rootvariable.moc"
