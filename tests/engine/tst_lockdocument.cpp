#include "engine/changeplan.h"
#include "engine/lockdocument.h"
#include "statetestroot.h"
#include "support/testcatalog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace vexa;

namespace {

QStringList packagesOf(const QByteArray &text)
{
    QStringList ids;
    const QJsonArray packages
        = QJsonDocument::fromJson(text).object().value(QStringLiteral("packages")).toArray();
    for (const QJsonValue &value : packages)
        ids.append(value.toString());
    return ids;
}

} // namespace

class TestLockDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void documentText_data();
    void documentText();
    void writtenAsQtWritesIt_data();
    void writtenAsQtWritesIt();
    void planDocument_data();
    void planDocument();

private:
    PackageCatalog m_catalog;
};

void TestLockDocument::initTestCase()
{
    QVERIFY(loadStateTestCatalog(m_catalog));
}

void TestLockDocument::documentText_data()
{
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<QString>("reference");
    QTest::newRow("empty") << QStringList() << QStringLiteral("lock-empty.json");
    QTest::newRow("a package with its dependencies")
        << QStringList { Qt6 } << QStringLiteral("lock-qt6.json");
}

// The exact text: sorted keys, four-space indentation, UTF-8, final newline.
void TestLockDocument::documentText()
{
    QFETCH(QStringList, selection);
    QFETCH(QString, reference);
    const ChangePlan plan
        = computePlan(m_catalog, InstalledState(), QSet<QString>(selection.cbegin(), selection.cend()));
    QVERIFY(matchesReference(reference, buildPlanLockDocument(m_catalog, plan)));
}

void TestLockDocument::writtenAsQtWritesIt_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("plain ids") << QStringList { Zlib, QStringLiteral("a b~c") };
    QTest::newRow("quote and backslash") << QStringList { QStringLiteral("a\"b"), QStringLiteral("c\\d") };
    QTest::newRow("control characters") << QStringList { QStringLiteral("tab\there"),
        QStringLiteral("nl\nbell\x07"), QStringLiteral("del\x7f") };
    QTest::newRow("non-ASCII") << QStringList { QStringLiteral("caf\u00e9"),
        QStringLiteral("\u6f22\U0001F600") };
    QTest::newRow("lone surrogate") << QStringList { QString(QChar(0xd800)) + QStringLiteral("x") };
}

// Ids of any kind come out byte for byte as Qt's own JSON writer puts them.
void TestLockDocument::writtenAsQtWritesIt()
{
    QFETCH(QStringList, ids);
    // A chain, each id depending on the one before, keeps the catalog's order in the document.
    QList<QJsonObject> entries;
    for (qsizetype i = 0; i < ids.size(); ++i) {
        const QJsonArray dependencies = i == 0 ? QJsonArray() : QJsonArray { ids.at(i - 1) };
        entries.append(testPackageEntry(
            ids.at(i), QStringLiteral("P"), { { QStringLiteral("dependencies"), dependencies } }));
    }
    const PackageCatalog catalog = testCatalog(entries);
    QCOMPARE(catalog.packages().size(), ids.size());
    const ChangePlan plan = computePlan(catalog, InstalledState(), { ids.last() });
    const QJsonObject expected { { QStringLiteral("schema_version"), 1 },
        { QStringLiteral("root_policy"), QStringLiteral("shared") },
        { QStringLiteral("packages"), QJsonArray::fromStringList(ids) } };
    QCOMPARE(buildPlanLockDocument(catalog, plan), QJsonDocument(expected).toJson(QJsonDocument::Indented));
}

void TestLockDocument::planDocument_data()
{
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty target") << QStringList() << QStringList();
    QTest::newRow("support package only") << QStringList { Support } << QStringList();
    QTest::newRow("dependencies ahead of the package")
        << QStringList { OpenCv, Support } << QStringList { Zlib, OpenSsl, Qt6, OpenCv };
    QTest::newRow("unknown ids left out")
        << QStringList { QStringLiteral("org.x"), Ninja } << QStringList { Ninja };
}

void TestLockDocument::planDocument()
{
    QFETCH(QStringList, selection);
    QFETCH(QStringList, expected);
    const ChangePlan plan
        = computePlan(m_catalog, InstalledState(), QSet<QString>(selection.cbegin(), selection.cend()));
    const QByteArray text = buildPlanLockDocument(m_catalog, plan);
    QCOMPARE(packagesOf(text), expected);
    QCOMPARE(QJsonDocument::fromJson(text).object().value(QStringLiteral("root_policy")).toString(),
        QStringLiteral("shared"));
}

QTEST_GUILESS_MAIN(TestLockDocument)
#include "tst_lockdocument.moc"
