#include "release/failedupdate.h"
#include "selfupdatesandbox.h"
#include "support/testfiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace vexa;

namespace {

// An installed client whose release recorded "old.txt", a release archive for it and a file recording
// the relaunch.
struct Installation
{
    QTemporaryDir root;
    QString install = root.filePath("installed");
    QString relaunchExe = install + "/CompanyVexaInstaller";
    QString archive = root.filePath("tmp/client.zip");
    QString record = root.filePath("relaunch.json");
    QString release = root.filePath("release");

    // The release: "data/new.txt" and, unless left out, the argument recorder as the installer.
    bool prepare(const QStringList &extraEntries = {}, bool withInstaller = true)
    {
        QString errorText;
        const bool ok = writeTestFile(install + "/old.txt", "old")
            && writeTestFile(install + "/vexa-release.json",
                R"({"entries": ["CompanyVexaInstaller", "data", "old.txt", "vexa-release.json"]})")
            && QDir().mkpath(root.filePath("tmp")) && writeTestFile(release + "/data/new.txt", "new")
            && (!withInstaller || QFile::copy(VEXA_RECORDER_PROGRAM, release + "/CompanyVexaInstaller"))
            && writeZip(archive, QStringList { "--dir", release } + extraEntries, errorText);
        if (!errorText.isEmpty())
            qWarning() << errorText;
        return ok;
    }

    // Packs the release again as bsdtar (Windows' own tar) does when asked for "." of a directory.
    bool packWithBsdtar()
    {
        QProcess bsdtar;
        bsdtar.start("bsdtar", { "-a", "-c", "-f", archive, "-C", release, "." });
        return QFile::remove(archive) && bsdtar.waitForFinished(30000) && bsdtar.exitCode() == 0;
    }

    QStringList arguments(const QString &waitPid = "0") const
    {
        return { "--install-dir", install, "--archive", archive, "--relaunch-exe", relaunchExe, "--wait-pid",
            waitPid };
    }

    void startUpdater(QProcess &updater, const QString &program, const QStringList &arguments) const
    {
        QProcessEnvironment environment = updater.processEnvironment();
        if (environment.isEmpty())
            environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", root.filePath("tmp"));
        environment.insert("VEXA_TEST_RECORD_FILE", record);
        updater.setProcessEnvironment(environment);
        updater.start(program, arguments);
    }

    QStringList relaunchArguments() const
    {
        return QJsonDocument::fromJson(readTestFile(record))
            .object()
            .value("arguments")
            .toVariant()
            .toStringList();
    }
};

QStringList qtLibraries(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(30000);
    QStringList libraries;
    const QRegularExpression qtLibrary("libQt6\\w+");
    for (const QRegularExpressionMatch &match :
        qtLibrary.globalMatch(QString::fromLocal8Bit(process.readAll())))
        libraries << match.captured();
    libraries.removeDuplicates();
    libraries.sort();
    return libraries;
}

} // namespace

// The update helper as a black box: a real archive, a real install directory, and the argument
// recorder in the installer's place.
class TestUpdaterProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linksQtCoreOnly_data();
    void linksQtCoreOnly();
    void updatesAndRelaunches_data();
    void updatesAndRelaunches();
    void waitsForARunningInstaller();
    void failsAndKeepsTheClientWorking_data();
    void failsAndKeepsTheClientWorking();
    void putsEachStepOnDiskBeforeTheNext_data();
    void putsEachStepOnDiskBeforeTheNext();
};

void TestUpdaterProgram::linksQtCoreOnly_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("CompanyVexaUpdater") << VEXA_UPDATER_PROGRAM;
    QTest::newRow("vxup") << VEXA_BRANDED_UPDATER_PROGRAM;
}

void TestUpdaterProgram::linksQtCoreOnly()
{
    QFETCH(QString, program);
    if (QStandardPaths::findExecutable("readelf").isEmpty())
        QSKIP("readelf (binutils) is not installed");
    const QStringList coreOnly { "libQt6Core" };
    QCOMPARE(qtLibraries("readelf", { "-d", program }), coreOnly);
    // Nothing loaded in turn brings in Gui, networking, widgets or Qt Quick.
    QCOMPARE(qtLibraries("ldd", { program }), coreOnly);
}

void TestUpdaterProgram::updatesAndRelaunches_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("waitPid"); // "ended": a process that has already exited
    QTest::addColumn<QStringList>("relaunchArguments");
    QTest::addColumn<QStringList>("expected");
    // "absent", "old release"; "no record": a release from before the record, holding only the
    // installer; "link": a link to a folder holding the old release; "bsdtar": the release packed with
    // its top folder stored as "./"; "no exchange": as "old release" where names cannot be exchanged.
    QTest::addColumn<QString>("install");
    const QStringList skipFlag { "--skip-self-update" };
    QTest::newRow("first install, no arguments: the skip flag alone")
        << VEXA_UPDATER_PROGRAM << "0" << QStringList() << skipFlag << "absent";
    QTest::newRow("arguments keep their order behind the skip flag; negative pid")
        << VEXA_BRANDED_UPDATER_PROGRAM << "-5" << QStringList { "b", "a" }
        << QStringList { "--skip-self-update", "b", "a" } << "old release";
    QTest::newRow("a skip flag already given stays where it is; pid not a number")
        << VEXA_UPDATER_PROGRAM << "soon" << QStringList { "-c", "--skip-self-update", "x y" }
        << QStringList { "-c", "--skip-self-update", "x y" } << "old release";
    QTest::newRow("an installer that has already exited is not waited for")
        << VEXA_UPDATER_PROGRAM << "ended" << QStringList() << skipFlag << "old release";
    QTest::newRow("a release from before the record, holding only its programs")
        << VEXA_UPDATER_PROGRAM << "0" << QStringList() << skipFlag << "no record";
    QTest::newRow("an install directory that is a link: the folder it leads to keeps its files")
        << VEXA_UPDATER_PROGRAM << "0" << QStringList() << skipFlag << "link";
    QTest::newRow("a release packed by bsdtar, its top folder stored as ./")
        << VEXA_UPDATER_PROGRAM << "0" << QStringList() << skipFlag << "bsdtar";
    QTest::newRow("a file system that cannot exchange names: two renames")
        << VEXA_UPDATER_PROGRAM << "0" << QStringList() << skipFlag << "no exchange";
}

void TestUpdaterProgram::updatesAndRelaunches()
{
    QFETCH(QString, program);
    QFETCH(QString, waitPid);
    QFETCH(QStringList, relaunchArguments);
    QFETCH(QStringList, expected);
    QFETCH(QString, install);
    Installation client;
    QVERIFY(client.prepare());
    if (install == "absent")
        QVERIFY(QDir(client.install).removeRecursively());
    if (install == "no record")
        QVERIFY(QFile::remove(client.install + "/old.txt")
            && QFile::remove(client.install + "/vexa-release.json")
            && writeTestFile(client.relaunchExe, "old"));
    const QString linked = client.root.filePath("linked");
    if (install == "link")
        QVERIFY(QDir().rename(client.install, linked) && QFile::link(linked, client.install));
    if (install == "bsdtar" && QStandardPaths::findExecutable("bsdtar").isEmpty())
        QSKIP("bsdtar (libarchive-tools) packs the archive");
    if (install == "bsdtar")
        QVERIFY(client.packWithBsdtar());
    QProcess updater;
    if (install == "no exchange") {
#ifndef VEXA_FILESYSTEM_SHIM
        QSKIP("Refusing an exchange needs LD_PRELOAD (Linux)");
#else
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_PRELOAD", VEXA_FILESYSTEM_SHIM);
        environment.insert("VEXA_TEST_NO_EXCHANGE", "1");
        updater.setProcessEnvironment(environment);
#endif
    }
    // The installer records the version it hands off as failed; the helper clears it once it is done.
    QVERIFY(recordFailedUpdate(client.install, "9.9.9"));
    if (waitPid == "ended") {
        QProcess ended;
        ended.start(VEXA_RECORDER_PROGRAM);
        QVERIFY(ended.waitForFinished());
        waitPid = QString::number(ended.processId());
    }
    QStringList arguments = client.arguments(waitPid);
    for (const QString &argument : relaunchArguments)
        arguments << "--relaunch-arg" << argument;

    client.startUpdater(updater, program, arguments);
    QVERIFY(updater.waitForFinished(60000));
    QVERIFY2(updater.exitCode() == 0, updater.readAllStandardError().constData());
    QTRY_VERIFY(QFileInfo::exists(client.record));
    QCOMPARE(client.relaunchArguments(), expected);
    QCOMPARE(
        QJsonDocument::fromJson(readTestFile(client.record)).object().value("workingDirectory").toString(),
        client.install);
    // Exactly the release, its modes carried through the archive; what the old release recorded and
    // the new one does not ship went with the old directory.
    QCOMPARE(QDir(client.install).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
        QStringList({ "CompanyVexaInstaller", "data" }));
    QCOMPARE(readTestFile(client.install + "/data/new.txt"), QByteArray("new"));
    QVERIFY(QFileInfo(client.relaunchExe).isExecutable() && readTestFile(client.relaunchExe) != "old");
    QCOMPARE(failedUpdateVersion(client.install), QString());
    // A folder behind a link keeps all it held; only the link was replaced.
    if (install == "link")
        QCOMPARE(QDir(linked).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            QStringList({ "old.txt", "vexa-release.json" }));
    QCOMPARE(QDir(client.root.path()).entryList({ ".vexa-installer-*" }, QDir::AllEntries | QDir::Hidden),
        QStringList());
    QCOMPARE(
        QDir(client.root.filePath("tmp")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestUpdaterProgram::waitsForARunningInstaller()
{
    Installation client;
    QVERIFY(client.prepare());
    // Stands in for the installer: runs until its input closes.
    QProcess installer;
    installer.start("cat");
    QVERIFY(installer.waitForStarted());
    QProcess updater;
    client.startUpdater(
        updater, VEXA_UPDATER_PROGRAM, client.arguments(QString::number(installer.processId())));

    QVERIFY(!updater.waitForFinished(300));
    QVERIFY(QFileInfo::exists(client.install + "/old.txt"));
    installer.closeWriteChannel();
    QVERIFY(updater.waitForFinished(30000));
    QCOMPARE(updater.exitCode(), 0);
    QTRY_VERIFY(QFileInfo::exists(client.record));
    QVERIFY(QFileInfo::exists(client.install + "/data/new.txt"));
}

void TestUpdaterProgram::failsAndKeepsTheClientWorking_data()
{
    // "no-installer": the release lacks the installer; "user-file": the person keeps "notes.txt" in the
    // install directory
    QTest::addColumn<QStringList>("archiveEntries");
    QTest::addColumn<QString>("failRename"); // renames of names starting with this fail
    QTest::addColumn<bool>("exchange"); // whether the file system can exchange two names
    QTest::addColumn<QString>("expected"); // in the message; %1: install directory, %2: relaunch executable
    QTest::addColumn<bool>("clientKept");
    QTest::newRow("incomplete command line")
        << QStringList() << QString() << true
        << "The updater did not receive a complete install directory, archive, and relaunch executable."
        << true;
    QTest::newRow("archive entry climbing out with ../")
        << QStringList { "--entry", "../../../escaped.txt", "x" } << QString() << true
        << "../../../escaped.txt" << true;
    QTest::newRow("absolute archive entry") << QStringList { "--entry", "/vexa-updater-absolute.txt", "x" }
                                            << QString() << true << "/vexa-updater-absolute.txt" << true;
    QTest::newRow("the person's own file in the install directory: nothing is touched")
        << QStringList { "user-file" } << QString() << true
        << "The client update was skipped: the program directory %1 also holds notes.txt, which no release "
           "of the installer placed there."
        << true;
    QTest::newRow("the exchange is refused")
        << QStringList() << "installed" << true << "Failed to promote the staged installer directory into %1"
        << true;
    QTest::newRow("no exchange: the old directory cannot be moved away")
        << QStringList() << "installed" << false
        << "Failed to move the current install directory out of the way: %1" << true;
    QTest::newRow("no exchange: promotion fails, the old directory comes back under its own name")
        << QStringList() << ".vexa-installer-staged" << false
        << "Failed to promote the staged installer directory into %1" << true;
    QTest::newRow("relaunch target missing after the swap")
        << QStringList { "no-installer" } << QString() << true
        << "Updated the client, but failed to relaunch %2." << false;
}

void TestUpdaterProgram::failsAndKeepsTheClientWorking()
{
    QFETCH(QStringList, archiveEntries);
    QFETCH(QString, failRename);
    QFETCH(bool, exchange);
    QFETCH(QString, expected);
    QFETCH(bool, clientKept);
    Installation client;
    const bool withInstaller = !archiveEntries.removeOne("no-installer");
    const bool userFile = archiveEntries.removeOne("user-file");
    QVERIFY(client.prepare(archiveEntries, withInstaller));
    if (userFile)
        QVERIFY(writeTestFile(client.install + "/notes.txt", "mine"));
    QStringList arguments = client.arguments();
    if (QTest::currentDataTag() == QByteArray("incomplete command line"))
        arguments = arguments.mid(2);
    QProcess updater;
    if (!failRename.isEmpty() || !exchange) {
#ifndef VEXA_FILESYSTEM_SHIM
        QSKIP("Failing a rename needs LD_PRELOAD (Linux)");
#else
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_PRELOAD", VEXA_FILESYSTEM_SHIM);
        environment.insert("VEXA_TEST_FAIL_RENAME", failRename);
        environment.insert("VEXA_TEST_NO_EXCHANGE", exchange ? "0" : "1");
        updater.setProcessEnvironment(environment);
#endif
    }
    const auto installBefore = treeSnapshot(client.install);

    client.startUpdater(updater, VEXA_UPDATER_PROGRAM, arguments);
    QVERIFY(updater.waitForFinished(60000));
    QCOMPARE(updater.exitCode(), 1);
    const QString report = QString::fromLocal8Bit(updater.readAllStandardError());
    QVERIFY2(report.startsWith("Vexa Installer Update Failed\n"), qPrintable(report));
    QVERIFY2(report.contains(expected.replace("%1", client.install).replace("%2", client.relaunchExe)),
        qPrintable(report));
    if (clientKept)
        QCOMPARE(treeSnapshot(client.install), installBefore);
    else
        QCOMPARE(readTestFile(client.install + "/data/new.txt"), QByteArray("new"));
    QCOMPARE(QDir(client.root.path()).entryList({ ".vexa-installer-backup*" }, QDir::Dirs | QDir::Hidden),
        QStringList());
    if (userFile) {
        QCOMPARE(QDir(client.root.path()).entryList({ ".vexa-installer-*" }, QDir::AllEntries | QDir::Hidden),
            QStringList());
    }
    QVERIFY(!QFileInfo::exists(client.root.filePath("escaped.txt")));
    QVERIFY(!QFileInfo::exists("/vexa-updater-absolute.txt"));
    QVERIFY(!QFileInfo::exists(client.record));
}

void TestUpdaterProgram::putsEachStepOnDiskBeforeTheNext_data()
{
    QTest::addColumn<bool>("exchange");
    QTest::newRow("names exchanged in one step") << true;
    QTest::newRow("two renames") << false;
}

// What a power cut can undo: the staged tree is on disk before the first rename, and the new name is
// on disk before the old client is deleted. The file system shim logs the calls in the order made.
void TestUpdaterProgram::putsEachStepOnDiskBeforeTheNext()
{
    QFETCH(bool, exchange);
#ifndef VEXA_FILESYSTEM_SHIM
    QSKIP("Logging file system calls needs LD_PRELOAD (Linux)");
#else
    Installation client;
    QVERIFY(client.prepare());
    const QString log = client.root.filePath("calls.log");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_PRELOAD", VEXA_FILESYSTEM_SHIM);
    environment.insert("VEXA_TEST_FS_LOG", log);
    environment.insert("VEXA_TEST_NO_EXCHANGE", exchange ? "0" : "1");
    QProcess updater;
    updater.setProcessEnvironment(environment);
    client.startUpdater(updater, VEXA_UPDATER_PROGRAM, client.arguments());
    QVERIFY(updater.waitForFinished(60000));
    QVERIFY2(updater.exitCode() == 0, updater.readAllStandardError().constData());

    const QStringList calls = QString::fromLocal8Bit(readTestFile(log)).split('\n', Qt::SkipEmptyParts);
    const QString parent = QFileInfo(client.root.path()).canonicalFilePath();
    const QString install = parent + "/installed";
    const auto find = [&calls](const QRegularExpression &pattern, qsizetype from = 0) {
        for (qsizetype i = qMax<qsizetype>(from, 0); i < calls.size(); ++i) {
            if (pattern.match(calls.at(i)).hasMatch())
                return i;
        }
        return qsizetype(-1);
    };
    const QString staged = QRegularExpression::escape(parent + "/.vexa-installer-staged-") + "[^ /]+";
    const qsizetype synced = find(QRegularExpression("^syncfs " + staged + "$"));
    const qsizetype firstRename = find(QRegularExpression("^(rename|exchange) "));
    QVERIFY2(synced >= 0 && synced < firstRename, qPrintable(calls.join('\n')));

    // After an exchange the staged name holds the old client; after two renames the backup does.
    QString old = staged;
    qsizetype swapped = -1;
    if (exchange) {
        swapped = find(
            QRegularExpression("^exchange " + staged + " " + QRegularExpression::escape(install) + "$"));
    } else {
        old = QRegularExpression::escape(parent + "/.vexa-installer-backup-") + "[^ /]+";
        const qsizetype movedAway
            = find(QRegularExpression("^rename " + QRegularExpression::escape(install) + " " + old + "$"));
        swapped
            = find(QRegularExpression("^rename " + staged + " " + QRegularExpression::escape(install) + "$"));
        QVERIFY2(movedAway >= 0 && movedAway < swapped, qPrintable(calls.join('\n')));
    }
    QVERIFY2(swapped > synced, qPrintable(calls.join('\n')));
    const qsizetype parentSynced
        = find(QRegularExpression("^fsync " + QRegularExpression::escape(parent) + "$"), swapped);
    const qsizetype oldDeleted = find(QRegularExpression("^(unlink|rmdir) " + old + "(/|$)"), swapped);
    QVERIFY2(parentSynced > swapped && oldDeleted > parentSynced, qPrintable(calls.join('\n')));
#endif
}

QTEST_GUILESS_MAIN(TestUpdaterProgram)
#include "tst_updaterprogram.moc"
