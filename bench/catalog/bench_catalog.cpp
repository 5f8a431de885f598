// Catalog loading speed: loadFromJson against the bare JSON parse of the same bytes, and the graph
// operations over a whole catalog. Parse and load alternate (parse, load, load, parse, ...) so that a
// busy machine slows both alike; each pair gives one ratio. The goal is a whole load within 3x of the
// parse.

#include "catalog/packagecatalog.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace vexa;

namespace {

constexpr int PackageCount = 5000;
constexpr int ChainLength = 4; // each package needs the next one in its chain: depth 3
constexpr int GroupCount = 20;
int Repetitions = 15;

QString packageId(int index)
{
    return QStringLiteral("com.company.vexa.bench.package%1").arg(index, 5, 10, QLatin1Char('0'));
}

QByteArray generateCatalog()
{
    QJsonArray packages;
    for (int i = 0; i < PackageCount; ++i) {
        const QString id = packageId(i);
        QJsonArray dependencies;
        if (i % ChainLength != ChainLength - 1 && i + 1 < PackageCount)
            dependencies.append(packageId(i + 1));
        const QString name = QStringLiteral("Package %1").arg(i);
        QJsonObject cmake {
            { QStringLiteral("prefix_paths"), QJsonArray { QStringLiteral("pkg%1").arg(i) } },
            { QStringLiteral("module_paths"), QJsonArray { QStringLiteral("pkg%1/cmake").arg(i) } },
            { QStringLiteral("config_packages"), QJsonArray { QStringLiteral("Pkg%1").arg(i) } },
            { QStringLiteral("targets"),
                QJsonArray { QStringLiteral("Pkg%1::Pkg%1").arg(i), QStringLiteral("Pkg%1::Core").arg(i) } },
            { QStringLiteral("variables"),
                QJsonObject {
                    { QStringLiteral("Pkg%1_DIR").arg(i), QStringLiteral("pkg%1/lib/cmake").arg(i) } } },
        };
        QJsonObject entry {
            { QStringLiteral("package_id"), id },
            { QStringLiteral("product"), QStringLiteral("Product %1").arg(i / ChainLength) },
            { QStringLiteral("version"), QStringLiteral("1.%1.%2").arg(i % 7).arg(i % 13) },
            { QStringLiteral("internal_version_code"), 1 + i % 5 },
            { QStringLiteral("toolchain"), QStringLiteral("msvc2022") },
            { QStringLiteral("platform"), QStringLiteral("windows-x64") },
            { QStringLiteral("display_name"), name },
            { QStringLiteral("description"),
                QStringLiteral("Benchmark package number %1 with a description of ordinary length.").arg(i) },
            { QStringLiteral("install_subdir"), QStringLiteral("pkg%1").arg(i) },
            { QStringLiteral("marker_relative_path"),
                QStringLiteral("pkg%1/lib/cmake/Pkg%1Config.cmake").arg(i) },
            { QStringLiteral("group"), QStringLiteral("Group %1").arg(i % GroupCount) },
            { QStringLiteral("payload_archive"), QStringLiteral("archives/pkg%1.zip").arg(i) },
            { QStringLiteral("sha256"),
                QStringLiteral("%1").arg(QString::number(i, 16), 64, QLatin1Char('a')) },
            { QStringLiteral("size_bytes"), qint64(1000000) + i },
            { QStringLiteral("dependencies"), dependencies },
            { QStringLiteral("owned_paths"), QJsonArray { QStringLiteral("pkg%1").arg(i) } },
            { QStringLiteral("cmake"), cmake },
            { QStringLiteral("usage"),
                QJsonObject { { QStringLiteral("summary"), QStringLiteral("Use Pkg%1.").arg(i) } } },
            { QStringLiteral("default_selected"), i % 100 == 0 },
        };
        packages.append(entry);
    }
    return QJsonDocument(
        QJsonObject { { QStringLiteral("schema_version"), 1 }, { QStringLiteral("packages"), packages } })
        .toJson(QJsonDocument::Indented);
}

struct Timing
{
    double minimumMs = 0;
    double medianMs = 0;
    double maximumMs = 0;
};

Timing summarize(QList<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return { samples.first(), samples.at(samples.size() / 2), samples.last() };
}

double milliseconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

Timing measure(const std::function<void()> &work)
{
    QList<double> samples;
    for (int i = 0; i < Repetitions; ++i)
        samples.append(milliseconds(work));
    return summarize(samples);
}

} // namespace

int main(int argc, char **argv)
{
    // An optional repetition count keeps profiler runs short.
    if (argc > 1)
        Repetitions = std::max(1, std::atoi(argv[1]));
    const QByteArray data = generateCatalog();
    std::printf("Catalog: %d packages, %d groups, chains of %d, %.1f MiB of JSON, %d repetitions\n\n",
        PackageCount, GroupCount, ChainLength, double(data.size()) / (1024.0 * 1024.0), Repetitions);

    int sink = 0;
    PackageCatalog catalog;
    QString errorText;
    const std::function<void()> parseOnce = [&]() { sink += QJsonDocument::fromJson(data).object().size(); };
    const std::function<void()> loadOnce = [&]() {
        if (!loadFromJson(data, catalog, errorText))
            std::fprintf(stderr, "load failed: %s\n", qPrintable(errorText));
        sink += int(catalog.packages().size());
    };
    QList<double> parseSamples;
    QList<double> loadSamples;
    QList<double> ratios;
    for (int i = 0; i < Repetitions; ++i) {
        const bool parseFirst = i % 2 == 0;
        const double first = milliseconds(parseFirst ? parseOnce : loadOnce);
        const double second = milliseconds(parseFirst ? loadOnce : parseOnce);
        const double parseMs = parseFirst ? first : second;
        const double loadMs = parseFirst ? second : first;
        parseSamples.append(parseMs);
        loadSamples.append(loadMs);
        ratios.append(loadMs / parseMs);
    }
    const Timing parse = summarize(parseSamples);
    const Timing load = summarize(loadSamples);

    QSet<QString> all;
    for (const PackageDefinition &package : catalog.packages())
        all.insert(package.package_id);
    QSet<QString> heads;
    for (int i = 0; i < PackageCount; i += ChainLength)
        heads.insert(packageId(i));

    const Timing closure = measure([&]() { sink += int(catalog.dependencyClosure(heads).size()); });
    const QSet<QString> closed = catalog.dependencyClosure(heads);
    const Timing order = measure([&]() { sink += int(catalog.topologicalOrder(closed).size()); });
    const Timing both
        = measure([&]() { sink += int(catalog.topologicalOrder(catalog.dependencyClosure(all)).size()); });

    std::printf("%-46s %10s %10s\n", "operation", "min ms", "median ms");
    const auto row = [](const char *name, const Timing &t) {
        std::printf("%-46s %10.2f %10.2f\n", name, t.minimumMs, t.medianMs);
    };
    row("QJsonDocument::fromJson", parse);
    row("loadFromJson", load);
    row("dependencyClosure (1250 chain heads)", closure);
    row("topologicalOrder (5000 ids)", order);
    row("closure + order of every package", both);
    const Timing ratio = summarize(ratios);
    std::printf("\nloadFromJson / fromJson, %d interleaved pairs: median %.2fx, range %.2fx-%.2fx; "
                "goal at most 3x: %s\n",
        Repetitions, ratio.medianMs, ratio.minimumMs, ratio.maximumMs,
        ratio.medianMs <= 3 ? "met" : "NOT met");
    return sink == 0 ? 1 : 0;
}
