#include "platform/savefile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

class TestSaveFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unsyncedFileAppearsWholeOrNotAtAll_data();
    void unsyncedFileAppearsWholeOrNotAtAll();
};

void TestSaveFile::unsyncedFileAppearsWholeOrNotAtAll_data()
{
    QTest::addColumn<bool>("commit");
    QTest::addColumn<bool>("cancel");
    QTest::newRow("committed over an earlier file") << true << false;
    QTest::newRow("cancelled") << false << true;
    QTest::newRow("dropped without a commit") << false << false;
}

// Until the commit the target keeps what it held; afterwards it holds every byte written. Either way
// no temporary file is left beside it.
void TestSaveFile::unsyncedFileAppearsWholeOrNotAtAll()
{
    QFETCH(bool, commit);
    QFETCH(bool, cancel);
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString target = directory.filePath(QStringLiteral("archive.zip"));
    QFile earlier(target);
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    earlier.close();

    const QByteArray content(300000, 'x');
    {
        UnsyncedSaveFile file(target);
        QVERIFY(file.open());
        QCOMPARE(file.write(content), content.size());
        QCOMPARE(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier"));
        earlier.close();
        if (commit)
            QVERIFY(file.commit());
        if (cancel)
            file.cancelWriting();
    }
    QCOMPARE(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList { QStringLiteral("archive.zip") });
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), commit ? content : QByteArray("earlier"));
}

QTEST_GUILESS_MAIN(TestSaveFile)
#include "tst_savefile.moc"
