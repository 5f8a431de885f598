#include "support/cmakeconsumer.h"
#include "support/smallfilesystem.h"
#include "support/testfiles.h"
#include "support/testhttpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vexa;

namespace {

const QString NlohmannJson = QStringLiteral("com.company.vexa.nlohmann_json");
const QString OpenCv = QStringLiteral("com.company.vexa.opencv");

struct Finished
{
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;

    QJsonObject document() const { return QJsonDocument::fromJson(standardOutput).object(); }
};

// The program's environment for one test: its own cache, configuration and temporary directories,
// and VEXA_ROOT published into that configuration (VEXA_SKIP_ENV_UPDATE cleared).
class VexaSandbox
{
public:
    VexaSandbox()
    {
        for (const char *name : { "cache", "config", "tmp" })
            QDir().mkpath(m_directory.filePath(QLatin1String(name)));
        m_environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_directory.filePath(QStringLiteral("cache")));
        m_environment.insert(
            QStringLiteral("XDG_CONFIG_HOME"), m_directory.filePath(QStringLiteral("config")));
        m_environment.insert(QStringLiteral("TMPDIR"), m_directory.filePath(QStringLiteral("tmp")));
        m_environment.remove(QStringLiteral("VEXA_SKIP_ENV_UPDATE"));
        m_environment.remove(QStringLiteral("VEXA_ROOT"));
    }

    QString path(const QString &name) const { return m_directory.filePath(name); }
    QString variableFile() const { return path(QStringLiteral("config/environment.d/60-vexa-root.conf")); }

    Finished run(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        // No terminal: standard input is closed, the outputs are pipes.
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral(VEXA_PROGRAM), arguments);
        Finished finished;
        if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
            finished.exitCode = process.exitCode();
        finished.standardOutput = process.readAllStandardOutput();
        finished.standardError = process.readAllStandardError();
        return finished;
    }

    // The program on a pseudo-terminal, as a person at a terminal runs it: everything it writes to
    // the terminal, and its exit code.
    Finished runOnTerminal(const QStringList &arguments) const
    {
        QList<QByteArray> argumentBytes { QByteArray(VEXA_PROGRAM) };
        for (const QString &argument : arguments)
            argumentBytes.append(argument.toLocal8Bit());
        QList<QByteArray> environmentBytes;
        for (const QString &entry : m_environment.toStringList())
            environmentBytes.append(entry.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &argument : argumentBytes)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::vector<char *> envp;
        for (QByteArray &entry : environmentBytes)
            envp.push_back(entry.data());
        envp.push_back(nullptr);

        Finished finished;
        int terminal = -1;
        const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
        if (child < 0)
            return finished;
        if (child == 0) {
            execve(argv.front(), argv.data(), envp.data());
            _exit(127);
        }
        char buffer[4096];
        for (;;) {
            const ssize_t count = read(terminal, buffer, sizeof buffer);
            // The terminal reports an error once the program has closed its side.
            if (count <= 0)
                break;
            finished.standardOutput.append(buffer, count);
        }
        close(terminal);
        int status = 0;
        if (waitpid(child, &status, 0) == child && WIFEXITED(status))
            finished.exitCode = WEXITSTATUS(status);
        return finished;
    }

private:
    QTemporaryDir m_directory;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
};

QStringList rootOptions(const QString &catalog, const QString &root)
{
    return { QStringLiteral("--catalog-url"), catalog, QStringLiteral("--root"), root };
}

QString sampleRepository()
{
    return QStringLiteral(VEXA_SOURCE_DIR "/examples/repository");
}

// A repository of one package of 2 MiB that does not compress, published with vexa.
bool publishBigPackage(const VexaSandbox &sandbox, const QString &repository)
{
    const QString payload = sandbox.path(QStringLiteral("payloads/big-1.0-iv1"));
    return writeTestFile(payload + QStringLiteral("/big/data.bin"), seededRandomBytes(2 << 20, 3))
        && writeTestFile(payload + QStringLiteral("/vexa-package.json"),
            R"({"package_id": "com.example.big", "display_name": "Big", "version": "1.0", "product": "Big",
                "toolchain": "any", "group": "Tools", "install_subdir": "big", "default_selected": true,
                "marker_relative_path": "big/data.bin", "owned_paths": ["big"]})")
        && sandbox.run({ QStringLiteral("publish"), payload, QStringLiteral("--out"), repository }).exitCode
        == 0;
}

} // namespace

// The vexa program on a root, run as a CI job or a person at a terminal runs it.
class TestVexaRoot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void provisionVerifyAndRemove();
    void wrongSelections_data();
    void wrongSelections();
    void downloadProgress_data();
    void downloadProgress();
    void refusedForWantOfRoom();
};

void TestVexaRoot::provisionVerifyAndRemove()
{
    VexaSandbox sandbox;
    TestHttpServer server(sampleRepository());
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const QString root = sandbox.path(QStringLiteral("Vexa"));
    const QStringList options = rootOptions(server.baseUrl() + QStringLiteral("/catalog.json"), root);

    // The catalog as the window groups it, nothing installed yet.
    Finished list = sandbox.run(QStringList { QStringLiteral("list"), QStringLiteral("--json") } + options);
    QCOMPARE(list.exitCode, 0);
    QJsonObject document = list.document();
    QCOMPARE(document.value(QLatin1String("schema_version")).toInt(), 1);
    QCOMPARE(document.value(QLatin1String("root")).toString(), root);
    const QJsonArray groups = document.value(QLatin1String("groups")).toArray();
    QCOMPARE(groups.first()[QLatin1String("name")].toString(), QStringLiteral("Vexa"));
    const QJsonArray frameworks = groups.at(1)[QLatin1String("packages")].toArray();
    QCOMPARE(
        frameworks.at(0)[QLatin1String("package_id")].toString(), QStringLiteral("com.company.vexa.qt6"));
    QCOMPARE(frameworks.at(1)[QLatin1String("depth")].toInt(), 1);
    const QJsonObject qt = frameworks.at(0).toObject();
    QCOMPARE(QStringList(qt.keys()),
        (QStringList {
            "depth", "display_name", "internal_version", "package_id", "status", "toolchain", "version" }));
    QCOMPARE(qt.value(QLatin1String("status")).toString(), QStringLiteral("available"));

    // The default selection: changes, said by the exit code.
    Finished plan = sandbox.run(
        QStringList { QStringLiteral("plan"), QStringLiteral("--json"), QStringLiteral("--exit-code") }
        + options);
    QCOMPARE(plan.exitCode, 2);
    document = plan.document();
    QVERIFY(document.value(QLatin1String("has_changes")).toBool());
    QVERIFY(document.value(QLatin1String("install")).toArray().contains(NlohmannJson));
    QVERIFY(document.value(QLatin1String("summary")).toString().contains(QLatin1String("Install:")));
    QCOMPARE(document.value(QLatin1String("lock")).toObject().value(QLatin1String("root_policy")).toString(),
        QStringLiteral("shared"));

    // Applied unattended, with the document alone on standard output and progress beside it.
    Finished apply = sandbox.run(
        QStringList { QStringLiteral("apply"), QStringLiteral("--yes"), QStringLiteral("--json") } + options);
    QVERIFY2(apply.exitCode == 0, apply.standardError.constData());
    QVERIFY(apply.document().value(QLatin1String("applied")).toBool());
    QVERIFY(apply.standardError.contains("Downloaded Vexa CMake Support [iv1]."));
    QCOMPARE(readTestFile(sandbox.variableFile()), QStringLiteral("VEXA_ROOT=%1\n").arg(root).toUtf8());
    QCOMPARE(
        sandbox.run(QStringList { QStringLiteral("plan"), QStringLiteral("--exit-code") } + options).exitCode,
        0);
    QString errorText;
    QVERIFY2(buildNlohmannJsonConsumer(root, sandbox.path(QStringLiteral("consumer")), errorText),
        qPrintable(errorText));

    Finished verify
        = sandbox.run(QStringList { QStringLiteral("verify"), QStringLiteral("--json") } + options);
    QCOMPARE(verify.exitCode, 0);
    QVERIFY(verify.document().value(QLatin1String("ok")).toBool());
    const QJsonObject cache = sandbox.run({ QStringLiteral("cache"), QStringLiteral("--json") }).document();
    // The installer's own cache: archives one fetched, the other finds.
    QCOMPARE(cache.value(QLatin1String("directory")).toString(),
        sandbox.path(QStringLiteral("cache/Kestrow/Kestrow Vexa Installer/archives")));
    QCOMPARE(cache.value(QLatin1String("archives")).toInt(),
        apply.document()[QLatin1String("install")].toArray().size());

    // A removal without --yes and without a terminal is refused, and the root stays as it is.
    const QMap<QString, QByteArray> before = treeSnapshot(root);
    const QStringList removeOpenCv { QStringLiteral("apply"), QStringLiteral("--remove"), OpenCv };
    Finished refused = sandbox.run(removeOpenCv + options);
    QCOMPARE(refused.exitCode, 3);
    QVERIFY(refused.standardError.contains("Run again with --yes to allow the removals."));
    // Without --json the result is text: no document follows it.
    QVERIFY2(!refused.standardOutput.contains("\"applied\""), refused.standardOutput.constData());
    QCOMPARE(treeSnapshot(root), before);
    QVERIFY2(sandbox.run(removeOpenCv + QStringList { QStringLiteral("--yes") } + options).exitCode == 0,
        "removal with --yes");
    const QJsonObject status
        = sandbox.run(QStringList { QStringLiteral("status"), QStringLiteral("--json") } + options)
              .document();
    QVERIFY(!status.value(QLatin1String("needs_repair")).toBool());
    for (const QJsonValue &package : status.value(QLatin1String("installed")).toArray())
        QVERIFY(package[QLatin1String("package_id")].toString() != OpenCv);

    // A file gone from an installed package fails verify, which names it.
    const QString header
        = QStringLiteral("nlohmann_json/share/cmake/nlohmann_json/nlohmann_jsonConfig.cmake");
    QVERIFY(QFile::remove(root + QLatin1Char('/') + header));
    verify = sandbox.run(QStringList { QStringLiteral("verify") } + options);
    QCOMPARE(verify.exitCode, 1);
    const QString named
        = QStringLiteral("BROKEN   nlohmann_json [iv1]: Required files are missing: ") + header;
    QVERIFY2(verify.standardOutput.contains(named.toUtf8()), verify.standardOutput.constData());

    Finished clean = sandbox.run({ QStringLiteral("cache"), QStringLiteral("clean") });
    QCOMPARE(clean.exitCode, 0);
    QCOMPARE(sandbox.run({ QStringLiteral("cache"), QStringLiteral("--json") })
                 .document()[QLatin1String("archives")]
                 .toInt(),
        0);
}

void TestVexaRoot::wrongSelections_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("shown");

    // Nothing here writes: the root need not exist.
    const QStringList options { "--repository-dir", sampleRepository(), "--root",
        QDir::tempPath() + "/Vexa" };
    QTest::newRow("an id the catalog lacks") << QStringList { "plan", "--add", "com.example.none" } + options
                                             << "the catalog has no package \"com.example.none\".";
    QTest::newRow("a dependency of a selected package")
        << QStringList { "apply", "--select", "com.company.vexa.qt6.qtdeclarative", "--remove",
               "com.company.vexa.qt6" }
            + options
        << "You cannot remove this package while these packages remain selected: Qt Declarative (QML and Qt "
           "Quick) [iv2]";
    QTest::newRow("cache with an unknown action")
        << QStringList { "cache", "purge" } << "the only action is \"clean\".";
}

void TestVexaRoot::wrongSelections()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, shown);
    const Finished finished = VexaSandbox().run(arguments);
    QCOMPARE(finished.exitCode, 2);
    QVERIFY2(finished.standardError.contains(shown.toUtf8()), finished.standardError.constData());
    QVERIFY(finished.standardOutput.isEmpty());
}

void TestVexaRoot::downloadProgress_data()
{
    QTest::addColumn<bool>("onTerminal");
    QTest::newRow("a live line on a terminal") << true;
    QTest::newRow("a line every tenth elsewhere") << false;
}

void TestVexaRoot::downloadProgress()
{
    QFETCH(bool, onTerminal);
    VexaSandbox sandbox;
    // Served in small pieces so that the download takes long enough for several reports.
    const QString repository = sandbox.path(QStringLiteral("repository"));
    QVERIFY(publishBigPackage(sandbox, repository));
    TestHttpServer server(repository);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QJsonObject catalog
        = QJsonDocument::fromJson(readTestFile(repository + QStringLiteral("/catalog.json"))).object();
    QJsonArray packages = catalog.value(QLatin1String("packages")).toArray();
    QJsonObject big = packages.at(0).toObject();
    big.insert(QStringLiteral("payload_url"),
        server.url(QStringLiteral("/drip/packages/big-1.0-iv1.zip?chunk=32768&interval_ms=15")).toString());
    packages[0] = big;
    catalog.insert(QStringLiteral("packages"), packages);
    QVERIFY(writeTestFile(repository + QStringLiteral("/catalog.json"), QJsonDocument(catalog).toJson()));

    const QStringList arguments = QStringList {
        QStringLiteral("apply"), QStringLiteral("--yes")
    } + rootOptions(server.baseUrl() + QStringLiteral("/catalog.json"), sandbox.path(QStringLiteral("Vexa")));
    if (onTerminal) {
        const Finished finished = sandbox.runOnTerminal(arguments);
        QVERIFY2(finished.exitCode == 0, finished.standardOutput.constData());
        const QByteArray &shown = finished.standardOutput;
        // Rewritten in place, then ended as a finished line.
        QVERIFY2(shown.count("\rDownloading Big [iv1]  ") >= 2, shown.constData());
        QVERIFY(QRegularExpression(QStringLiteral("\\d+(\\.\\d+)? [KM]B/s  \\d+ s left"))
                    .match(QString::fromUtf8(shown))
                    .hasMatch());
        QVERIFY2(shown.contains("\rDownloaded Big [iv1]  2.00 MB in "), shown.constData());
        QVERIFY(!shown.contains("Downloading Big [iv1] ("));
        return;
    }
    const Finished finished = sandbox.run(arguments);
    QVERIFY2(finished.exitCode == 0, finished.standardError.constData());
    QVERIFY(!finished.standardError.contains('\r'));
    const QStringList lines = QString::fromUtf8(finished.standardError).split(QLatin1Char('\n'));
    QList<int> tenths;
    static const QRegularExpression percentage(QStringLiteral("^Downloading Big \\[iv1\\] \\((\\d+)%\\)$"));
    for (const QString &line : lines) {
        if (const QRegularExpressionMatch match = percentage.match(line); match.hasMatch())
            tenths.append(match.captured(1).toInt() / 10);
    }
    QVERIFY2(tenths.size() >= 5, qPrintable(lines.join(QLatin1Char('\n'))));
    for (qsizetype i = 1; i < tenths.size(); ++i)
        QVERIFY(tenths.at(i) > tenths.at(i - 1));
    QVERIFY(lines.contains(QStringLiteral("Downloading Big [iv1]...")));
    QVERIFY(lines.contains(QStringLiteral("Downloaded Big [iv1].")));
}

void TestVexaRoot::refusedForWantOfRoom()
{
    const SmallFileSystem small(1 << 20);
    if (!small.isMounted())
        QSKIP("mounting a tmpfs needs root or CAP_SYS_ADMIN");
    VexaSandbox sandbox;
    const QString repository = sandbox.path(QStringLiteral("repository"));
    QVERIFY(publishBigPackage(sandbox, repository));
    const QString root = small.path() + QStringLiteral("/Vexa");
    const Finished finished = sandbox.run({ QStringLiteral("apply"), QStringLiteral("--yes"),
        QStringLiteral("--repository-dir"), repository, QStringLiteral("--root"), root });
    QCOMPARE(finished.exitCode, 1);
    QVERIFY2(finished.standardError.contains(
                 QStringLiteral("Not enough free space on %1: needs ").arg(small.path()).toUtf8()),
        finished.standardError.constData());
    QVERIFY(!QFileInfo::exists(root));
}

QTEST_GUILESS_MAIN(TestVexaRoot)
#include "tst_vexaroot.moc"
