// What a release signature costs at start-up for a build with keys, against the same work without:
//   - the check alone (decode the ".sig", verify Ed25519 with one key, and with two keys where the
//     second one signed, as during a key rotation);
//   - loading the client update manifest from a file and from a loopback server (the ".sig" is one
//     more read or request);
//   - loading a catalog: the sample repository's catalog.json from a file, and a package index with
//     100 sidecars from a loopback server (every document brings one more request).
// Usage: bench_signaturecheck [runs]   (default 200 for the in-process and file cases, a tenth of that
// for the server cases)

#include "archive/releasesignature.h"
#include "catalog/catalogloading.h"
#include "support/testcatalog.h"
#include "support/testfiles.h"
#include "support/testhttpserver.h"
#include "support/testreleasekey.h"
#include "update/clientmanifest.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace vexa;

namespace {

// Median microseconds of `runs` calls; -1 when a call fails.
double medianMicroseconds(int runs, const std::function<bool()> &call)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (!call())
            return -1;
        times << clock.nsecsElapsed() / 1e3;
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

void printRow(const char *what, double without, double with)
{
    std::printf("%-52s %10.1f us %10.1f us %+10.1f us\n", what, without, with, with - without);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 200;
    const int serverRuns = qMax(1, runs / 10);

    QString errorText;
    TestReleaseKey key;
    TestReleaseKey rotatedKey;
    QTemporaryDir served;
    if (!key.generate(errorText) || !rotatedKey.generate(errorText)) {
        std::fprintf(stderr, "%s\n", qPrintable(errorText));
        return 1;
    }
    const ReleaseKeys none;
    const ReleaseKeys one = parseReleaseKeys(key.publicKeyBase64());
    const ReleaseKeys two
        = parseReleaseKeys(QString(rotatedKey.publicKeyBase64() + ";" + key.publicKeyBase64()));

    // A manifest as a release publishes it, and a package index with its sidecars.
    const QString manifestPath = served.filePath(QStringLiteral("client/client-manifest.json"));
    writeTestFile(manifestPath,
        R"({"schema_version": 1, "version": "1.1.0", "archive_url": "../CompanyVexaInstallerClient-1.1.0.zip",)"
        R"( "archive_sha256": ")"
            + QByteArray(64, 'a')
            + R"(", "archive_size_bytes": 104857600})"
              "\n");
    QStringList toSign { manifestPath };
    QByteArray index;
    const QJsonObject digest { { "payload_archive", "p.zip" }, { "sha256", QString(64, '0') } };
    for (int i = 0; i < 100; ++i) {
        const QString name = QStringLiteral("package%1").arg(i);
        index += name.toLatin1() + "\n";
        const QString sidecar = served.filePath(QStringLiteral("index/%1.json").arg(name));
        writeTestFile(sidecar, QJsonDocument(testPackageEntry(name, name, digest)).toJson());
        toSign << sidecar;
    }
    const QString indexPath = served.filePath(QStringLiteral("index/vexa-package-names.txt"));
    writeTestFile(indexPath, index);
    const QString sampleCatalog = served.filePath(QStringLiteral("sample/catalog.json"));
    writeTestFile(
        sampleCatalog, readTestFile(QStringLiteral(VEXA_SOURCE_DIR "/examples/repository/catalog.json")));
    toSign << indexPath << sampleCatalog;
    TestHttpServer server(served.path());
    if (!key.sign(toSign, errorText) || !server.start()) {
        std::fprintf(stderr, "%s %s\n", qPrintable(errorText), qPrintable(server.errorString()));
        return 1;
    }

    const QByteArray manifest = readTestFile(manifestPath);
    const QByteArray signature = readTestFile(manifestPath + QStringLiteral(".sig"));
    const QString manifestUrl = server.url(QStringLiteral("/client/client-manifest.json")).toString();
    const QString indexUrl = server.url(QStringLiteral("/index/vexa-package-names.txt")).toString();
    const auto loadManifest = [](const QString &location, const ReleaseKeys &keys) {
        return [location, keys] {
            ClientUpdateManifest loaded;
            QString error;
            return loadClientManifest(location, loaded, error, ClientUpdateManifestTimeoutMs, keys);
        };
    };
    const auto loadCatalogFrom = [](const QString &source, const ReleaseKeys &keys) {
        return [source, keys] {
            LoadedCatalog loaded;
            QString error;
            return loadCatalog(source, loaded, error, {}, {}, keys);
        };
    };

    std::printf("median of %d runs (%d for the loopback server)\n%-52s %13s %13s %13s\n", runs, serverRuns,
        "", "without keys", "with a key", "cost");
    QString reason;
    printRow("check alone, one key", 0,
        medianMicroseconds(runs, [&] { return isSignedByReleaseKey(one, manifest, signature, reason); }));
    printRow("check alone, two keys, the second signed", 0,
        medianMicroseconds(runs, [&] { return isSignedByReleaseKey(two, manifest, signature, reason); }));
    printRow("client manifest from a file", medianMicroseconds(runs, loadManifest(manifestPath, none)),
        medianMicroseconds(runs, loadManifest(manifestPath, one)));
    printRow("client manifest from the loopback server",
        medianMicroseconds(serverRuns, loadManifest(manifestUrl, none)),
        medianMicroseconds(serverRuns, loadManifest(manifestUrl, one)));
    printRow("sample catalog.json from a file",
        medianMicroseconds(runs, loadCatalogFrom(sampleCatalog, none)),
        medianMicroseconds(runs, loadCatalogFrom(sampleCatalog, one)));
    printRow("index + 100 sidecars from the loopback server",
        medianMicroseconds(serverRuns, loadCatalogFrom(indexUrl, none)),
        medianMicroseconds(serverRuns, loadCatalogFrom(indexUrl, one)));
    return 0;
}
