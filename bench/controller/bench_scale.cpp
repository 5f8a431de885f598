// How the interactive work grows with the catalog: catalog load, root inspection, planning, a package
// toggle and a search keystroke at 500, 5,000 and 50,000 packages, in one table. The root holds every
// fifth package. Inspection, planning, toggles and keystrokes run on the GUI thread, so each should
// stay well under one frame (16 ms).
//
// Usage: bench_scale [package counts, comma-separated, default 500,5000,50000] [rounds, default 40]

#include "controller/installercontroller.h"
#include "engine/changeplan.h"
#include "engine/rootinspection.h"
#include "support/largecatalog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>

using namespace vexa;

namespace {

QTextStream out(stdout);

struct Samples
{
    QList<double> ms;

    double median() const
    {
        QList<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted.isEmpty() ? 0 : sorted.at(sorted.size() / 2);
    }
    double best() const { return ms.isEmpty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
    double worst() const { return ms.isEmpty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

Samples timed(int runs, const std::function<void(int)> &work)
{
    Samples samples;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        timer.start();
        work(run);
        samples.ms.append(double(timer.nsecsElapsed()) / 1e6);
    }
    return samples;
}

// A row of the table; `goal` and `met` stay empty where the work has no goal of its own.
void row(const QString &work, int packages, const Samples &samples, const QString &goal = QString(),
    bool met = false)
{
    out << QStringLiteral("%1 %2 %3 %4 %5  %6")
               .arg(work, -18)
               .arg(packages, 8)
               .arg(samples.median(), 10, 'f', 2)
               .arg(samples.best(), 9, 'f', 2)
               .arg(samples.worst(), 9, 'f', 2)
               .arg(goal.isEmpty() ? QString()
                                   : goal + (met ? QStringLiteral(": met") : QStringLiteral(": NOT met")))
        << '\n';
    out.flush();
}

// Fewer repetitions of the slow whole-catalog work at the larger sizes.
int runsFor(int packages, int atFiveHundred)
{
    return std::max(5, atFiveHundred * 500 / std::max(500, packages));
}

struct SizeResult
{
    double planMedian = 0;
};

bool measureSize(int packages, int rounds, SizeResult &result)
{
    const QByteArray document = largeCatalog(packages);
    PackageCatalog catalog;
    QString errorText;
    const Samples load = timed(runsFor(packages, 41), [&](int) {
        if (!loadFromJson(document, catalog, errorText))
            out << "catalog does not load: " << errorText << '\n';
    });
    if (catalog.packages().isEmpty())
        return false;
    row(QStringLiteral("catalog load"), packages, load);

    QTemporaryDir root;
    const QSet<QString> installed
        = root.isValid() ? writeLargeRoot(catalog, root.path(), packages / 5, errorText) : QSet<QString>();
    if (installed.isEmpty()) {
        out << "root not written: " << errorText << '\n';
        return false;
    }
    InstalledState state;
    const Samples inspection
        = timed(runsFor(packages, 41), [&](int) { state = inspectRoot(catalog, root.path()); });
    row(QStringLiteral("inspectRoot"), packages, inspection);

    // A click: what the root holds plus a late package, whose dependency chain reaches far back.
    QSet<QString> selection = initialSelection(catalog, state);
    selection.insert(largeCatalogPackageId(packages - 1));
    ChangePlan plan;
    QStringList warnings;
    const Samples planning = timed(4 * rounds, [&](int) {
        warnings.clear();
        plan = computePlan(catalog, state, selection, &warnings);
    });
    result.planMedian = planning.median();
    if (packages == 50000)
        row(QStringLiteral("computePlan"), packages, planning, QStringLiteral("median under 16 ms"),
            planning.median() < 16);
    else
        row(QStringLiteral("computePlan"), packages, planning);

    // No catalog source: refresh inspects and plans without reloading.
    InstallerController controller(catalog, QString(), QString());
    controller.setRootPath(root.path());
    controller.refresh();
    const Samples toggles = timed(rounds, [&](int round) {
        // Late packages have the longest dependency chains; tick, then untick the same one.
        controller.togglePackage(largeCatalogPackageId(packages - 1 - (round / 2) * 4), round % 2 == 0);
    });
    if (packages == 5000)
        row(QStringLiteral("togglePackage"), packages, toggles,
            QStringLiteral("median under 5 ms, worst under 16 ms"),
            toggles.median() < 5 && toggles.worst() < 16);
    else
        row(QStringLiteral("togglePackage"), packages, toggles);

    const QStringList keystrokes { QStringLiteral("p"), QStringLiteral("pa"), QStringLiteral("pac"),
        QStringLiteral("pack"), QStringLiteral("package 4"), QStringLiteral("package 49"),
        QStringLiteral("iv3"), QStringLiteral("msvc"), QStringLiteral("timing"), QString() };
    const Samples searches = timed(
        rounds, [&](int round) { controller.setSearchText(keystrokes.at(round % keystrokes.size())); });
    row(QStringLiteral("search keystroke"), packages, searches);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QList<int> sizes { 500, 5000, 50000 };
    if (args.size() > 1) {
        sizes.clear();
        for (const QString &size : args.at(1).split(QLatin1Char(',')))
            sizes.append(size.toInt());
    }
    const int rounds = args.size() > 2 ? std::max(2, args.at(2).toInt()) : 40;

    out << QStringLiteral("%1 %2 %3 %4 %5  %6\n")
               .arg(QStringLiteral("work"), -18)
               .arg(QStringLiteral("packages"), 8)
               .arg(QStringLiteral("median ms"), 10)
               .arg(QStringLiteral("best ms"), 9)
               .arg(QStringLiteral("worst ms"), 9)
               .arg(QStringLiteral("goal"));
    QList<double> planMedians;
    for (int packages : std::as_const(sizes)) {
        SizeResult result;
        if (!measureSize(packages, rounds, result))
            return 1;
        planMedians.append(result.planMedian);
    }
    // Linear planning grows ten-fold from 5,000 to 50,000 packages.
    const qsizetype five = sizes.indexOf(5000);
    const qsizetype fifty = sizes.indexOf(50000);
    if (five >= 0 && fifty >= 0 && planMedians.at(five) > 0) {
        const double growth = planMedians.at(fifty) / planMedians.at(five);
        out << QStringLiteral(
            "computePlan growth 5,000 -> 50,000 packages: %1x, goal linear (at most 12x): %2\n")
                   .arg(growth, 0, 'f', 1)
                   .arg(growth <= 12 ? QStringLiteral("met") : QStringLiteral("NOT met"));
    }
    return 0;
}
