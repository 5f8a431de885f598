#include "helpexpectations.h"

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

// Runs the built installer programs as a user would start them.
class TestInstallerProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpListsTheOptions_data();
    void helpListsTheOptions();
    void badOptionEndsWithAnError_data();
    void badOptionEndsWithAnError();
    void startsOnTheSampleRepository_data();
    void startsOnTheSampleRepository();

private:
    void addPrograms();
};

namespace {

struct Finished
{
    bool ok = false;
    int exitCode = -1;
    QString standardOutput;
    QString standardError;
};

enum class Session { Offscreen, OverSsh };

// With a `screenshot` path the program saves its main window's first frame there and quits.
Finished runProgram(const QString &program, const QStringList &arguments,
    Session session = Session::Offscreen, const QString &screenshot = QString())
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // A desktop session provides a private runtime directory; without one Qt warns on standard error.
    const QTemporaryDir runtime;
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    for (const char *name : { "VEXA_CATALOG_URL", "VEXA_REPOSITORY_DIR", "VEXA_CLIENT_UPDATE_URL" })
        environment.remove(QLatin1String(name));
    if (!screenshot.isEmpty())
        environment.insert(QStringLiteral("VEXA_SCREENSHOT"), screenshot);
    // As over ssh: no platform chosen and no display to connect to.
    if (session == Session::OverSsh) {
        for (const char *name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
            environment.remove(QLatin1String(name));
    }
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Finished result;
    if (!process.waitForStarted(30000) || !process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.ok = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.standardOutput = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.standardError = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

} // namespace

void TestInstallerProgram::addPrograms()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("installer") << QStringLiteral(VEXA_INSTALLER_PROGRAM);
    QTest::newRow("branded installer") << QStringLiteral(VEXA_BRANDED_INSTALLER_PROGRAM);
}

void TestInstallerProgram::helpListsTheOptions_data()
{
    addPrograms();
}

void TestInstallerProgram::helpListsTheOptions()
{
    QFETCH(QString, program);
    const Finished run = runProgram(program, { QStringLiteral("--help") }, Session::OverSsh);
    QVERIFY(run.ok);
    QCOMPARE(run.exitCode, 0);
    // Word for word what the GUI application prints, which Qt's own -platform option still goes through.
    const Finished throughGui = runProgram(
        program, { QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--help") });
    QCOMPARE(throughGui.exitCode, 0);
    QCOMPARE(run.standardOutput, throughGui.standardOutput);

    // Help wraps long descriptions, so compare with white space runs folded.
    const QString help = run.standardOutput.simplified();
    QVERIFY2(help.contains(QStringLiteral("Custom offline Vexa installer.")), qPrintable(help));
    const QString outOfOrder = vexa::firstEntryOutOfOrder(
        help, QStringList { QStringLiteral("--help") } + vexa::expectedHelpOptions());
    QVERIFY2(outOfOrder.isEmpty(), qPrintable(outOfOrder + QStringLiteral("\n in: ") + help));
    QVERIFY(!help.contains(QStringLiteral("--version")));
}

void TestInstallerProgram::badOptionEndsWithAnError_data()
{
    addPrograms();
}

void TestInstallerProgram::badOptionEndsWithAnError()
{
    QFETCH(QString, program);
    const Finished run = runProgram(program, { QStringLiteral("--bogus") }, Session::OverSsh);
    QVERIFY(run.ok);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.standardError, QStringLiteral("Kestrow Vexa Installer: Unknown option 'bogus'.\n"));
}

void TestInstallerProgram::startsOnTheSampleRepository_data()
{
    addPrograms();
}

void TestInstallerProgram::startsOnTheSampleRepository()
{
    QFETCH(QString, program);
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString screenshot = directory.filePath(QStringLiteral("shots/main window.png"));
    const Finished run = runProgram(program,
        { QStringLiteral("--repository-dir"), QStringLiteral(VEXA_SOURCE_DIR "/examples/repository") },
        Session::Offscreen, screenshot);
    QVERIFY2(run.ok, "the installer did not finish by itself");
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.standardOutput.contains(screenshot), qPrintable(run.standardOutput));
    QCOMPARE(QImage(screenshot).size(), QSize(1500, 920));
    // A clean start reports nothing: the sample offers this very version as its client update, so the
    // self-update check finds nothing newer and stays quiet. Qt's warnings would land here too.
    QCOMPARE(run.standardError, QString());
}

QTEST_GUILESS_MAIN(TestInstallerProgram)
#include "tst_installerprogram.moc"
