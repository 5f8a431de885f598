#include "platform/defaultroot.h"
#include "support/testenvironment.h"

#include <QTest>

using namespace vexa;

class TestDefaultRoot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultRoot_data();
    void defaultRoot();
};

void TestDefaultRoot::defaultRoot_data()
{
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<QString>("expected");
#ifdef Q_OS_WIN
    // Windows offers the same folder to every account.
    QTest::newRow("any account") << QByteArray("C:/Users/someone") << QStringLiteral("C:/Vexa");
#else
    QTest::newRow("below the home directory")
        << QByteArray("/home/someone") << QStringLiteral("/home/someone/Vexa");
    QTest::newRow("home given with a trailing slash")
        << QByteArray("/srv/home/a b/") << QStringLiteral("/srv/home/a b/Vexa");
#endif
}

void TestDefaultRoot::defaultRoot()
{
    QFETCH(QByteArray, home);
    QFETCH(QString, expected);
    const ScopedEnvironmentVariable variable("HOME", home);
    QCOMPARE(DefaultRootPath(), expected);
}

QTEST_GUILESS_MAIN(TestDefaultRoot)
#include "tst_defaultroot.moc"
