// Times one archive operation and prints "seconds=<s> peak_rss_kb=<kb>" (plus a result) on stdout,
// so bench/engine/run-archive-bench.sh can set it against the system's own tools in one run.
//
//   bench_archive sha256   <file>
//   bench_archive download <url> <cache directory> [sha256] [size]
//   bench_archive extract  <archive> <destination>
//   bench_archive copy     <source directory> <destination>

#include "archive/archiveextraction.h"
#include "archive/directorycopy.h"
#include "archive/filedigest.h"
#include "engine/archiveacquisition.h"
#include "support/peakmemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>

using namespace vexa;

namespace {

int usage()
{
    std::fputs("usage: bench_archive sha256 <file> | download <url> <cache dir> [sha256] [size] |"
               " extract <archive> <dest> | copy <source> <dest>\n",
        stderr);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.first();

    QElapsedTimer timer;
    QString errorText;
    QString result;
    bool ok = false;
    timer.start();
    if (command == QLatin1String("sha256") && args.size() == 2) {
        result = sha256OfFile(args.at(1), errorText);
        ok = !result.isEmpty();
    } else if (command == QLatin1String("download") && args.size() >= 3) {
        PackageDefinition package;
        package.package_id = QStringLiteral("bench");
        package.display_name = QStringLiteral("Bench");
        package.payload_url = args.at(1);
        package.sha256 = args.value(3);
        package.size_bytes = args.value(4).toLongLong();
        ok = acquireArchive(QString(), package, args.at(2), result, errorText);
    } else if (command == QLatin1String("extract") && args.size() == 3) {
        ok = extractArchive(args.at(1), args.at(2), errorText);
    } else if (command == QLatin1String("copy") && args.size() == 3) {
        ok = copyDirectoryTree(args.at(1), args.at(2), errorText);
    } else {
        return usage();
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;

    QTextStream out(stdout);
    if (!ok) {
        QTextStream(stderr) << "failed: " << errorText << '\n';
        return 1;
    }
    out << "seconds=" << QString::number(seconds, 'f', 3) << " peak_rss_kb=" << peakResidentKilobytes();
    if (!result.isEmpty())
        out << " result=" << result;
    out << '\n';
    return 0;
}
