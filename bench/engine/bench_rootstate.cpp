// Timings of inspection, planning and manifest building on a large root: 1,000 installed packages of a
// 5,000-package catalog. The GUI recomputes the plan on every click, so computePlan must stay far below
// one frame (16 ms). Inspection is set against its floor, the least any inspection must do: read and
// parse both manifests and look for every package's marker. The two alternate (floor, inspection,
// inspection, floor, ...) so that a busy machine slows both alike; the goal is at most 1.5x.
#include "engine/changeplan.h"
#include "engine/manifestfiles.h"
#include "engine/rootinspection.h"
#include "engine/rootpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <utility>

using namespace vexa;

namespace {

constexpr int CatalogSize = 5000;
constexpr int InstalledCount = 1000;

QString idOf(int index)
{
    return QStringLiteral("com.company.vexa.bench%1").arg(index, 5, 10, QLatin1Char('0'));
}

// Each package depends on up to three earlier ones, so closures and orders have real work to do.
QByteArray catalogDocument()
{
    QRandomGenerator random(20260301);
    QJsonArray packages;
    for (int i = 0; i < CatalogSize; ++i) {
        QJsonArray dependencies;
        const int count = i == 0 ? 0 : int(random.bounded(4));
        for (int d = 0; d < count; ++d)
            dependencies.append(idOf(int(random.bounded(i))));
        QJsonObject entry;
        entry.insert(QStringLiteral("package_id"), idOf(i));
        entry.insert(QStringLiteral("display_name"), QStringLiteral("Bench %1").arg(i));
        entry.insert(QStringLiteral("product"), QStringLiteral("bench"));
        entry.insert(QStringLiteral("version"), QStringLiteral("1.0.%1").arg(i));
        entry.insert(QStringLiteral("internal_version_code"), 1 + i % 3);
        entry.insert(QStringLiteral("toolchain"), QStringLiteral("msvc2022-x64"));
        entry.insert(QStringLiteral("install_subdir"), QStringLiteral("pkg%1").arg(i));
        entry.insert(QStringLiteral("marker_relative_path"), QStringLiteral("pkg%1/marker.txt").arg(i));
        entry.insert(QStringLiteral("owned_paths"), QJsonArray { QStringLiteral("pkg%1").arg(i) });
        entry.insert(QStringLiteral("dependencies"), dependencies);
        entry.insert(QStringLiteral("cmake"),
            QJsonObject {
                { QStringLiteral("prefix_paths"), QJsonArray { QStringLiteral("pkg%1").arg(i) } } });
        packages.append(entry);
    }
    return QJsonDocument(QJsonObject { { QStringLiteral("packages"), packages } })
        .toJson(QJsonDocument::Compact);
}

double milliseconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Runs `work` repeatedly and reports the median and fastest run in milliseconds.
void measure(QTextStream &out, const QString &name, int runs, const std::function<void()> &work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    out << qSetFieldWidth(44) << Qt::left << name << qSetFieldWidth(0) << " median "
        << times.at(times.size() / 2) << " ms, min " << times.first() << " ms (" << runs << " runs)\n";
    out.flush();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out << qSetRealNumberPrecision(2) << Qt::fixed;

    PackageCatalog catalog;
    QString errorText;
    if (!loadFromJson(catalogDocument(), catalog, errorText)) {
        out << "catalog: " << errorText << '\n';
        return 1;
    }

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString root = dir.path();

    // Every fifth package installed, with its dependencies, capped at the wanted count.
    QSet<QString> installed;
    for (int i = 0; i < CatalogSize && installed.size() < InstalledCount; i += 5)
        installed.insert(idOf(i));
    installed = catalog.dependencyClosure(installed);
    while (installed.size() > InstalledCount)
        installed.erase(installed.begin());
    for (const QString &id : std::as_const(installed)) {
        QDir().mkpath(resolveRootPath(root, catalog.findPackage(id)->install_subdir));
        QFile marker(resolveRootPath(root, catalog.findPackage(id)->marker_relative_path));
        if (!marker.open(QIODevice::WriteOnly))
            return 1;
    }
    if (!writeStateFile(catalog, root, installed, errorText)
        || !writeInstalledPackagesFile(catalog, root, installed, errorText)) {
        out << errorText << '\n';
        return 1;
    }

    InstalledState state = inspectRoot(catalog, root);
    out << "catalog " << catalog.packages().size() << " packages, root holds " << state.installed.size()
        << " (needs repair: " << (state.needsRepair ? "yes" : "no") << ")\n";

    const auto parse = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && !QJsonDocument::fromJson(file.readAll()).isNull();
    };
    const std::function<void()> floor = [&] {
        int found = int(parse(resolveRootPath(root, StateFileRelativePath)))
            + int(parse(resolveRootPath(root, InstalledPackagesFileRelativePath)));
        const QString prefix = root + QLatin1Char('/');
        for (const PackageDefinition &package : catalog.packages())
            found += int(QFileInfo::exists(prefix + package.marker_relative_path));
        if (found != InstalledCount + 2)
            out << "floor found " << found << " files\n";
    };
    const std::function<void()> inspect = [&] { state = inspectRoot(catalog, root); };
    QList<double> floorTimes, inspectTimes, ratios;
    for (int i = 0; i < 21; ++i) {
        const bool floorFirst = i % 2 == 0;
        const double first = milliseconds(floorFirst ? floor : inspect);
        const double second = milliseconds(floorFirst ? inspect : floor);
        floorTimes.append(floorFirst ? first : second);
        inspectTimes.append(floorFirst ? second : first);
        ratios.append(inspectTimes.last() / floorTimes.last());
    }
    const auto median = [](QList<double> values) {
        std::sort(values.begin(), values.end());
        return values.at(values.size() / 2);
    };
    std::sort(ratios.begin(), ratios.end());
    out << "floor (parse both manifests, stat every marker): median " << median(floorTimes) << " ms\n"
        << "inspectRoot: median " << median(inspectTimes) << " ms\n"
        << "inspectRoot / floor, " << ratios.size() << " interleaved pairs: median " << median(ratios)
        << "x, range " << ratios.first() << "x-" << ratios.last()
        << "x; goal at most 1.5x: " << (median(ratios) <= 1.5 ? "met" : "NOT met") << '\n';
    measure(out, QStringLiteral("readStateRecords"), 20,
        [&] { readStateRecords(resolveRootPath(root, StateFileRelativePath)); });
    measure(out, QStringLiteral("manifestsNeedRepair"), 20,
        [&] { manifestsNeedRepair(catalog, root, state.installed); });

    // A click: the installed set plus one more package and its dependencies.
    QSet<QString> selection = state.installed;
    selection.insert(idOf(CatalogSize - 1));
    ChangePlan plan;
    measure(out, QStringLiteral("computePlan (installed + 1)"), 200,
        [&] { plan = computePlan(catalog, state, selection); });
    QSet<QString> everything;
    for (const PackageDefinition &package : catalog.packages())
        everything.insert(package.package_id);
    measure(out, QStringLiteral("computePlan (all 5,000 selected)"), 50,
        [&] { plan = computePlan(catalog, state, everything); });
    measure(out, QStringLiteral("initialSelection"), 200, [&] { initialSelection(catalog, state); });
    measure(out, QStringLiteral("buildStateDocument"), 50,
        [&] { buildStateDocument(catalog, root, state.installed); });
    measure(out, QStringLiteral("buildInstalledPackagesDocument"), 50,
        [&] { buildInstalledPackagesDocument(catalog, root, state.installed); });
    measure(out, QStringLiteral("writeStateFile"), 20,
        [&] { writeStateFile(catalog, root, state.installed, errorText); });
    return 0;
}
