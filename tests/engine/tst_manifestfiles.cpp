#include "engine/manifestfiles.h"
#include "engine/rootpaths.h"
#include "statetestroot.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

namespace {

const QDateTime FixedTime(QDate(2026, 3, 1), QTime(9, 30, 0, 789), Qt::UTC);

QStringList packageIdsOf(const QJsonDocument &document)
{
    QStringList ids;
    const QJsonArray packages = document.object().value(QStringLiteral("packages")).toArray();
    for (const QJsonValue &value : packages)
        ids.append(value.toObject().value(QStringLiteral("package_id")).toString());
    return ids;
}

} // namespace

class TestManifestFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void referenceDocuments_data();
    void referenceDocuments();
    void packageOrder_data();
    void packageOrder();
    void currentCheckMatchesBuiltDocuments_data();
    void currentCheckMatchesBuiltDocuments();
    void generatedAtFormat();
    void emptySetWritesNothing();
    void writtenFilesAreIndentedDocuments();
    void rewriteDiffersOnlyInTimestamp();
    void writeFailures_data();
    void writeFailures();
    void failedWriteKeepsOldFile();

private:
    PackageCatalog m_catalog;
};

void TestManifestFiles::initTestCase()
{
    QVERIFY(loadStateTestCatalog(m_catalog));
}

void TestManifestFiles::referenceDocuments_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("reference");
    QTest::newRow("full set") << QStringList { Support, Ninja, Qt6, OpenCv, OpenSsl, Zlib, Docs,
        QStringLiteral("org.unknown") }
                              << QStringLiteral("full");
    QTest::newRow("support package only") << QStringList { Support } << QStringLiteral("support-only");
}

// The whole text of both manifests, compared with reviewed reference files.
void TestManifestFiles::referenceDocuments()
{
    QFETCH(QStringList, ids);
    QFETCH(QString, reference);
    const QString root = QStringLiteral("/srv/vexa/root");
    const QSet<QString> set(ids.cbegin(), ids.cend());
    QVERIFY(matchesReference(reference + QStringLiteral("-state.json"),
        buildStateDocument(m_catalog, root, set, FixedTime).toJson(QJsonDocument::Indented)));
    QVERIFY(matchesReference(reference + QStringLiteral("-installed-packages.json"),
        buildInstalledPackagesDocument(m_catalog, root, set).toJson(QJsonDocument::Indented)));
}

void TestManifestFiles::packageOrder_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("stateOrder");
    QTest::addColumn<QStringList>("installedOrder");
    QTest::newRow("empty") << QStringList() << QStringList() << QStringList();
    QTest::newRow("dependencies first, ties in catalog order")
        << QStringList { OpenCv, Zlib, Qt6, OpenSsl, Ninja }
        << QStringList { Ninja, Zlib, OpenSsl, Qt6, OpenCv }
        << QStringList { Ninja, Zlib, OpenSsl, Qt6, OpenCv };
    QTest::newRow("support package left out of installed-packages")
        << QStringList { Zlib, Support } << QStringList { Support, Zlib } << QStringList { Zlib };
    QTest::newRow("unknown ids left out everywhere")
        << QStringList { QStringLiteral("a.unknown"), Zlib } << QStringList { Zlib } << QStringList { Zlib };
    QTest::newRow("only unknown ids")
        << QStringList { QStringLiteral("a.unknown") } << QStringList() << QStringList();
}

void TestManifestFiles::packageOrder()
{
    QFETCH(QStringList, ids);
    QFETCH(QStringList, stateOrder);
    QFETCH(QStringList, installedOrder);
    const QSet<QString> set(ids.cbegin(), ids.cend());
    QCOMPARE(packageIdsOf(buildStateDocument(m_catalog, QStringLiteral("/r"), set)), stateOrder);
    QCOMPARE(
        packageIdsOf(buildInstalledPackagesDocument(m_catalog, QStringLiteral("/r"), set)), installedOrder);
}

void TestManifestFiles::currentCheckMatchesBuiltDocuments_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("current");
    QTest::newRow("as built") << QString() << true;
    QTest::newRow("no time stamp") << QStringLiteral("generated_at") << true;
    QTest::newRow("code written as 2.0") << QStringLiteral("double") << true;
    QTest::newRow("version changed") << QStringLiteral("version") << false;
    QTest::newRow("extra key in an entry") << QStringLiteral("extra") << false;
    QTest::newRow("packages reordered") << QStringLiteral("reorder") << false;
    QTest::newRow("another root") << QStringLiteral("vexa_root") << false;
}

// The check of a file read from disk agrees with comparing it to the document the writer builds.
void TestManifestFiles::currentCheckMatchesBuiltDocuments()
{
    QFETCH(QString, edit);
    QFETCH(bool, current);
    const QString root = QStringLiteral("/srv/vexa/root");
    const QSet<QString> ids { Support, Zlib, OpenSsl, Qt6 };
    const auto edited = [&edit](const QJsonDocument &built) {
        QJsonObject document = built.object();
        QJsonArray packages = document.value(QStringLiteral("packages")).toArray();
        QJsonObject first = packages.first().toObject();
        if (edit == QLatin1String("generated_at"))
            document.remove(edit);
        else if (edit == QLatin1String("double"))
            first.insert(QStringLiteral("internal_version_code"),
                first.value(QStringLiteral("internal_version_code")).toDouble());
        else if (edit == QLatin1String("version") || edit == QLatin1String("extra"))
            first.insert(edit, QStringLiteral("9.9"));
        else if (edit == QLatin1String("vexa_root"))
            document.insert(edit, QStringLiteral("/srv/other"));
        packages.replace(0, first);
        if (edit == QLatin1String("reorder"))
            packages.append(packages.takeAt(0));
        document.insert(QStringLiteral("packages"), packages);
        return QJsonDocument(document);
    };
    QCOMPARE(stateDocumentIsCurrent(edited(buildStateDocument(m_catalog, root, ids)), m_catalog, root, ids),
        current);
    QCOMPARE(installedPackagesDocumentIsCurrent(
                 edited(buildInstalledPackagesDocument(m_catalog, root, ids)), m_catalog, root, ids),
        current);
}

void TestManifestFiles::generatedAtFormat()
{
    const QDateTime local(QDate(2026, 3, 1), QTime(10, 30, 0), Qt::OffsetFromUTC, 3600);
    const QJsonObject state = buildStateDocument(m_catalog, QStringLiteral("/r"), { Zlib }, local).object();
    QCOMPARE(state.value(QStringLiteral("generated_at")).toString(), QStringLiteral("2026-03-01T09:30:00Z"));
    const QString now = buildStateDocument(m_catalog, QStringLiteral("/r"), { Zlib })
                            .object()
                            .value(QStringLiteral("generated_at"))
                            .toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$"))
                 .match(now)
                 .hasMatch(),
        qPrintable(now));
}

void TestManifestFiles::emptySetWritesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString errorText;
    QVERIFY(writeStateFile(m_catalog, dir.path(), {}, errorText));
    QVERIFY(writeInstalledPackagesFile(m_catalog, dir.path(), {}, errorText));
    QVERIFY(errorText.isEmpty());
    QVERIFY(!QFileInfo::exists(resolveRootPath(dir.path(), ManifestDirectoryPath)));
}

void TestManifestFiles::writtenFilesAreIndentedDocuments()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.filePath(QStringLiteral("new/root"));
    const QSet<QString> set { Qt6, Ninja, Support };
    QString errorText;
    QVERIFY2(writeStateFile(m_catalog, root, set, errorText), qPrintable(errorText));
    QVERIFY2(writeInstalledPackagesFile(m_catalog, root, set, errorText), qPrintable(errorText));

    const QByteArray state = readTestFile(root + QStringLiteral("/manifest/state.json"));
    const QByteArray installed = readTestFile(root + QStringLiteral("/manifest/installed-packages.json"));
    const QJsonObject stateObject = QJsonDocument::fromJson(state).object();
    QCOMPARE(state, QJsonDocument(stateObject).toJson(QJsonDocument::Indented));
    QCOMPARE(installed, buildInstalledPackagesDocument(m_catalog, root, set).toJson(QJsonDocument::Indented));
    QCOMPARE(stateObject.value(QStringLiteral("vexa_root")).toString(), root);

    // An empty install_subdir puts the package at the root itself.
    const QJsonArray packages
        = QJsonDocument::fromJson(installed).object().value(QStringLiteral("packages")).toArray();
    QCOMPARE(packages.size(), 2);
    QCOMPARE(packages.at(0).toObject().value(QStringLiteral("path")).toString(), root);
    QCOMPARE(packages.at(0).toObject().value(QStringLiteral("marker")).toString(),
        root + QStringLiteral("/bin/ninja.exe"));
    // No stray temporary files are left beside the manifests.
    QCOMPARE(QDir(root + QStringLiteral("/manifest"))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        (QStringList { QStringLiteral("installed-packages.json"), QStringLiteral("state.json") }));
}

void TestManifestFiles::rewriteDiffersOnlyInTimestamp()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QSet<QString> set { Qt6, OpenSsl, Zlib };
    const QString statePath = resolveRootPath(dir.path(), StateFileRelativePath);
    QString errorText;
    QVERIFY(writeStateFile(m_catalog, dir.path(), set, errorText));
    QJsonObject first = QJsonDocument::fromJson(readTestFile(statePath)).object();
    // Move the recorded time away so the second write is certain to differ from it.
    first.insert(QStringLiteral("generated_at"), QStringLiteral("2001-01-01T00:00:00Z"));
    QVERIFY(writeTestFile(statePath, QJsonDocument(first).toJson()));
    QVERIFY(writeStateFile(m_catalog, dir.path(), set, errorText));
    QJsonObject second = QJsonDocument::fromJson(readTestFile(statePath)).object();
    QVERIFY(first.value(QStringLiteral("generated_at")) != second.value(QStringLiteral("generated_at")));
    first.remove(QStringLiteral("generated_at"));
    second.remove(QStringLiteral("generated_at"));
    QCOMPARE(first, second);
}

void TestManifestFiles::writeFailures_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<bool>("stateFile");
    QTest::addColumn<QString>("expected");
    QTest::newRow("manifest is a file, state")
        << QStringLiteral("manifest file") << true << QStringLiteral("Failed to create manifest directory.");
    QTest::newRow("manifest is a file, installed")
        << QStringLiteral("manifest file") << false << QStringLiteral("Failed to create manifest directory.");
    QTest::newRow("blank root") << QStringLiteral("blank root") << true
                                << QStringLiteral("Failed to create manifest directory.");
    QTest::newRow("state.json is a directory")
        << QStringLiteral("target directory") << true << QStringLiteral("Failed to write state file at %1");
    QTest::newRow("installed-packages.json is a directory") << QStringLiteral(
        "target directory") << false << QStringLiteral("Failed to write manifest file at %1");
}

void TestManifestFiles::writeFailures()
{
    QFETCH(QString, obstacle);
    QFETCH(bool, stateFile);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString root = dir.path();
    const QString target
        = resolveRootPath(root, stateFile ? StateFileRelativePath : InstalledPackagesFileRelativePath);
    if (obstacle == QLatin1String("manifest file"))
        QVERIFY(writeTestFile(resolveRootPath(root, ManifestDirectoryPath), "not a directory"));
    else if (obstacle == QLatin1String("target directory"))
        QVERIFY(QDir().mkpath(target + QStringLiteral("/inner")));
    else
        root = cleanRootPath(QStringLiteral("   "));

    QString errorText;
    const bool ok = stateFile ? writeStateFile(m_catalog, root, { Zlib }, errorText)
                              : writeInstalledPackagesFile(m_catalog, root, { Zlib }, errorText);
    QVERIFY(!ok);
    QCOMPARE(errorText, expected.contains(QLatin1String("%1")) ? expected.arg(target) : expected);
    QVERIFY(!QFileInfo::exists(QDir::current().filePath(StateFileRelativePath)));
}

// Atomic replacement: when the new file cannot be committed, the old one is still there, whole.
void TestManifestFiles::failedWriteKeepsOldFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path();
    QString errorText;
    QVERIFY(writeStateFile(m_catalog, root, { Zlib }, errorText));
    const QString manifestDir = resolveRootPath(root, ManifestDirectoryPath);
    const QByteArray before = readTestFile(resolveRootPath(root, StateFileRelativePath));
    QFile::setPermissions(manifestDir, QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(manifestDir).isWritable()
        || QFile(manifestDir + QStringLiteral("/probe")).open(QIODevice::WriteOnly)) {
        QFile::setPermissions(manifestDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSKIP("Permissions are not enforced for this user");
    }
    const bool ok = writeStateFile(m_catalog, root, { Zlib, OpenSsl }, errorText);
    QFile::setPermissions(manifestDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!ok);
    QCOMPARE(errorText,
        QStringLiteral("Failed to write state file at %1").arg(resolveRootPath(root, StateFileRelativePath)));
    QCOMPARE(readTestFile(resolveRootPath(root, StateFileRelativePath)), before);
}

QTEST_GUILESS_MAIN(TestManifestFiles)
#include "tst_manifestfiles.moc"
