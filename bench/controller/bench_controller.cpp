// Times the controller's interactive paths over a large catalog: a package toggle (plan, list,
// summary and guidance rebuilt) and a search keystroke (list rebuilt). Both run on the GUI thread on
// every click or key, so each should stay under one frame (16 ms).
//
// Usage: bench_controller [package count, default 5000] [rounds, default 40]

#include "controller/installercontroller.h"
#include "support/largecatalog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

using namespace vexa;

namespace {

struct Stats
{
    double median = 0;
    double mean = 0;
    double worst = 0;
};

Stats summarize(QList<double> samples)
{
    Stats stats;
    if (samples.isEmpty())
        return stats;
    std::sort(samples.begin(), samples.end());
    stats.median = samples.at(samples.size() / 2);
    stats.worst = samples.constLast();
    for (double sample : samples)
        stats.mean += sample;
    stats.mean /= samples.size();
    return stats;
}

void report(QTextStream &out, const char *what, const Stats &stats)
{
    out << QStringLiteral("%1: median %2 ms, mean %3 ms, worst %4 ms\n")
               .arg(QLatin1String(what))
               .arg(stats.median, 0, 'f', 2)
               .arg(stats.mean, 0, 'f', 2)
               .arg(stats.worst, 0, 'f', 2);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 5000;
    const int rounds = args.size() > 2 ? args.at(2).toInt() : 40;
    QTextStream out(stdout);

    PackageCatalog catalog;
    QString errorText;
    if (!loadFromJson(largeCatalog(count), catalog, errorText)) {
        out << "catalog does not load: " << errorText << '\n';
        return 1;
    }
    QTemporaryDir root;
    if (!root.isValid()) {
        out << "no temporary directory\n";
        return 1;
    }

    // No catalog source: refresh inspects and plans without reloading.
    InstallerController controller(std::move(catalog), QString(), QString());
    controller.setRootPath(root.path());
    controller.refresh();
    out << count << " packages, " << controller.packageEntries().size() << " rows, "
        << controller.installCount() << " installs in the default plan\n";

    QElapsedTimer timer;
    QList<double> toggles;
    for (int round = 0; round < rounds; ++round) {
        // Late packages have the longest dependency chains; tick, then untick the same one.
        const QString id = largeCatalogPackageId(count - 1 - (round / 2) * 4);
        timer.start();
        controller.togglePackage(id, round % 2 == 0);
        toggles.append(timer.nsecsElapsed() / 1e6);
    }
    report(out, "togglePackage", summarize(toggles));

    const QStringList keystrokes { QStringLiteral("p"), QStringLiteral("pa"), QStringLiteral("pac"),
        QStringLiteral("pack"), QStringLiteral("package 4"), QStringLiteral("package 49"),
        QStringLiteral("iv3"), QStringLiteral("msvc"), QStringLiteral("timing"), QString() };
    QList<double> searches;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        controller.setSearchText(keystrokes.at(round % keystrokes.size()));
        searches.append(timer.nsecsElapsed() / 1e6);
    }
    report(out, "search keystroke", summarize(searches));
    return 0;
}
