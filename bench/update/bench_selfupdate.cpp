// What the client self-update costs at start-up, on the built programs and a loopback server:
//   - the delay the check adds before catalog work starts (time from launch to the catalog request,
//     against a launch with --skip-self-update) with an update server that never answers, one that
//     refuses connections, and one that offers no newer client;
//   - for a client archive of the real program directory: launch to hand-off (the installer's exit)
//     and hand-off to the relaunched installer (its process, then its catalog request).
// Usage: bench_selfupdate [runs]   (default 3; the never-answering server is measured once, since
// every run waits out the whole 15 s manifest time-out)

#include "selfupdatesandbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>

using namespace vexa;

namespace {

const QString ProgramDirectory = QStringLiteral(VEXA_PROGRAM_DIRECTORY);
const QString Installer = QStringLiteral(VEXA_INSTALLER_NAME);

// Polls `done` every 2 ms; the elapsed milliseconds of `clock` when it held, or -1 after a minute.
template<typename Condition> double elapsedWhen(const QElapsedTimer &clock, Condition done)
{
    const qint64 start = clock.elapsed();
    while (!done()) {
        if (clock.elapsed() - start > 60000)
            return -1;
        QThread::msleep(2);
    }
    return clock.nsecsElapsed() / 1e6;
}

// As a desktop launcher starts it: output to nowhere. (A pipe that the launcher closes once the installer
// has exited would end the helper and the relaunched installer at their first line of output.)
void startQuietly(QProcess &process, const QString &program, const QStringList &arguments)
{
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
}

// Launch to catalog request of the installer in build/bin, in milliseconds.
double timeToCatalogRequest(SelfUpdateSandbox &sandbox, const QStringList &updateArguments)
{
    sandbox.server().clearRequestLog();
    QProcess installer;
    installer.setProcessEnvironment(sandbox.programEnvironment());
    QElapsedTimer clock;
    clock.start();
    startQuietly(installer, QDir(ProgramDirectory).filePath(Installer),
        updateArguments
            + QStringList { QStringLiteral("--catalog-url"), sandbox.stallingCatalogUrl().toString() });
    const double milliseconds = elapsedWhen(clock, [&sandbox] { return sandbox.catalogWasRequested(); });
    installer.kill();
    installer.waitForFinished();
    return milliseconds;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

void print(const char *what, double milliseconds)
{
    std::printf("%-58s %9.1f ms\n", what, milliseconds);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = qMax(1, application.arguments().value(1, QStringLiteral("3")).toInt());

    SelfUpdateSandbox noUpdate;
    SelfUpdateSandbox update;
    QString errorText;
    if (!noUpdate.prepare(ProgramDirectory, QStringLiteral("1.0.0"), errorText)
        || !update.prepare(ProgramDirectory, QStringLiteral("9.9.9"), errorText)) {
        std::fprintf(stderr, "%s\n", qPrintable(errorText));
        return 1;
    }
    const QString option = QStringLiteral("--client-update-url");
    const QString stalling
        = noUpdate.server().url(QStringLiteral("/stall/client/client-manifest.json?max_s=60")).toString();

    QList<double> skipped, notOffered, refused, handOff, toProcess, toCatalog;
    for (int run = 0; run < runs; ++run) {
        skipped << timeToCatalogRequest(noUpdate, { QStringLiteral("--skip-self-update") });
        notOffered << timeToCatalogRequest(noUpdate, { option, noUpdate.manifestUrl().toString() });
        refused << timeToCatalogRequest(
            noUpdate, { option, QStringLiteral("http://127.0.0.1:1/client-manifest.json") });
    }
    const double stalled = timeToCatalogRequest(noUpdate, { option, stalling });

    for (int run = 0; run < runs; ++run) {
        SelfUpdateSandbox fresh;
        if (!fresh.prepare(ProgramDirectory, QStringLiteral("9.9.9"), errorText))
            return 1;
        const QString installed = QDir(fresh.installedDirectory()).filePath(Installer);
        if (run == 0) {
            std::printf("client archive: %lld bytes, packed from a program directory of %lld files\n",
                QFileInfo(fresh.archivePath()).size(),
                qint64(QDir(fresh.installedDirectory()).entryList(QDir::Files).size()));
        }
        QProcess installer;
        installer.setProcessEnvironment(fresh.programEnvironment());
        QElapsedTimer clock;
        clock.start();
        startQuietly(installer, installed,
            { option, fresh.manifestUrl().toString(), QStringLiteral("--catalog-url"),
                fresh.stallingCatalogUrl().toString() });
        installer.waitForFinished(120000);
        const double exited = clock.nsecsElapsed() / 1e6;
        RunningProcess relaunched;
        const double started
            = elapsedWhen(clock, [&] { return (relaunched = findRunningProcess(installed)).pid > 0; });
        const double requested = elapsedWhen(clock, [&fresh] { return fresh.catalogWasRequested(); });
        terminateProcess(relaunched.pid);
        handOff << exited;
        toProcess << started - exited;
        toCatalog << requested - exited;
    }

    std::printf("median of %d runs (never-answering server: 1 run)\n", runs);
    print("launch to catalog request, check skipped", median(skipped));
    print("start-up delay, no newer client offered", median(notOffered) - median(skipped));
    print("start-up delay, update server refuses connections", median(refused) - median(skipped));
    print("start-up delay, update server never answers", stalled - median(skipped));
    print("launch to hand-off (check, download, staging, exit)", median(handOff));
    print("hand-off to relaunched installer process", median(toProcess));
    print("hand-off to relaunched installer's catalog request", median(toCatalog));
    return 0;
}
