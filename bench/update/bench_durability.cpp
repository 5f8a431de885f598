// What putting changes on disk before each destructive step costs: the syncs of an apply (one of the
// root's file system per package, before the package leaves the progress record) and of the update
// helper (the staged tree before the swap, the parent directory before the old client is deleted).
// Each case runs as whole processes, the apply child and the update helper, alternately with the syncs
// made and with every sync turned into a no-op by the file system shim, so both see the same disk;
// everything written before is flushed before each timed run. Medians and fastest of the runs:
//   - the sample apply: every package of examples/repository into a fresh root;
//   - one package of 2,000 files of 4 KiB into a fresh root;
//   - the helper replacing an installed client of 100 MB (100 files of 1 MiB) with a new one.
// Usage: bench_durability [runs] [work directory]   (default 5 runs in the temporary directory; the work
// directory must lie on a real disk, as a Vexa root and a program directory do)

#include "applytestsupport.h"
#include "selfupdatesandbox.h"
#include "support/testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

using namespace vexa;

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

// Milliseconds the program took, or -1 when it failed.
double timedRun(const QString &program, const QStringList &arguments, const QString &temporary, bool syncs)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(VEXA_FILESYSTEM_SHIM));
    environment.insert(
        QStringLiteral("VEXA_TEST_SKIP_SYNC"), syncs ? QStringLiteral("0") : QStringLiteral("1"));
    environment.insert(QStringLiteral("VEXA_SKIP_ENV_UPDATE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("TMPDIR"), temporary);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    ::sync();
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        std::fprintf(
            stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        return -1;
    }
    return timer.nsecsElapsed() / 1e6;
}

// A case: `prepare` lays out a fresh target and returns the program and its arguments.
struct Case
{
    const char *name;
    std::function<bool(const QString &run, QString &program, QStringList &arguments)> prepare;
};

void measure(const Case &benchCase, const QString &work, int runs)
{
    QList<double> withSyncs;
    QList<double> withoutSyncs;
    for (int run = 0; run < runs * 2; ++run) {
        // Alternating, the first run of each pair flipping, so neither mode always goes first.
        const bool syncs = (run % 2 == 0) == ((run / 2) % 2 == 0);
        const QString directory = QStringLiteral("%1/run-%2").arg(work).arg(run);
        QString program;
        QStringList arguments;
        if (!QDir().mkpath(directory + QStringLiteral("/tmp"))
            || !benchCase.prepare(directory, program, arguments)) {
            std::fprintf(stderr, "preparing %s failed\n", benchCase.name);
            return;
        }
        const double milliseconds = timedRun(program, arguments, directory + QStringLiteral("/tmp"), syncs);
        (syncs ? withSyncs : withoutSyncs).append(milliseconds);
        QDir(directory).removeRecursively();
    }
    const double synced = median(withSyncs);
    const double unsynced = median(withoutSyncs);
    // The fastest runs as well: on a machine shared with other work they show the cost with the least
    // of others' writes in the file system's sync.
    const double fastestSynced = *std::min_element(withSyncs.cbegin(), withSyncs.cend());
    const double fastestUnsynced = *std::min_element(withoutSyncs.cbegin(), withoutSyncs.cend());
    std::printf(
        "%-30s median %8.1f ms synced %8.1f ms unsynced %+8.1f ms; fastest %8.1f / %8.1f ms %+8.1f ms\n",
        benchCase.name, synced, unsynced, synced - unsynced, fastestSynced, fastestUnsynced,
        fastestSynced - fastestUnsynced);
    std::fflush(stdout);
}

QStringList catalogIds(const QString &catalogFile)
{
    QStringList ids;
    const QJsonArray packages = QJsonDocument::fromJson(readTestFile(catalogFile))
                                    .object()
                                    .value(QStringLiteral("packages"))
                                    .toArray();
    for (const QJsonValue &package : packages)
        ids << package.toObject().value(QStringLiteral("package_id")).toString();
    return ids;
}

bool writeClient(const QString &directory, quint32 seed)
{
    for (int i = 0; i < 100; ++i) {
        if (!writeTestFile(QStringLiteral("%1/lib/part-%2.bin").arg(directory).arg(i),
                seededRandomBytes(1024 * 1024, seed * 1000 + quint32(i))))
            return false;
    }
    return QFile::copy(QStringLiteral("/bin/true"), directory + QStringLiteral("/CompanyVexaInstaller"))
        && writeTestFile(directory + QStringLiteral("/vexa-release.json"),
            R"({"entries": ["CompanyVexaInstaller", "lib", "vexa-release.json"]})");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 5;
    const QString work
        = QDir::cleanPath(argc > 2 ? QString::fromLocal8Bit(argv[2])
                                   : QDir::tempPath() + QStringLiteral("/vexa-bench-durability"));
    const QString inputs = work + QStringLiteral("/inputs");
    QDir(work).removeRecursively();

    const QString sample = QStringLiteral(VEXA_SOURCE_DIR "/examples/repository");
    const QString sampleIds = catalogIds(sample + QStringLiteral("/catalog.json")).join(QLatin1Char(','));

    const QString manyFiles = inputs + QStringLiteral("/many-files");
    FileMap files { { QStringLiteral("many/_marker"), "marker" } };
    for (int i = 0; i < 2000; ++i)
        files.insert(
            QStringLiteral("many/d%1/file-%2").arg(i / 100).arg(i), seededRandomBytes(4096, quint32(i)));
    TestRepository repository(manyFiles);
    QString errorText;
    if (!repository.addArchivePackage(packageEntry(QStringLiteral("com.bench.many"), QStringLiteral("Many"),
                                          1, QStringLiteral("many/_marker"), { QStringLiteral("many") }),
            files)
        || !writeTestFile(manyFiles + QStringLiteral("/catalog.json"), repository.catalogDocument())
        || !writeClient(inputs + QStringLiteral("/old-client"), 1)
        || !writeClient(inputs + QStringLiteral("/new-client"), 2)
        || !writeZip(inputs + QStringLiteral("/client.zip"),
            { QStringLiteral("--dir"), inputs + QStringLiteral("/new-client") }, errorText)) {
        std::fprintf(stderr, "preparing the inputs failed: %s\n", qPrintable(errorText));
        return 1;
    }

    const auto apply = [](const QString &repositoryDirectory, const QString &ids) {
        return [repositoryDirectory, ids](const QString &run, QString &program, QStringList &arguments) {
            program = QStringLiteral(VEXA_APPLY_CHILD);
            arguments = { repositoryDirectory + QStringLiteral("/catalog.json"), repositoryDirectory,
                run + QStringLiteral("/root"), ids };
            return true;
        };
    };
    const Case cases[] = {
        { "sample apply (every package)", apply(sample, sampleIds) },
        { "one package of 2,000 files", apply(manyFiles, QStringLiteral("com.bench.many")) },
        { "client update of 100 MB",
            [&inputs](const QString &run, QString &program, QStringList &arguments) {
                const QString install = run + QStringLiteral("/installed");
                const QString archive = run + QStringLiteral("/tmp/client.zip");
                QString copyError;
                program = QStringLiteral(VEXA_UPDATER_PROGRAM);
                arguments = { QStringLiteral("--install-dir"), install, QStringLiteral("--archive"), archive,
                    QStringLiteral("--relaunch-exe"), install + QStringLiteral("/CompanyVexaInstaller") };
                return QProcess::execute(QStringLiteral("cp"),
                           { QStringLiteral("-a"), inputs + QStringLiteral("/old-client"), install })
                    == 0
                    && QFile::copy(inputs + QStringLiteral("/client.zip"), archive);
            } },
    };
    std::printf("%d runs each, in %s\n", runs, qPrintable(work));
    for (const Case &benchCase : cases)
        measure(benchCase, work, runs);
    QDir(work).removeRecursively();
    return 0;
}
