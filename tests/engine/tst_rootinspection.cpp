#include "engine/manifestfiles.h"
#include "engine/packagesinprogress.h"
#include "engine/packageverification.h"
#include "engine/rootinspection.h"
#include "engine/rootpaths.h"
#include "statetestroot.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

namespace {

QByteArray compactScalar(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// Compact JSON text with every object's keys in reverse order, as a hand-edited file might have them.
QByteArray reversedKeysJson(const QJsonValue &value)
{
    QByteArray text;
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        QStringList keys = object.keys();
        std::reverse(keys.begin(), keys.end());
        for (const QString &key : keys)
            text += (text.isEmpty() ? "" : ",") + compactScalar(key) + ':'
                + reversedKeysJson(object.value(key));
        return '{' + text + '}';
    }
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array)
            text += (text.isEmpty() ? "" : ",") + reversedKeysJson(element);
        return '[' + text + ']';
    }
    return compactScalar(value);
}

} // namespace

class TestRootInspection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void blankRoot_data();
    void blankRoot();
    void detection_data();
    void detection();
    void requiredFilesOrder_data();
    void requiredFilesOrder();
    void supportVersion_data();
    void supportVersion();
    void stateRecordFields();
    void corruptStateFile_data();
    void corruptStateFile();
    void repairDetection_data();
    void repairDetection();
    void roundTrip_data();
    void roundTrip();
    void documentMatchesFileRules();
    void inspectionWritesNothing();
    void hostileMarkers_data();
    void hostileMarkers();
    void markersThroughLinksInside_data();
    void markersThroughLinksInside();
    void packagesInProgress_data();
    void packagesInProgress();
    void recordedPackagesChecked();

private:
    QString writeState(const QString &root, const QByteArray &content);
    PackageCatalog m_catalog;
};

void TestRootInspection::initTestCase()
{
    QVERIFY(loadStateTestCatalog(m_catalog));
}

QString TestRootInspection::writeState(const QString &root, const QByteArray &content)
{
    const QString path = resolveRootPath(root, StateFileRelativePath);
    if (!writeTestFile(path, content))
        return QString();
    return path;
}

void TestRootInspection::blankRoot_data()
{
    QTest::addColumn<QString>("root");
    QTest::newRow("empty") << QString();
    QTest::newRow("blank") << QStringLiteral(" \t\n ");
}

void TestRootInspection::blankRoot()
{
    QFETCH(QString, root);
    const InstalledState state = inspectRoot(m_catalog, root);
    QVERIFY(state.current.isEmpty());
    QVERIFY(state.installed.isEmpty());
    QVERIFY(state.stale.isEmpty());
    QVERIFY(state.records.isEmpty());
    QVERIFY(!state.hasInstalledContent);
    QVERIFY(!state.needsRepair);
}

// Each row prepares a real root and states the expected sets; "records" lists the ids expected to
// carry a state record.
void TestRootInspection::detection_data()
{
    QTest::addColumn<QStringList>("placed");
    QTest::addColumn<QStringList>("extraFiles");
    QTest::addColumn<int>("supportVersion");
    QTest::addColumn<QList<QByteArray>>("entries");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("stale");
    QTest::addColumn<QString>("records");
    QTest::addColumn<bool>("hasContent");

    PackageCatalog c;
    QVERIFY(loadStateTestCatalog(c));
    const auto e = [&c](const QString &id, int code) { return stateEntry(c, id, code); };

    QTest::newRow("nothing at all") << QStringList() << QStringList() << 4 << QList<QByteArray>() << QString()
                                    << QString() << QString() << false;
    QTest::newRow("marker only is current without a record")
        << QStringList { Zlib } << QStringList() << 4 << QList<QByteArray>() << Zlib << QString() << QString()
        << true;
    QTest::newRow("package without a marker is never detected")
        << QStringList { Docs } << QStringList() << 4 << QList<QByteArray>() << QString() << QString()
        << QString() << false;
    QTest::newRow("support files with matching version, no record")
        << QStringList { Support } << QStringList() << 4 << QList<QByteArray>() << Support << QString()
        << QString() << true;
    QTest::newRow("support files with other version, no record: not detected")
        << QStringList { Support } << QStringList() << 3 << QList<QByteArray>() << QString() << QString()
        << QString() << false;
    QTest::newRow("support record with version marker 3 of 4 is stale")
        << QStringList { Support } << QStringList() << 3 << QList<QByteArray> { e(Support, 4) } << QString()
        << Support << Support << true;
    QTest::newRow("support record with matching marker is current")
        << QStringList { Support } << QStringList() << 4 << QList<QByteArray> { e(Support, 4) } << Support
        << QString() << Support << true;
    QTest::newRow("lower recorded code is stale")
        << QStringList { OpenSsl } << QStringList() << 4 << QList<QByteArray> { e(OpenSsl, 2) } << QString()
        << OpenSsl << OpenSsl << true;
    QTest::newRow("equal recorded code is current")
        << QStringList { OpenSsl } << QStringList() << 4 << QList<QByteArray> { e(OpenSsl, 3) } << OpenSsl
        << QString() << OpenSsl << true;
    QTest::newRow("higher recorded code is current")
        << QStringList { OpenSsl } << QStringList() << 4 << QList<QByteArray> { e(OpenSsl, 9) } << OpenSsl
        << QString() << OpenSsl << true;
    QTest::newRow("record whose files are gone falls back to files (none)")
        << QStringList() << QStringList() << 4 << QList<QByteArray> { e(OpenSsl, 1) } << QString()
        << QString() << QString() << false;
    QTest::newRow("record with files gone is skipped, others count")
        << QStringList { Zlib } << QStringList() << 4 << QList<QByteArray> { e(OpenSsl, 1), e(Zlib, 1) }
        << Zlib << QString() << Zlib << true;
    QTest::newRow("unknown id with existing marker only sets content")
        << QStringList { Zlib } << QStringList() << 4
        << QList<QByteArray> { R"({"package_id":"org.other.pkg","product":"p","version":"1","toolchain":"t",
                                   "marker_relative_path":"zlib/include/zlib.h"})" }
        << Zlib << QString() << QString() << true;
    QTest::newRow("unknown id alone sets content and nothing else")
        << QStringList() << QStringList() << 4
        << QList<QByteArray> { R"({"package_id":"org.other.pkg","product":"p","version":"1","toolchain":"t",
                                   "marker_relative_path":"manifest/state.json"})" }
        << QString() << QString() << QString() << true;
    QTest::newRow("unknown id with missing marker is nothing")
        << QStringList() << QStringList() << 4
        << QList<QByteArray> { R"({"package_id":"org.other.pkg","product":"p","version":"1","toolchain":"t",
                                   "marker_relative_path":"other/marker"})" }
        << QString() << QString() << QString() << false;
    QTest::newRow("unknown id without marker is nothing")
        << QStringList() << QStringList() << 4
        << QList<
               QByteArray> { R"({"package_id":"org.other.pkg","product":"p","version":"1","toolchain":"t"})" }
        << QString() << QString() << QString() << false;
    QTest::newRow("missing product ignores the record, files still count")
        << QStringList { OpenSsl } << QStringList() << 4
        << QList<QByteArray> { R"({"package_id":"com.company.vexa.openssl","version":"3","toolchain":"t",
                                   "internal_version_code":1})" }
        << OpenSsl << QString() << QString() << true;
    QTest::newRow("missing version ignores the record")
        << QStringList { OpenSsl } << QStringList() << 4
        << QList<QByteArray> { R"({"package_id":"com.company.vexa.openssl","product":"p","toolchain":"t",
                                   "internal_version_code":1})" }
        << OpenSsl << QString() << QString() << true;
    QTest::newRow("blank toolchain ignores the record")
        << QStringList { OpenSsl } << QStringList() << 4
        << QList<QByteArray> { R"({"package_id":"com.company.vexa.openssl","product":"p","version":"3",
                                   "toolchain":"  ","internal_version_code":1})" }
        << OpenSsl << QString() << QString() << true;
    QTest::newRow("missing code reads as 1 and is stale against 3")
        << QStringList { OpenSsl } << QStringList() << 4
        << QList<QByteArray> { R"({"package_id":"com.company.vexa.openssl","product":"p","version":"3",
                                   "toolchain":"t"})" }
        << QString() << OpenSsl << OpenSsl << true;
    QTest::newRow("fractional code reads as 1 but is current against 1")
        << QStringList { Zlib } << QStringList() << 4
        << QList<QByteArray> { R"({"package_id":"com.company.vexa.zlib","product":"p","version":"3",
                                   "toolchain":"t","internal_version_code":2.5})" }
        << Zlib << QString() << Zlib << true;
    QTest::newRow("string code reads as 1")
        << QStringList { OpenSsl } << QStringList() << 4
        << QList<QByteArray> { R"({"package_id":"com.company.vexa.openssl","product":"p","version":"3",
                                   "toolchain":"t","internal_version_code":"3"})" }
        << QString() << OpenSsl << OpenSsl << true;
    QTest::newRow("later duplicate record wins: stale then current")
        << QStringList { OpenSsl } << QStringList() << 4 << QList<QByteArray> { e(OpenSsl, 1), e(OpenSsl, 3) }
        << OpenSsl << QString() << OpenSsl << true;
    QTest::newRow("later duplicate record wins: current then stale")
        << QStringList { OpenSsl } << QStringList() << 4 << QList<QByteArray> { e(OpenSsl, 3), e(OpenSsl, 1) }
        << QString() << OpenSsl << OpenSsl << true;
    QTest::newRow("recorded marker differing from the catalog's needs both")
        << QStringList { Zlib } << QStringList() << 4
        << QList<QByteArray> { R"({"package_id":"com.company.vexa.zlib","product":"p","version":"3",
                                   "toolchain":"t","marker_relative_path":"zlib/old.marker"})" }
        << Zlib << QString() << QString() << true;
    QTest::newRow("recorded marker differing from the catalog's, both present")
        << QStringList { Zlib } << QStringList { QStringLiteral("zlib/old.marker") } << 4
        << QList<QByteArray> { R"({"package_id":"com.company.vexa.zlib","product":"p","version":"3",
                                   "toolchain":"t","marker_relative_path":"zlib/old.marker"})" }
        << Zlib << QString() << Zlib << true;
    QTest::newRow("several packages, mixed")
        << QStringList { Zlib, OpenSsl, Qt6, Ninja } << QStringList() << 4
        << QList<QByteArray> { e(Zlib, 1), e(OpenSsl, 2), e(Qt6, 2) } << joined({ Zlib, Qt6, Ninja })
        << OpenSsl << joined({ Zlib, OpenSsl, Qt6 }) << true;
}

void TestRootInspection::detection()
{
    QFETCH(QStringList, placed);
    QFETCH(QStringList, extraFiles);
    QFETCH(int, supportVersion);
    QFETCH(QList<QByteArray>, entries);
    QFETCH(QString, current);
    QFETCH(QString, stale);
    QFETCH(QString, records);
    QFETCH(bool, hasContent);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path();
    for (const QString &id : placed)
        QVERIFY(placePackageFiles(m_catalog, root, id, supportVersion));
    for (const QString &file : extraFiles)
        QVERIFY(writeTestFile(resolveRootPath(root, file), "x"));
    if (!entries.isEmpty())
        QVERIFY(!writeState(root, stateFile(entries)).isEmpty());

    const InstalledState state = inspectRoot(m_catalog, root);
    QCOMPARE(joined(state.current), current);
    QCOMPARE(joined(state.stale), stale);
    QCOMPARE(joined(state.installed), joined(state.current + state.stale));
    QVERIFY(!state.current.intersects(state.stale));
    const QStringList recordIds = state.records.keys();
    QCOMPARE(recordIds.join(QLatin1Char(',')), records);
    QCOMPARE(state.hasInstalledContent, hasContent);
    // A root holding packages but no manifests (or hand-made ones) always needs a rewrite.
    QCOMPARE(state.needsRepair, !state.installed.isEmpty() || !entries.isEmpty());
}

void TestRootInspection::requiredFilesOrder_data()
{
    QTest::addColumn<QString>("packageId");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("catalog marker only")
        << Zlib << QString() << QStringList { QStringLiteral("zlib/include/zlib.h") };
    QTest::newRow("recorded marker first, trimmed")
        << Zlib << QStringLiteral("  zlib/old.marker ")
        << QStringList { QStringLiteral("zlib/old.marker"), QStringLiteral("zlib/include/zlib.h") };
    QTest::newRow("same marker listed once") << Zlib << QStringLiteral("zlib/include/zlib.h")
                                             << QStringList { QStringLiteral("zlib/include/zlib.h") };
    QTest::newRow("comparison is case-sensitive")
        << Zlib << QStringLiteral("ZLIB/include/zlib.h")
        << QStringList { QStringLiteral("ZLIB/include/zlib.h"), QStringLiteral("zlib/include/zlib.h") };
    QTest::newRow("no marker anywhere") << Docs << QStringLiteral("   ") << QStringList();
    QTest::newRow("support package adds its files")
        << Support << QString()
        << QStringList { QStringLiteral("cmake/toolchains/vexa.cmake"),
               QStringLiteral("cmake/toolchains/vexa-msvc2019-x64.cmake"),
               QStringLiteral("cmake/toolchains/vexa-msvc2022-x64.cmake"),
               QStringLiteral("support/vexa-support-package.version") };
}

void TestRootInspection::requiredFilesOrder()
{
    QFETCH(QString, packageId);
    QFETCH(QString, marker);
    QFETCH(QStringList, expected);
    QCOMPARE(requiredFiles(*m_catalog.findPackage(packageId), marker), expected);
}

void TestRootInspection::supportVersion_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("asDirectory");
    QTest::addColumn<int>("expected");
    QTest::newRow("missing") << QByteArray() << false << 0;
    QTest::newRow("plain") << QByteArray("4") << false << 4;
    QTest::newRow("white space around") << QByteArray(" \t4\r\n\n") << false << 4;
    QTest::newRow("byte order mark from a Windows editor") << QByteArray("\xEF\xBB\xBF"
                                                                         "7\r\n")
                                                           << false << 7;
    QTest::newRow("empty file") << QByteArray("") << false << 0;
    QTest::newRow("not a number") << QByteArray("four") << false << 0;
    QTest::newRow("trailing text") << QByteArray("4 beta") << false << 0;
    QTest::newRow("hexadecimal is not base 10") << QByteArray("0x4") << false << 0;
    QTest::newRow("fraction") << QByteArray("4.0") << false << 0;
    QTest::newRow("too large for int") << QByteArray("99999999999") << false << 0;
    QTest::newRow("invalid UTF-8") << QByteArray("\xff\xfe"
                                                 "4")
                                   << false << 0;
    QTest::newRow("a directory in its place") << QByteArray() << true << 0;
    QTest::newRow("huge file") << QByteArray(1 << 20, ' ') + "4" << false << 0;
}

void TestRootInspection::supportVersion()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, asDirectory);
    QFETCH(int, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = resolveRootPath(dir.path(), SupportVersionMarkerPath);
    if (asDirectory)
        QVERIFY(QDir().mkpath(path));
    else if (!content.isNull())
        QVERIFY(writeTestFile(path, content));
    QCOMPARE(readSupportVersion(dir.path()), expected);
}

void TestRootInspection::stateRecordFields()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = writeState(dir.path(), R"({"packages": [
        {"package_id": " a ", "product": " p ", "version": " 1.0 ", "toolchain": " t ",
         "internal_version_code": -5, "marker_relative_path": " m/x ",
         "owned_paths": [" one ", "", "  ", 7, true, null, {"x": 1}, ["y"], "two"]},
        "not an object",
        {"package_id": "b", "product": "p", "version": "1", "toolchain": "t", "owned_paths": "single"},
        {"package_id": "", "product": "p", "version": "1", "toolchain": "t"}
    ]})");
    QVERIFY(!path.isEmpty());
    const QList<InstalledPackageRecord> records = readStateRecords(path);
    QCOMPARE(records.size(), 2);
    const InstalledPackageRecord &a = records.at(0);
    QCOMPARE(a.packageId, QStringLiteral("a"));
    QCOMPARE(a.product, QStringLiteral("p"));
    QCOMPARE(a.version, QStringLiteral("1.0"));
    QCOMPARE(a.toolchain, QStringLiteral("t"));
    QCOMPARE(a.internalVersionCode, -5);
    QCOMPARE(a.markerRelativePath, QStringLiteral("m/x"));
    // Blank entries would resolve to the root itself; they are dropped, everything else is kept in order.
    QCOMPARE(a.ownedPaths,
        (QStringList {
            QStringLiteral("one"), QStringLiteral("7"), QStringLiteral("true"), QStringLiteral("two") }));
    QCOMPARE(records.at(1).packageId, QStringLiteral("b"));
    QCOMPARE(records.at(1).internalVersionCode, 1);
    QVERIFY(records.at(1).ownedPaths.isEmpty());
}

void TestRootInspection::corruptStateFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("asDirectory");

    QByteArray deep;
    for (int i = 0; i < 5000; ++i)
        deep += "{\"packages\":[";
    for (int i = 0; i < 5000; ++i)
        deep += "]}";
    QByteArray huge = "{\"packages\":[";
    for (int i = 0; i < 200000; ++i)
        huge += "{\"package_id\":1},";
    huge += "{}]}";
    QByteArray oversized = "{\"packages\":[" + stateEntry(PackageCatalog(), Zlib, 1) + "], \"pad\": \"";
    oversized += QByteArray(33 * 1024 * 1024, 'x') + "\"}";

    QTest::newRow("empty file") << QByteArray("") << false;
    QTest::newRow("truncated") << QByteArray(R"({"packages": [{"package_id": "com.company.vexa.zlib")")
                               << false;
    QTest::newRow("array at top level") << QByteArray("[1,2,3]") << false;
    QTest::newRow("packages is an object") << QByteArray(R"({"packages": {"a": 1}})") << false;
    QTest::newRow("packages is a string") << QByteArray(R"({"packages": "com.company.vexa.zlib"})") << false;
    QTest::newRow("packages is empty") << QByteArray(R"({"packages": []})") << false;
    QTest::newRow("elements of wrong types")
        << QByteArray(R"({"packages": [1, "x", null, [], true]})") << false;
    QTest::newRow("fields of wrong types")
        << QByteArray(R"({"packages": [{"package_id": 5, "product": [], "version": {}, "toolchain": true}]})")
        << false;
    QTest::newRow("deep nesting") << deep << false;
    QTest::newRow("huge array of junk") << huge << false;
    QTest::newRow("oversized file") << oversized << false;
    QTest::newRow("invalid UTF-8") << QByteArray(
        "{\"packages\": [{\"package_id\": \"com.company.vexa.zlib\xff\xfe\", \"product\": \"p\","
        " \"version\": \"1\", \"toolchain\": \"t\"}]}")
                                   << false;
    QTest::newRow("binary garbage") << QByteArray("\x00\x01\x02\xff{", 5) << false;
    QTest::newRow("a directory in its place") << QByteArray() << true;
}

// Whatever state.json holds, inspection degrades to file detection: zlib's files are there, so it is
// found (without a record) and the manifests need a rewrite.
void TestRootInspection::corruptStateFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, asDirectory);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path();
    QVERIFY(placePackageFiles(m_catalog, root, Zlib));
    const QString statePath = resolveRootPath(root, StateFileRelativePath);
    if (asDirectory)
        QVERIFY(QDir().mkpath(statePath + QStringLiteral("/inner")));
    else
        QVERIFY(writeTestFile(statePath, content));

    QVERIFY(readStateRecords(statePath).isEmpty());
    const InstalledState state = inspectRoot(m_catalog, root);
    QCOMPARE(joined(state.installed), Zlib);
    QCOMPARE(joined(state.current), Zlib);
    QVERIFY(state.records.isEmpty());
    QVERIFY(state.hasInstalledContent);
    QVERIFY(state.needsRepair);
}

void TestRootInspection::repairDetection_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("needsRepair");
    QTest::newRow("untouched") << QStringLiteral("none") << false;
    QTest::newRow("state file missing") << QStringLiteral("delete state") << true;
    QTest::newRow("installed-packages file missing") << QStringLiteral("delete installed") << true;
    QTest::newRow("keys reordered and compact") << QStringLiteral("reorder keys") << false;
    QTest::newRow("generated_at changed") << QStringLiteral("generated_at") << false;
    QTest::newRow("generated_at removed") << QStringLiteral("drop generated_at") << false;
    QTest::newRow("packages array reordered") << QStringLiteral("reorder packages") << true;
    QTest::newRow("hand-edited version") << QStringLiteral("edit version") << true;
    QTest::newRow("number written as a string") << QStringLiteral("code as string") << true;
    QTest::newRow("extra key added") << QStringLiteral("extra key") << true;
    QTest::newRow("root moved") << QStringLiteral("move root") << true;
    QTest::newRow("installed-packages file corrupt") << QStringLiteral("corrupt installed") << true;
    QTest::newRow("package files gone, manifests left") << QStringLiteral("remove files") << true;
    QTest::newRow("stale package") << QStringLiteral("stale") << true;
}

void TestRootInspection::repairDetection()
{
    QFETCH(QString, change);
    QFETCH(bool, needsRepair);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString root = dir.filePath(QStringLiteral("root"));
    const QSet<QString> ids { Zlib, OpenSsl, Qt6, Support };
    for (const QString &id : ids)
        QVERIFY(placePackageFiles(m_catalog, root, id));
    QString errorText;
    QVERIFY(writeStateFile(m_catalog, root, ids, errorText));
    QVERIFY(writeInstalledPackagesFile(m_catalog, root, ids, errorText));

    const QString statePath = resolveRootPath(root, StateFileRelativePath);
    const QString installedPath = resolveRootPath(root, InstalledPackagesFileRelativePath);
    QJsonObject state = QJsonDocument::fromJson(readTestFile(statePath)).object();
    QJsonArray packages = state.value(QStringLiteral("packages")).toArray();

    if (change == QLatin1String("delete state")) {
        QVERIFY(QFile::remove(statePath));
    } else if (change == QLatin1String("delete installed")) {
        QVERIFY(QFile::remove(installedPath));
    } else if (change == QLatin1String("reorder keys")) {
        state.insert(QStringLiteral("generated_at"), QStringLiteral("2000-01-01T00:00:00Z"));
        const QByteArray text = reversedKeysJson(state);
        QVERIFY(!text.startsWith("{\"generated_at\""));
        QVERIFY(writeTestFile(statePath, text));
    } else if (change == QLatin1String("generated_at")) {
        state.insert(QStringLiteral("generated_at"), QStringLiteral("1999-12-31T23:59:59Z"));
        QVERIFY(writeTestFile(statePath, QJsonDocument(state).toJson()));
    } else if (change == QLatin1String("drop generated_at")) {
        state.remove(QStringLiteral("generated_at"));
        QVERIFY(writeTestFile(statePath, QJsonDocument(state).toJson()));
    } else if (change == QLatin1String("reorder packages")) {
        const QJsonValue first = packages.takeAt(0);
        packages.append(first);
        state.insert(QStringLiteral("packages"), packages);
        QVERIFY(writeTestFile(statePath, QJsonDocument(state).toJson()));
    } else if (change == QLatin1String("edit version") || change == QLatin1String("code as string")
        || change == QLatin1String("extra key")) {
        QJsonObject entry = packages.at(1).toObject();
        if (change == QLatin1String("edit version"))
            entry.insert(QStringLiteral("version"), QStringLiteral("9.9.9"));
        else if (change == QLatin1String("code as string"))
            entry.insert(QStringLiteral("internal_version_code"),
                QString::number(entry.value(QStringLiteral("internal_version_code")).toInt()));
        else
            entry.insert(QStringLiteral("comment"), QStringLiteral("mine"));
        packages.replace(1, entry);
        state.insert(QStringLiteral("packages"), packages);
        QVERIFY(writeTestFile(statePath, QJsonDocument(state).toJson()));
    } else if (change == QLatin1String("move root")) {
        const QString moved = dir.filePath(QStringLiteral("moved"));
        QVERIFY(QDir().rename(root, moved));
        root = moved;
    } else if (change == QLatin1String("corrupt installed")) {
        QVERIFY(writeTestFile(installedPath, "{\"schema_version\": 2, \"packages\": ["));
    } else if (change == QLatin1String("remove files")) {
        for (const QString &id : ids) {
            for (const QString &file : requiredFiles(*m_catalog.findPackage(id), QString()))
                QVERIFY(QFile::remove(resolveRootPath(root, file)));
        }
    } else if (change == QLatin1String("stale")) {
        // The file records an older build than the catalog offers: the rewrite would record the new one.
        for (qsizetype i = 0; i < packages.size(); ++i) {
            QJsonObject entry = packages.at(i).toObject();
            if (entry.value(QStringLiteral("package_id")).toString() == OpenSsl)
                entry.insert(QStringLiteral("internal_version_code"), 1);
            packages.replace(i, entry);
        }
        state.insert(QStringLiteral("packages"), packages);
        QVERIFY(writeTestFile(statePath, QJsonDocument(state).toJson()));
    }

    const InstalledState inspected = inspectRoot(m_catalog, root);
    QCOMPARE(inspected.needsRepair, needsRepair);
    QCOMPARE(inspected.stale.contains(OpenSsl), change == QLatin1String("stale"));
    if (change == QLatin1String("remove files"))
        QVERIFY(inspected.installed.isEmpty());
    else
        QCOMPARE(joined(inspected.installed), joined(ids));
}

void TestRootInspection::roundTrip_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("rootSuffix");
    QTest::newRow("one package") << QStringList { Zlib } << QString();
    QTest::newRow("support package only") << QStringList { Support } << QString();
    QTest::newRow("with dependencies") << QStringList { OpenCv, Qt6, OpenSsl, Zlib } << QString();
    QTest::newRow("everything detectable")
        << QStringList { Support, Ninja, Qt6, OpenCv, OpenSsl, Zlib } << QString();
    QTest::newRow("root given untidily") << QStringList { Ninja, Zlib } << QStringLiteral("//./ ");
}

// The manifests the engine writes inspect back as exactly what was written: same set, all current,
// nothing to repair, a record per package.
void TestRootInspection::roundTrip()
{
    QFETCH(QStringList, ids);
    QFETCH(QString, rootSuffix);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = QStringLiteral(" ") + dir.path() + rootSuffix;
    const QSet<QString> set(ids.cbegin(), ids.cend());
    for (const QString &id : ids)
        QVERIFY(placePackageFiles(m_catalog, root.trimmed(), id));
    QString errorText;
    QVERIFY2(writeStateFile(m_catalog, cleanRootPath(root), set, errorText), qPrintable(errorText));
    QVERIFY2(
        writeInstalledPackagesFile(m_catalog, cleanRootPath(root), set, errorText), qPrintable(errorText));

    // The entry point cleans an untidy root itself.
    const InstalledState state = inspectRoot(m_catalog, root);
    QCOMPARE(joined(state.installed), joined(set));
    QCOMPARE(joined(state.current), joined(set));
    QVERIFY(state.stale.isEmpty());
    QVERIFY(state.hasInstalledContent);
    QVERIFY(!state.needsRepair);
    QCOMPARE(state.records.size(), set.size());
    for (const QString &id : ids) {
        const PackageDefinition *package = m_catalog.findPackage(id);
        const InstalledPackageRecord record = state.records.value(id);
        QCOMPARE(record.internalVersionCode, package->internal_version_code);
        QCOMPARE(record.markerRelativePath, package->marker_relative_path);
        QCOMPARE(record.ownedPaths, package->owned_paths);
    }
}

void TestRootInspection::documentMatchesFileRules()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("doc.json"));
    const QJsonDocument expected = QJsonDocument::fromJson(R"({"a": 1, "generated_at": "x", "b": [1, 2]})");

    QVERIFY(!documentMatchesFile(path, expected)); // missing
    QVERIFY(writeTestFile(path, R"({"b":[1,2],"a":1})"));
    QVERIFY(documentMatchesFile(path, expected));
    QVERIFY(writeTestFile(path, R"({"b":[2,1],"a":1,"generated_at":"x"})"));
    QVERIFY(!documentMatchesFile(path, expected));
    QVERIFY(writeTestFile(path, R"({"b":[1,2],"a":1.0})"));
    QVERIFY(documentMatchesFile(path, expected)); // 1 and 1.0 are the same JSON number
    QVERIFY(writeTestFile(path, R"({"b":[1,2],"a":"1"})"));
    QVERIFY(!documentMatchesFile(path, expected));
    // "generated_at" is ignored only when both sides are objects, and only at the top level.
    const QJsonDocument array = QJsonDocument::fromJson(R"([{"generated_at": 1}])");
    QVERIFY(writeTestFile(path, R"([{"generated_at": 2}])"));
    QVERIFY(!documentMatchesFile(path, array));
    QVERIFY(writeTestFile(path, R"([{"generated_at": 1}])"));
    QVERIFY(documentMatchesFile(path, array));
    QVERIFY(writeTestFile(path, ""));
    QVERIFY(!documentMatchesFile(path, QJsonDocument()));
}

// Inspection reads only: a root with corrupt and stale content is left byte for byte as it was.
void TestRootInspection::inspectionWritesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path();
    QVERIFY(placePackageFiles(m_catalog, root, OpenSsl));
    QVERIFY(!writeState(root, stateFile({ stateEntry(m_catalog, OpenSsl, 1) })).isEmpty());
    const QByteArray before = readTestFile(resolveRootPath(root, StateFileRelativePath));
    const InstalledState state = inspectRoot(m_catalog, root);
    QVERIFY(state.needsRepair);
    QCOMPARE(readTestFile(resolveRootPath(root, StateFileRelativePath)), before);
    QVERIFY(!QFileInfo::exists(resolveRootPath(root, InstalledPackagesFileRelativePath)));
    QCOMPARE(
        QDir(resolveRootPath(root, ManifestDirectoryPath)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
        QStringList { QStringLiteral("state.json") });
}

// A marker that is not the package's own file inside the root never makes the package installed: a
// file of the user's outside (or the root itself) would otherwise pass for it, and the apply would
// "succeed" without installing anything.
void TestRootInspection::hostileMarkers_data()
{
    QTest::addColumn<QString>("catalogMarker");
    QTest::addColumn<QString>("recordedMarker"); // of a package the catalog does not know
    QTest::addColumn<bool>("linkedLib"); // root/lib leads to the directory outside
    const QString none;
    QTest::newRow("catalog marker climbing out to an existing file")
        << QStringLiteral("../outside/canary.txt") << none << false;
    QTest::newRow("catalog marker absolute") << QStringLiteral("{outside}/canary.txt") << none << false;
    QTest::newRow("catalog marker naming the root") << QStringLiteral(".") << none << false;
    QTest::newRow("catalog marker through a link out") << QStringLiteral("lib/canary.txt") << none << true;
    QTest::newRow("recorded marker of an unknown package climbing out")
        << QStringLiteral("p/p.txt") << QStringLiteral("../outside/canary.txt") << false;
    QTest::newRow("recorded marker of an unknown package through a link out")
        << QStringLiteral("p/p.txt") << QStringLiteral("lib/canary.txt") << true;
}

void TestRootInspection::hostileMarkers()
{
    QFETCH(QString, catalogMarker);
    QFETCH(QString, recordedMarker);
    QFETCH(bool, linkedLib);
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("root"));
    const QString outside = dir.filePath(QStringLiteral("outside"));
    QVERIFY(writeTestFile(outside + QStringLiteral("/canary.txt"), "the user's"));
    QVERIFY(QDir().mkpath(root));
    if (linkedLib)
        QVERIFY(QFile::link(outside, root + QStringLiteral("/lib")));
    catalogMarker.replace(QStringLiteral("{outside}"), outside);
    PackageCatalog catalog;
    QString error;
    QVERIFY(loadFromJson(QStringLiteral(R"({"packages": [{"package_id": "com.test.p", "display_name": "P",)"
                                        R"( "marker_relative_path": "%1"}]})")
                             .arg(catalogMarker)
                             .toUtf8(),
        catalog, error));
    if (!recordedMarker.isEmpty()) {
        QVERIFY(!writeState(root,
            stateFile({ QStringLiteral(R"({"package_id": "org.other", "product": "p", "version": "1",)"
                                       R"( "toolchain": "t", "marker_relative_path": "%1"})")
                            .arg(recordedMarker)
                            .toUtf8() }))
                     .isEmpty());
    }

    const InstalledState state = inspectRoot(catalog, root);
    QVERIFY(state.installed.isEmpty());
    QVERIFY(!state.hasInstalledContent);
}

// A link that stays inside the root is the user's own arrangement and the marker behind it counts; a
// link that leads nowhere does not.
void TestRootInspection::markersThroughLinksInside_data()
{
    QTest::addColumn<QString>("linkPath");
    QTest::addColumn<QString>("linkTarget");
    QTest::addColumn<bool>("installed");
    QTest::newRow("directory link inside") << QStringLiteral("p") << QStringLiteral("real") << true;
    QTest::newRow("marker a link to a file inside")
        << QStringLiteral("p/p.txt") << QStringLiteral("real/p.txt") << true;
    QTest::newRow("marker a dangling link")
        << QStringLiteral("p/p.txt") << QStringLiteral("real/gone.txt") << false;
}

void TestRootInspection::markersThroughLinksInside()
{
    QFETCH(QString, linkPath);
    QFETCH(QString, linkTarget);
    QFETCH(bool, installed);
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(writeTestFile(root + QStringLiteral("/real/p.txt"), "marker"));
    if (linkPath.contains(QLatin1Char('/')))
        QVERIFY(QDir().mkpath(root + QStringLiteral("/p")));
    QVERIFY(QFile::link(root + QLatin1Char('/') + linkTarget, root + QLatin1Char('/') + linkPath));
    PackageCatalog catalog;
    QString error;
    QVERIFY(loadFromJson(R"({"packages": [{"package_id": "com.test.p", "display_name": "P",)"
                         R"( "marker_relative_path": "p/p.txt"}]})",
        catalog, error));

    QCOMPARE(inspectRoot(catalog, root).current.contains(QStringLiteral("com.test.p")), installed);
}

void TestRootInspection::packagesInProgress_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("stateRecord");
    QTest::addColumn<bool>("zlibFiles");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("stale");
    const QByteArray zlibInProgress = R"({"packages": ["com.company.vexa.zlib"]})";
    QTest::newRow("in progress with a state record: stale")
        << zlibInProgress << true << true << joined({ OpenSsl }) << joined({ Zlib });
    QTest::newRow("in progress with a state record, markers gone: stale, so its removal is finished")
        << zlibInProgress << true << false << joined({ OpenSsl }) << joined({ Zlib });
    QTest::newRow("in progress, found by its files only: not installed")
        << zlibInProgress << false << true << joined({ OpenSsl }) << QString();
    QTest::newRow("unreadable record names every package")
        << QByteArray("{\"packages\": [") << true << true << QString() << joined({ OpenSsl, Zlib });
    QTest::newRow("empty record changes nothing")
        << QByteArray(R"({"packages": []})") << true << true << joined({ OpenSsl, Zlib }) << QString();
}

void TestRootInspection::packagesInProgress()
{
    QFETCH(QByteArray, record);
    QFETCH(bool, stateRecord);
    QFETCH(bool, zlibFiles);
    QFETCH(QString, current);
    QFETCH(QString, stale);
    QTemporaryDir dir;
    const QString root = dir.path();
    if (zlibFiles)
        QVERIFY(placePackageFiles(m_catalog, root, Zlib));
    QVERIFY(placePackageFiles(m_catalog, root, OpenSsl));
    if (stateRecord) {
        QVERIFY(!writeState(
            root, stateFile({ stateEntry(m_catalog, Zlib, 1), stateEntry(m_catalog, OpenSsl, 3) }))
                     .isEmpty());
    }
    QVERIFY(writeTestFile(resolveRootPath(root, PackagesInProgressRelativePath), record));

    const InstalledState state = inspectRoot(m_catalog, root);
    QCOMPARE(joined(state.current), current);
    QCOMPARE(joined(state.stale), stale);
    QCOMPARE(joined(state.installed), joined(state.current + state.stale));
}

// What `vexa verify` reports: every state.json record against its required files, by the rule above.
void TestRootInspection::recordedPackagesChecked()
{
    QTemporaryDir rootDirectory;
    const QString root = rootDirectory.path();
    QVERIFY(placePackageFiles(m_catalog, root, Zlib));
    QVERIFY(placePackageFiles(m_catalog, root, Support, 3));
    QVERIFY(writeTestFile(root + QStringLiteral("/extras/marker.txt"), "x"));
    const QByteArray unknown = R"({"package_id": "com.example.gone", "product": "Gone", "version": "1",
        "toolchain": "any", "marker_relative_path": "extras/marker.txt"})";
    QVERIFY(!writeState(root,
        stateFile({ stateEntry(m_catalog, Zlib, 1), stateEntry(m_catalog, Ninja, 1), unknown,
            stateEntry(m_catalog, Support, 4) }))
                 .isEmpty());

    const QList<RecordedPackageCheck> checks = checkRecordedPackages(m_catalog, cleanRootPath(root));
    QCOMPARE(checks.size(), 4);
    QCOMPARE(checks.at(0).packageId, Zlib);
    QVERIFY(checks.at(0).isWhole());
    QCOMPARE(checks.at(1).label, displayLabel(*m_catalog.findPackage(Ninja)));
    QCOMPARE(checks.at(1).missingFiles, requiredFiles(*m_catalog.findPackage(Ninja), QString()));
    QCOMPARE(checks.at(2).label, QStringLiteral("com.example.gone"));
    QVERIFY(checks.at(2).isWhole());
    QVERIFY(checks.at(3).missingFiles.isEmpty());
    QVERIFY(!checks.at(3).supportVersionAgrees);
    QCOMPARE(checks.at(3).supportVersionFound, 3);
}

QTEST_GUILESS_MAIN(TestRootInspection)
#include "tst_rootinspection.moc"
