#include "selfupdatesandbox.h"
#include "support/testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace vexa;

namespace {

const QString Updater = QStringLiteral(VEXA_UPDATER_PROGRAM);
const QString BrandedUpdater = QStringLiteral(VEXA_BRANDED_UPDATER_PROGRAM);
const QString Caption = QStringLiteral("Vexa Installer Update Failed");

// An installed client, a release archive for it and a place to record the relaunch.
struct Installation
{
    QTemporaryDir root;
    QString install = root.filePath(QStringLiteral("installed"));
    QString relaunchExe = install + QStringLiteral("/CompanyVexaInstaller");
    QString archive = root.filePath(QStringLiteral("tmp/client.zip"));
    QString record = root.filePath(QStringLiteral("relaunch.json"));

    // The release: the argument recorder as the installer, and a file the old client lacks.
    bool writeRelease(const QStringList &extraEntries = {}, bool withInstaller = true)
    {
        const QString release = root.filePath(QStringLiteral("release"));
        QString errorText;
        const bool ok = QDir().mkpath(root.filePath(QStringLiteral("tmp")))
            && writeTestFile(release + QStringLiteral("/data/new.txt"), "new")
            && (!withInstaller
                || QFile::copy(
                    QStringLiteral(VEXA_RECORDER_PROGRAM), release + QStringLiteral("/CompanyVexaInstaller")))
            && writeZip(archive, QStringList { QStringLiteral("--dir"), release } + extraEntries, errorText);
        if (!errorText.isEmpty())
            qWarning() << errorText;
        return ok;
    }

    QStringList arguments(const QString &waitPid = QStringLiteral("0")) const
    {
        return { QStringLiteral("--install-dir"), install, QStringLiteral("--archive"), archive,
            QStringLiteral("--relaunch-exe"), relaunchExe, QStringLiteral("--wait-pid"), waitPid };
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), root.filePath(QStringLiteral("tmp")));
        environment.insert(QStringLiteral("VEXA_TEST_RECORD_FILE"), record);
        return environment;
    }

    QStringList siblings(const QString &prefix) const
    {
        return QDir(root.path()).entryList({ prefix + QLatin1Char('*') }, QDir::AllEntries | QDir::Hidden);
    }
};

struct Run
{
    int exitCode = -1;
    QString standardError;
};

Run runUpdater(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess updater;
    updater.setProcessEnvironment(environment);
    updater.start(program, arguments);
    Run run;
    if (updater.waitForFinished(60000) && updater.exitStatus() == QProcess::NormalExit)
        run.exitCode = updater.exitCode();
    run.standardError = QString::fromLocal8Bit(updater.readAllStandardError());
    return run;
}

QJsonObject recorded(const QString &record)
{
    return QJsonDocument::fromJson(readTestFile(record)).object();
}

QStringList neededQtLibraries(const QString &program, const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments + QStringList { program });
    process.waitForFinished(30000);
    QStringList libraries;
    const QRegularExpression qtLibrary(QStringLiteral("libQt6\\w+"));
    for (const QRegularExpressionMatch &match :
        qtLibrary.globalMatch(QString::fromLocal8Bit(process.readAll())))
        libraries << match.captured();
    libraries.removeDuplicates();
    libraries.sort();
    return libraries;
}

} // namespace

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
    QTest::newRow("CompanyVexaUpdater") << Updater;
    QTest::newRow("vxup") << BrandedUpdater;
}

void TestUpdaterProgram::linksQtCoreOnly()
{
    QFETCH(QString, program);
    if (QStandardPaths::findExecutable(QStringLiteral("readelf")).isEmpty())
        QSKIP("readelf (binutils) is not installed");
    QStringList allowed { QStringLiteral("libQt6Core") };
    QStringList loadedWithThem = allowed;
    // Up to Qt 6.4 the zip reader that extraction falls back on is part of Qt Gui (which loads D-Bus).
    if (VEXA_ARCHIVE_NEEDS_QT_GUI) {
        allowed << QStringLiteral("libQt6Gui");
        loadedWithThem << QStringLiteral("libQt6DBus") << QStringLiteral("libQt6Gui");
    }
    QCOMPARE(neededQtLibraries(program, QStringLiteral("readelf"), { QStringLiteral("-d") }), allowed);
    // Nothing they load in turn brings in networking, widgets or Qt Quick.
    QCOMPARE(neededQtLibraries(program, QStringLiteral("ldd"), {}), loadedWithThem);
}

void TestUpdaterProgram::updatesAndRelaunches_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("installExists");
    QTest::addColumn<QString>("waitPid");
    QTest::addColumn<QStringList>("relaunchArguments");
    QTest::addColumn<QStringList>("expectedArguments");
    const QString skip = QStringLiteral("--skip-self-update");
    QTest::newRow("first install, no arguments: the skip flag alone")
        << Updater << false << QStringLiteral("0") << QStringList() << QStringList { skip };
    QTest::newRow("arguments keep their order behind the skip flag; negative pid")
        << BrandedUpdater << true << QStringLiteral("-5")
        << QStringList { QStringLiteral("b"), QStringLiteral("a") }
        << QStringList { skip, QStringLiteral("b"), QStringLiteral("a") };
    QTest::newRow("a skip flag already given is kept where it is; pid not a number")
        << Updater << true << QStringLiteral("soon")
        << QStringList { QStringLiteral("--catalog-url"), skip, QStringLiteral("x y") }
        << QStringList { QStringLiteral("--catalog-url"), skip, QStringLiteral("x y") };
    QTest::newRow("an installer that has already exited is not waited for")
        << Updater << true << QStringLiteral("ended") << QStringList() << QStringList { skip };
}

void TestUpdaterProgram::updatesAndRelaunches()
{
    QFETCH(QString, program);
    QFETCH(bool, installExists);
    QFETCH(QString, waitPid);
    QFETCH(QStringList, relaunchArguments);
    QFETCH(QStringList, expectedArguments);
    Installation client;
    QVERIFY(client.writeRelease());
    if (installExists)
        QVERIFY(writeTestFile(client.install + QStringLiteral("/old.txt"), "old"));
    if (waitPid == QStringLiteral("ended")) {
        QProcess ended;
        ended.start(QStringLiteral(VEXA_RECORDER_PROGRAM), {});
        QVERIFY(ended.waitForFinished());
        waitPid = QString::number(ended.processId());
    }
    QStringList arguments = client.arguments(waitPid);
    for (const QString &argument : relaunchArguments)
        arguments << QStringLiteral("--relaunch-arg") << argument;

    const Run run = runUpdater(program, arguments, client.environment());
    QVERIFY2(run.exitCode == 0, qPrintable(run.standardError));
    QTRY_VERIFY(QFileInfo::exists(client.record));
    const QJsonObject relaunch = recorded(client.record);
    QCOMPARE(relaunch.value(QStringLiteral("arguments")).toVariant().toStringList(), expectedArguments);
    QCOMPARE(relaunch.value(QStringLiteral("workingDirectory")).toString(), client.install);
    // The install directory holds the release and nothing else; the modes came through the archive.
    QCOMPARE(readTestFile(client.install + QStringLiteral("/data/new.txt")), QByteArray("new"));
    QVERIFY(!QFileInfo::exists(client.install + QStringLiteral("/old.txt")));
    QVERIFY(QFileInfo(client.relaunchExe).isExecutable());
    QCOMPARE(client.siblings(QStringLiteral(".vexa-installer-")), QStringList());
    QVERIFY(!QFileInfo::exists(client.archive));
    QCOMPARE(
        QDir(client.root.filePath(QStringLiteral("tmp"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
        QStringList());
}

void TestUpdaterProgram::waitsForARunningInstaller()
{
    Installation client;
    QVERIFY(client.writeRelease());
    QVERIFY(writeTestFile(client.install + QStringLiteral("/old.txt"), "old"));
    // Stands in for the installer: runs until its input closes.
    QProcess installer;
    installer.start(QStringLiteral("cat"), {});
    QVERIFY(installer.waitForStarted());
    QProcess updater;
    updater.setProcessEnvironment(client.environment());
    updater.start(Updater, client.arguments(QString::number(installer.processId())));
    QVERIFY(updater.waitForStarted());

    QVERIFY(!updater.waitForFinished(300));
    QVERIFY(QFileInfo::exists(client.install + QStringLiteral("/old.txt")));
    installer.closeWriteChannel();
    QVERIFY(installer.waitForFinished());
    QVERIFY(updater.waitForFinished(30000));
    QCOMPARE(updater.exitCode(), 0);
    QTRY_VERIFY(QFileInfo::exists(client.record));
    QVERIFY(!QFileInfo::exists(client.install + QStringLiteral("/old.txt")));
}

void TestUpdaterProgram::failsAndKeepsTheClientWorking_data()
{
    QTest::addColumn<QStringList>("archiveEntries");
    QTest::addColumn<QString>("failRename");
    QTest::addColumn<QString>("expectedMessage"); // %1: the install directory, %2: the relaunch executable
    QTest::addColumn<bool>("clientKept");
    const QString entry = QStringLiteral("--entry");
    QTest::newRow("incomplete command line")
        << QStringList() << QString()
        << QStringLiteral(
               "The updater did not receive a complete install directory, archive, and relaunch executable.")
        << true;
    QTest::newRow("archive entry climbing out with ../")
        << QStringList { entry, QStringLiteral("../../../escaped.txt"), QStringLiteral("x") } << QString()
        << QStringLiteral("../../../escaped.txt") << true;
    QTest::newRow("absolute archive entry")
        << QStringList { entry, QStringLiteral("/vexa-updater-test-absolute.txt"), QStringLiteral("x") }
        << QString() << QStringLiteral("/vexa-updater-test-absolute.txt") << true;
    QTest::newRow("old directory cannot be moved away")
        << QStringList() << QStringLiteral("installed")
        << QStringLiteral("Failed to move the current install directory out of the way: %1") << true;
    QTest::newRow("promotion fails: the old directory comes back under its own name")
        << QStringList() << QStringLiteral(".vexa-installer-staged")
        << QStringLiteral("Failed to promote the staged installer directory into %1") << true;
    QTest::newRow("relaunch target missing after the swap")
        << QStringList { QStringLiteral("no-installer") } << QString()
        << QStringLiteral("Updated the client, but failed to relaunch %2.") << false;
}

void TestUpdaterProgram::failsAndKeepsTheClientWorking()
{
    QFETCH(QStringList, archiveEntries);
    QFETCH(QString, failRename);
    QFETCH(QString, expectedMessage);
    QFETCH(bool, clientKept);
    Installation client;
    const bool withInstaller = !archiveEntries.removeOne(QStringLiteral("no-installer"));
    QVERIFY(client.writeRelease(archiveEntries, withInstaller));
    QVERIFY(writeTestFile(client.install + QStringLiteral("/old.txt"), "old"));
    QStringList arguments = client.arguments();
    if (QTest::currentDataTag() == QByteArray("incomplete command line"))
        arguments = arguments.mid(2);
    QProcessEnvironment environment = client.environment();
    if (!failRename.isEmpty()) {
#ifndef VEXA_FAIL_RENAME_LIBRARY
        QSKIP("Failing a rename needs LD_PRELOAD (Linux)");
#else
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(VEXA_FAIL_RENAME_LIBRARY));
        environment.insert(QStringLiteral("VEXA_TEST_FAIL_RENAME"), failRename);
#endif
    }

    const Run run = runUpdater(Updater, arguments, environment);
    QCOMPARE(run.exitCode, 1);
    const QString message = expectedMessage.replace(QStringLiteral("%1"), client.install)
                                .replace(QStringLiteral("%2"), client.relaunchExe);
    QVERIFY2(run.standardError.startsWith(Caption + QLatin1Char('\n')), qPrintable(run.standardError));
    QVERIFY2(run.standardError.contains(message), qPrintable(run.standardError));
    QCOMPARE(readTestFile(client.install + QStringLiteral("/old.txt")).isEmpty(), !clientKept);
    QCOMPARE(client.siblings(QStringLiteral(".vexa-installer-backup")), QStringList());
    QVERIFY(!QFileInfo::exists(client.root.filePath(QStringLiteral("escaped.txt"))));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/vexa-updater-test-absolute.txt")));
    QVERIFY(!QFileInfo::exists(client.record));
}

QTEST_GUILESS_MAIN(TestUpdaterProgram)
#include "tst_updaterprogram.moc"
