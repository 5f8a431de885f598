#include "entrylistmodel.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using namespace vexa;

namespace {

// Rows named by letters, capitals of kind "package" and small letters of kind "group" ("a" and "A"
// are the same row in two kinds); "A*" is row A with a changed value.
QVariantList rows(const QString &letters)
{
    QVariantList list;
    for (qsizetype i = 0; i < letters.size(); ++i) {
        if (letters.at(i) == QLatin1Char('*'))
            continue;
        const bool changed = i + 1 < letters.size() && letters.at(i + 1) == QLatin1Char('*');
        list << QVariantMap { { QStringLiteral("id"), QString(letters.at(i).toUpper()) },
            { QStringLiteral("kind"), letters.at(i).isUpper() ? "package" : "group" },
            { QStringLiteral("checked"), changed } };
    }
    return list;
}

} // namespace

class TestEntryListModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void updatesOnlyWhatChanged_data();
    void updatesOnlyWhatChanged();
};

void TestEntryListModel::updatesOnlyWhatChanged_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("changedRows");
    QTest::addColumn<int>("insertedRows");
    QTest::addColumn<int>("removedRows");

    QTest::newRow("same rows: nothing") << "ABCDE"
                                        << "ABCDE" << 0 << 0 << 0;
    QTest::newRow("one row ticked") << "ABCDE"
                                    << "ABC*DE" << 1 << 0 << 0;
    QTest::newRow("two rows apart") << "ABCDE"
                                    << "AB*CDE*" << 2 << 0 << 0;
    QTest::newRow("search narrows in the middle") << "ABCDEFG"
                                                  << "ABFG" << 0 << 0 << 3;
    QTest::newRow("search widens again") << "ABFG"
                                         << "ABCDEFG" << 0 << 3 << 0;
    QTest::newRow("changed and shorter") << "ABCDE"
                                         << "XE" << 1 << 0 << 3;
    QTest::newRow("a header turned package is replaced") << "aBcD"
                                                         << "aBCD" << 0 << 1 << 1;
    QTest::newRow("from nothing") << ""
                                  << "ABC" << 0 << 3 << 0;
    QTest::newRow("to nothing") << "ABC"
                                << "" << 0 << 0 << 3;
}

void TestEntryListModel::updatesOnlyWhatChanged()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(int, changedRows);
    QFETCH(int, insertedRows);
    QFETCH(int, removedRows);

    EntryListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setEntries(rows(before));
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    model.setEntries(rows(after));
    QVariantList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown << model.data(model.index(row), EntryListModel::EntryRole);
    QCOMPARE(shown, rows(after));
    QCOMPARE(reset.size(), 0);
    int changedCount = 0;
    for (const QList<QVariant> &arguments : changed)
        changedCount += arguments.at(1).toModelIndex().row() - arguments.at(0).toModelIndex().row() + 1;
    QCOMPARE(changedCount, changedRows);
    QCOMPARE(inserted.isEmpty() ? 0 : inserted.at(0).at(2).toInt() - inserted.at(0).at(1).toInt() + 1,
        insertedRows);
    QCOMPARE(
        removed.isEmpty() ? 0 : removed.at(0).at(2).toInt() - removed.at(0).at(1).toInt() + 1, removedRows);
}

QTEST_GUILESS_MAIN(TestEntryListModel)
#include "tst_entrylistmodel.moc"
