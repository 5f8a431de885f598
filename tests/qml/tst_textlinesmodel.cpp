#include "textlinesmodel.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using namespace vexa;

namespace {

// Rows covered by each emission of `spy`, whose arguments (parent or index, first, last) name a range.
int rowsIn(const QSignalSpy &spy)
{
    int rows = 0;
    for (const QList<QVariant> &arguments : spy) {
        if (arguments.at(0).canConvert<QModelIndex>() && arguments.at(1).canConvert<QModelIndex>())
            rows += arguments.at(1).toModelIndex().row() - arguments.at(0).toModelIndex().row() + 1;
        else
            rows += arguments.at(2).toInt() - arguments.at(1).toInt() + 1;
    }
    return rows;
}

QString numberedLines(int count, const QString &prefix)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << prefix + QString::number(i);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TestTextLinesModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void updatesOnlyTheLinesThatChanged_data();
    void updatesOnlyTheLinesThatChanged();
};

void TestTextLinesModel::updatesOnlyTheLinesThatChanged_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("changedRows");
    QTest::addColumn<int>("insertedRows");
    QTest::addColumn<int>("removedRows");

    QTest::newRow("same text: nothing") << "a\nb\nc"
                                        << "a\nb\nc" << 0 << 0 << 0;
    QTest::newRow("one line changed") << "a\nb\nc"
                                      << "a\nB\nc" << 1 << 0 << 0;
    QTest::newRow("a line inserted in the middle") << "a\nb\nc"
                                                   << "a\nb\nx\nc" << 0 << 1 << 0;
    QTest::newRow("a line removed at the end") << "a\nb\nc"
                                               << "a\nb" << 0 << 0 << 1;
    QTest::newRow("changes far apart") << "size 1\nb\nc\nd\nend 1"
                                       << "size 2\nb\nc\nd\nend 2" << 2 << 0 << 0;
    QTest::newRow("a line added and one dropped elsewhere") << "a\nb\nc\nd\ne"
                                                            << "a\nx\nb\nc\nd" << 0 << 1 << 1;
    QTest::newRow("from empty") << ""
                                << "a\nb" << 1 << 1 << 0;
    QTest::newRow("to empty") << "a\nb"
                              << "" << 1 << 0 << 1;
    QTest::newRow("everything different: rows kept, not reset")
        << numberedLines(300, QStringLiteral("old ")) << numberedLines(301, QStringLiteral("new ")) << 300
        << 1 << 0;
}

void TestTextLinesModel::updatesOnlyTheLinesThatChanged()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(int, changedRows);
    QFETCH(int, insertedRows);
    QFETCH(int, removedRows);

    TextLinesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setText(before);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    model.setText(after);
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown << model.data(model.index(row), TextLinesModel::LineRole).toString();
    QCOMPARE(shown.join(QLatin1Char('\n')), after);
    QCOMPARE(reset.size(), 0);
    QCOMPARE(rowsIn(changed), changedRows);
    QCOMPARE(rowsIn(inserted), insertedRows);
    QCOMPARE(rowsIn(removed), removedRows);
}

QTEST_GUILESS_MAIN(TestTextLinesModel)
#include "tst_textlinesmodel.moc"
