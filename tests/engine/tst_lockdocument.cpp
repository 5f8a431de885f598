#include "engine/changeplan.h"
#include "engine/lockdocument.h"
#include "statetestroot.h"

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

class LockDocumentTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void documentText_data();
    void documentText();
    void writtenAsQtWritesIt_data();
    void writtenAsQtWritesIt();
    void packageList_data();
    void packageList();
    void planDocument_data();
    void planDocument();

private:
    PackageCatalog m_catalog;
};

void LockDocumentTest::initTestCase()
{
    QVERIFY(loadStateTestCatalog(m_catalog));
}

void LockDocumentTest::documentText_data()
{
    QTest::addColumn<int>("policy");
    QTest::addColumn<QStringList>("ordered");
    QTest::addColumn<QString>("reference");
    QTest::newRow("shared, empty") << int(LockRootPolicy::Shared) << QStringList()
                                   << QStringLiteral("lock-empty.json");
    QTest::newRow("isolated, three packages")
        << int(LockRootPolicy::Isolated) << QStringList { Zlib, OpenSsl, Qt6 }
        << QStringLiteral("lock-isolated.json");
}

// The exact text: sorted keys, four-space indentation, UTF-8, final newline.
void LockDocumentTest::documentText()
{
    QFETCH(int, policy);
    QFETCH(QStringList, ordered);
    QFETCH(QString, reference);
    const QSet<QString> set(ordered.cbegin(), ordered.cend());
    QVERIFY(matchesReference(reference, buildLockDocument(LockRootPolicy(policy), set, ordered)));
}

void LockDocumentTest::writtenAsQtWritesIt_data()
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
void LockDocumentTest::writtenAsQtWritesIt()
{
    QFETCH(QStringList, ids);
    const QJsonObject expected { { QStringLiteral("schema_version"), 1 },
        { QStringLiteral("root_policy"), QStringLiteral("shared") },
        { QStringLiteral("packages"), QJsonArray::fromStringList(ids) } };
    QCOMPARE(buildLockDocument(LockRootPolicy::Shared, QSet<QString>(ids.cbegin(), ids.cend()), ids),
        QJsonDocument(expected).toJson(QJsonDocument::Indented));
}

void LockDocumentTest::packageList_data()
{
    QTest::addColumn<QStringList>("set");
    QTest::addColumn<QStringList>("ordered");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("both empty") << QStringList() << QStringList() << QStringList();
    QTest::newRow("list order is kept") << QStringList { QStringLiteral("b"), QStringLiteral("a") }
                                        << QStringList { QStringLiteral("b"), QStringLiteral("a") }
                                        << QStringList { QStringLiteral("b"), QStringLiteral("a") };
    QTest::newRow("empty list sorts the set case-sensitively")
        << QStringList { QStringLiteral("b"), QStringLiteral("B"), QStringLiteral("a") } << QStringList()
        << QStringList { QStringLiteral("B"), QStringLiteral("a"), QStringLiteral("b") };
    QTest::newRow("set members missing from the list follow it, sorted")
        << QStringList { QStringLiteral("z"), QStringLiteral("c"), QStringLiteral("m"), QStringLiteral("x") }
        << QStringList { QStringLiteral("m") }
        << QStringList { QStringLiteral("m"), QStringLiteral("c"), QStringLiteral("x"), QStringLiteral("z") };
    QTest::newRow("duplicates keep their first place")
        << QStringList() << QStringList { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a") }
        << QStringList { QStringLiteral("a"), QStringLiteral("b") };
}

void LockDocumentTest::packageList()
{
    QFETCH(QStringList, set);
    QFETCH(QStringList, ordered);
    QFETCH(QStringList, expected);
    const QByteArray text
        = buildLockDocument(LockRootPolicy::Shared, QSet<QString>(set.cbegin(), set.cend()), ordered);
    QCOMPARE(packagesOf(text), expected);
    const QJsonObject object = QJsonDocument::fromJson(text).object();
    QCOMPARE(object.value(QStringLiteral("schema_version")).toInt(), 1);
    QCOMPARE(object.value(QStringLiteral("root_policy")).toString(), QStringLiteral("shared"));
    QCOMPARE(object.keys(),
        (QStringList {
            QStringLiteral("packages"), QStringLiteral("root_policy"), QStringLiteral("schema_version") }));
}

void LockDocumentTest::planDocument_data()
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

void LockDocumentTest::planDocument()
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

QTEST_GUILESS_MAIN(LockDocumentTest)
#include "tst_lockdocument.moc"
