// Times the controller's interactive paths over a large catalog: a package toggle (plan, list,
// summary and guidance rebuilt) and a search keystroke (list rebuilt). Both run on the GUI thread on
// every click or key, so each should stay under one frame (16 ms).
//
// Usage: bench_controller [package count, default 5000] [rounds, default 40]

#include "controller/installercontroller.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

using namespace vexa;

namespace {

// A catalog shaped like a large distribution: 40 groups, package trees three levels deep, and
// dependency chains reaching back into earlier packages.
QByteArray largeCatalog(int count)
{
    QJsonArray packages;
    for (int i = 0; i < count; ++i) {
        QJsonObject package {
            { QStringLiteral("package_id"), QStringLiteral("com.example.pkg%1").arg(i) },
            { QStringLiteral("display_name"), QStringLiteral("Package %1").arg(i) },
            { QStringLiteral("product"), QStringLiteral("Product%1").arg(i % 97) },
            { QStringLiteral("version"), QStringLiteral("%1.%2.0").arg(i % 7).arg(i % 13) },
            { QStringLiteral("internal_version_code"), 1 + i % 9 },
            { QStringLiteral("toolchain"), i % 11 == 0 ? QString() : QStringLiteral("msvc2022_64") },
            { QStringLiteral("platform"), QStringLiteral("windows-x64") },
            { QStringLiteral("description"),
                QStringLiteral("Synthetic package number %1 for timing").arg(i) },
            { QStringLiteral("group"), QStringLiteral("Group %1").arg(i % 40) },
            { QStringLiteral("marker_relative_path"), QStringLiteral("pkg%1/marker.txt").arg(i) },
            { QStringLiteral("payload_archive"), QStringLiteral("packages/pkg%1.zip").arg(i) },
            { QStringLiteral("size_bytes"), 1048576 + i },
            { QStringLiteral("default_selected"), i % 50 == 0 },
        };
        // Every fourth package is a child of the one before it (trees up to three levels).
        if (i % 4 != 0)
            package.insert(
                QStringLiteral("parent_package_id"), QStringLiteral("com.example.pkg%1").arg(i - 1));
        QJsonArray dependencies;
        for (int step : { 3, 17, 101 }) {
            if (i >= step && (i + step) % 3 == 0)
                dependencies.append(QStringLiteral("com.example.pkg%1").arg(i - step));
        }
        package.insert(QStringLiteral("dependencies"), dependencies);
        packages.append(package);
    }
    return QJsonDocument(QJsonObject { { QStringLiteral("packages"), packages } })
        .toJson(QJsonDocument::Compact);
}

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
        const QString id = QStringLiteral("com.example.pkg%1").arg(count - 1 - (round / 2) * 4);
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
