#include "selfupdatesandbox.h"
#include "support/testfiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace vexa;

namespace {

// An installed client holding "old.txt", a release archive for it and a file recording the relaunch.
struct Installation
{
    QTemporaryDir root;
    QString install = root.filePath("installed");
    QString relaunchExe = install + "/CompanyVexaInstaller";
    QString archive = root.filePath("tmp/client.zip");
    QString record = root.filePath("relaunch.json");

    // The release: "data/new.txt" and, unless left out, the argument recorder as the installer.
    bool prepare(const QStringList &extraEntries = {}, bool withInstaller = true)
    {
        const QString release = root.filePath("release");
        QString errorText;
        const bool ok = writeTestFile(install + "/old.txt", "old") && QDir().mkpath(root.filePath("tmp"))
            && writeTestFile(release + "/data/new.txt", "new")
            && (!withInstaller || QFile::copy(VEXA_RECORDER_PROGRAM, release + "/CompanyVexaInstaller"))
            && writeZip(archive, QStringList { "--dir", release } + extraEntries, errorText);
        if (!errorText.isEmpty())
            qWarning() << errorText;
        return ok;
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
    // "absent", "old release"; "shared": with the user's own files; "link": a link to such a folder;
    // "stuck": as "shared", but the user's folder "projects" cannot be moved.
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
    QTest::newRow("a folder shared with the user's files keeps them; the release replaces its own")
        << VEXA_UPDATER_PROGRAM << "0" << QStringList() << skipFlag << "shared";
    QTest::newRow("a user's folder that cannot be moved keeps the old directory")
        << VEXA_UPDATER_PROGRAM << "0" << QStringList() << skipFlag << "stuck";
    QTest::newRow("an install directory that is a link: the folder it leads to keeps its files")
        << VEXA_UPDATER_PROGRAM << "0" << QStringList() << skipFlag << "link";
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
    // The user's folder (~/bin, Downloads) that the installer was run from, or that its link leads to.
    const QString linked = client.root.filePath("user");
    if (install == "link")
        QVERIFY(QDir().rename(client.install, linked) && QFile::link(linked, client.install));
    const bool userFiles = install == "shared" || install == "stuck" || install == "link";
    if (userFiles) {
        QVERIFY(writeTestFile(client.install + "/notes.txt", "mine")
            && writeTestFile(client.install + "/projects/a.txt", "a")
            && writeTestFile(client.install + "/data/stale.txt", "old")
            && writeTestFile(client.relaunchExe, "old"));
    }
    QProcess updater;
    if (install == "stuck") {
#ifndef VEXA_FAIL_RENAME_LIBRARY
        QSKIP("Failing a rename needs LD_PRELOAD (Linux)");
#else
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_PRELOAD", VEXA_FAIL_RENAME_LIBRARY);
        environment.insert("VEXA_TEST_FAIL_RENAME", "projects");
        updater.setProcessEnvironment(environment);
#endif
    }
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
    // The release, its modes carried through the archive and its folders taken whole.
    QCOMPARE(readTestFile(client.install + "/data/new.txt"), QByteArray("new"));
    QVERIFY(!QFileInfo::exists(client.install + "/data/stale.txt"));
    QVERIFY(QFileInfo(client.relaunchExe).isExecutable() && readTestFile(client.relaunchExe) != "old");
    // What the release does not ship stays beside it, the old release's own "old.txt" included; a
    // folder behind a link keeps all it held. An entry that cannot move keeps the old directory.
    QCOMPARE(QFileInfo::exists(client.install + "/old.txt"), install != "absent" && install != "link");
    const QStringList leftOver
        = QDir(client.root.path()).entryList({ ".vexa-installer-*" }, QDir::AllEntries | QDir::Hidden);
    QCOMPARE(leftOver.size(), install == "stuck" ? 1 : 0);
    if (userFiles) {
        const QString userFolder = install == "link" ? linked : client.install;
        const QString projects = install == "stuck" ? client.root.filePath(leftOver.first()) : userFolder;
        QCOMPARE(readTestFile(userFolder + "/notes.txt") + readTestFile(projects + "/projects/a.txt"),
            QByteArray("minea"));
    }
    if (install == "link")
        QCOMPARE(QDir(linked).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            QStringList({ "CompanyVexaInstaller", "data", "notes.txt", "old.txt", "projects" }));
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
    QTest::addColumn<QStringList>("archiveEntries"); // "no-installer": the release lacks the installer
    QTest::addColumn<QString>("failRename"); // renames of names starting with this fail
    QTest::addColumn<QString>("expected"); // in the message; %1: install directory, %2: relaunch executable
    QTest::addColumn<bool>("clientKept");
    QTest::newRow("incomplete command line")
        << QStringList() << QString()
        << "The updater did not receive a complete install directory, archive, and relaunch executable."
        << true;
    QTest::newRow("archive entry climbing out with ../") << QStringList { "--entry", "../../../escaped.txt",
        "x" } << QString() << "../../../escaped.txt" << true;
    QTest::newRow("absolute archive entry") << QStringList { "--entry", "/vexa-updater-absolute.txt", "x" }
                                            << QString() << "/vexa-updater-absolute.txt" << true;
    QTest::newRow("old directory cannot be moved away")
        << QStringList() << "installed"
        << "Failed to move the current install directory out of the way: %1" << true;
    QTest::newRow("promotion fails: the old directory comes back under its own name")
        << QStringList() << ".vexa-installer-staged"
        << "Failed to promote the staged installer directory into %1" << true;
    QTest::newRow("relaunch target missing after the swap")
        << QStringList { "no-installer" } << QString() << "Updated the client, but failed to relaunch %2."
        << false;
}

void TestUpdaterProgram::failsAndKeepsTheClientWorking()
{
    QFETCH(QStringList, archiveEntries);
    QFETCH(QString, failRename);
    QFETCH(QString, expected);
    QFETCH(bool, clientKept);
    Installation client;
    const bool withInstaller = !archiveEntries.removeOne("no-installer");
    QVERIFY(client.prepare(archiveEntries, withInstaller));
    QStringList arguments = client.arguments();
    if (QTest::currentDataTag() == QByteArray("incomplete command line"))
        arguments = arguments.mid(2);
    QProcess updater;
    if (!failRename.isEmpty()) {
#ifndef VEXA_FAIL_RENAME_LIBRARY
        QSKIP("Failing a rename needs LD_PRELOAD (Linux)");
#else
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_PRELOAD", VEXA_FAIL_RENAME_LIBRARY);
        environment.insert("VEXA_TEST_FAIL_RENAME", failRename);
        updater.setProcessEnvironment(environment);
#endif
    }

    client.startUpdater(updater, VEXA_UPDATER_PROGRAM, arguments);
    QVERIFY(updater.waitForFinished(60000));
    QCOMPARE(updater.exitCode(), 1);
    const QString report = QString::fromLocal8Bit(updater.readAllStandardError());
    QVERIFY2(report.startsWith("Vexa Installer Update Failed\n"), qPrintable(report));
    QVERIFY2(report.contains(expected.replace("%1", client.install).replace("%2", client.relaunchExe)),
        qPrintable(report));
    QVERIFY(QFileInfo::exists(client.install + "/old.txt"));
    QCOMPARE(QFileInfo::exists(client.install + "/data/new.txt"), !clientKept);
    QCOMPARE(QDir(client.root.path()).entryList({ ".vexa-installer-backup*" }, QDir::Dirs | QDir::Hidden),
        QStringList());
    QVERIFY(!QFileInfo::exists(client.root.filePath("escaped.txt")));
    QVERIFY(!QFileInfo::exists("/vexa-updater-absolute.txt"));
    QVERIFY(!QFileInfo::exists(client.record));
}

QTEST_GUILESS_MAIN(TestUpdaterProgram)
#include "tst_updaterprogram.moc"
