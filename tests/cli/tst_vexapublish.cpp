#include "catalog/catalogloading.h"
#include "catalog/catalogsource.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vexa;

namespace {

struct Finished
{
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
};

Finished run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    Finished finished;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        finished.exitCode = process.exitCode();
    finished.standardOutput = process.readAllStandardOutput();
    finished.standardError = process.readAllStandardError();
    return finished;
}

Finished runVexa(const QStringList &arguments)
{
    return run(QStringLiteral(VEXA_PROGRAM), arguments);
}

QStringList samplePayloads()
{
    const QDir payloads(QStringLiteral(VEXA_SOURCE_DIR "/examples/payloads"));
    QStringList directories;
    for (const QString &name : payloads.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        directories.append(payloads.filePath(name));
    return directories;
}

} // namespace

// The vexa program run as a repository maintainer or a CI job runs it.
class TestVexaPublish : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void publishesTheSameBytesTwice_data();
    void publishesTheSameBytesTwice();
    void commandLine_data();
    void commandLine();
    void badPayloadsAreRefused_data();
    void badPayloadsAreRefused();
};

void TestVexaPublish::publishesTheSameBytesTwice_data()
{
    QTest::addColumn<bool>("packageIndex");
    QTest::newRow("catalog.json, signed") << false;
    QTest::newRow("package index, signed, as JSON") << true;
}

void TestVexaPublish::publishesTheSameBytesTwice()
{
    QFETCH(bool, packageIndex);
    QTemporaryDir work;
    const QString key = work.filePath(QStringLiteral("key.pem"));
    const QString publicKey = work.filePath(QStringLiteral("public.pem"));
    QCOMPARE(run(QStringLiteral("openssl"),
                 { QStringLiteral("genpkey"), QStringLiteral("-algorithm"), QStringLiteral("ed25519"),
                     QStringLiteral("-out"), key })
                 .exitCode,
        0);
    QCOMPARE(run(QStringLiteral("openssl"),
                 { QStringLiteral("pkey"), QStringLiteral("-in"), key, QStringLiteral("-pubout"),
                     QStringLiteral("-out"), publicKey })
                 .exitCode,
        0);

    const QStringList payloads = samplePayloads();
    QStringList options { QStringLiteral("--sign"), key };
    if (packageIndex)
        options << QStringLiteral("--index") << QStringLiteral("--json");
    QList<QMap<QString, QByteArray>> trees;
    Finished last;
    for (const char *name : { "one", "two" }) {
        const QString repository = work.filePath(QLatin1String(name));
        last = runVexa(QStringList { QStringLiteral("publish") } + payloads
            + QStringList { QStringLiteral("--out"), repository } + options);
        QVERIFY2(last.exitCode == 0, last.standardError.constData());
        trees.append(treeSnapshot(repository));
    }
    QCOMPARE(trees.at(1), trees.at(0));

    const QString repository = work.filePath(QStringLiteral("one"));
    LoadedCatalog loaded;
    QString errorText;
    QVERIFY2(loadCatalog(repository, loaded, errorText), qPrintable(errorText));
    QCOMPARE(loaded.catalog.packages().size(), payloads.size());

    QStringList signedDocuments { QStringLiteral("catalog.json") };
    if (packageIndex) {
        QString indexError;
        const QStringList sidecars
            = parsePackageIndex(readTestFile(repository + "/vexa-package-names.txt"), indexError);
        QCOMPARE(sidecars.size(), payloads.size());
        signedDocuments = QStringList { QStringLiteral("vexa-package-names.txt") } + sidecars;

        // The one document on standard output; the progress went to standard error.
        const QJsonObject document = QJsonDocument::fromJson(last.standardOutput).object();
        QCOMPARE(document.value(QLatin1String("schema_version")).toInt(), 1);
        QCOMPARE(
            document.value(QLatin1String("repository")).toString(), work.filePath(QStringLiteral("two")));
        QCOMPARE(document.value(QLatin1String("documents")).toArray().size(), payloads.size() + 1);
        QCOMPARE(document.value(QLatin1String("signatures")).toArray().size(), payloads.size() + 1);
        const QJsonArray packages = document.value(QLatin1String("packages")).toArray();
        QCOMPARE(packages.size(), payloads.size());
        for (const QJsonValue &package : packages) {
            const PackageDefinition *published
                = loaded.catalog.findPackage(package[QLatin1String("package_id")].toString());
            QVERIFY(published);
            QCOMPARE(package[QLatin1String("sha256")].toString(), published->sha256);
            QCOMPARE(package[QLatin1String("size_bytes")].toInteger(), published->size_bytes);
        }
        QVERIFY(last.standardError.contains("Packing "));
    }
    QCOMPARE(
        QDir(repository).entryList({ QStringLiteral("*.sig") }, QDir::Files).size(), signedDocuments.size());
    for (const QString &document : std::as_const(signedDocuments)) {
        const QString signature = work.filePath(QStringLiteral("signature.bin"));
        const QByteArray line
            = readTestFile(repository + QLatin1Char('/') + document + QStringLiteral(".sig"));
        QVERIFY(!line.contains('\n'));
        QVERIFY(writeTestFile(signature, QByteArray::fromBase64(line)));
        const Finished verified = run(QStringLiteral("openssl"),
            { QStringLiteral("pkeyutl"), QStringLiteral("-verify"), QStringLiteral("-rawin"),
                QStringLiteral("-pubin"), QStringLiteral("-inkey"), publicKey, QStringLiteral("-in"),
                repository + QLatin1Char('/') + document, QStringLiteral("-sigfile"), signature });
        QVERIFY2(verified.exitCode == 0, qPrintable(document + QLatin1Char(' ') + verified.standardError));
    }
}

void TestVexaPublish::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("shown");

    QTest::newRow("help lists the exit codes")
        << QStringList { "--help" } << 0 << "3  refused: a removal needs --yes";
    QTest::newRow("a command's help") << QStringList { "publish", "--help" } << 0 << "--out <REPO_DIR>";
    QTest::newRow("help for a command") << QStringList { "help", "publish" } << 0 << "--sign <KEY.pem>";
    QTest::newRow("no command") << QStringList {} << 2 << "Usage: vexa <command> [options]";
    QTest::newRow("unknown command") << QStringList { "frobnicate" } << 2
                                     << "vexa: no command \"frobnicate\".";
    QTest::newRow("unknown option") << QStringList { "publish", "--frobnicate" } << 2
                                    << "vexa publish: Unknown option 'frobnicate'.";
    QTest::newRow("publish without --out")
        << QStringList { "publish", "payload" } << 2 << "--out names no directory.";
    QTest::newRow("publish without payloads")
        << QStringList { "publish", "--out", "repository" } << 2 << "no payload directory given.";
}

void TestVexaPublish::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, shown);
    const Finished finished = runVexa(arguments);
    QCOMPARE(finished.exitCode, exitCode);
    // Answers go to standard output, complaints to standard error.
    QVERIFY2((exitCode == 0 ? finished.standardOutput : finished.standardError).contains(shown.toUtf8()),
        QByteArray(finished.standardOutput + finished.standardError).constData());
}

void TestVexaPublish::badPayloadsAreRefused_data()
{
    QTest::addColumn<QByteArray>("packageFile");
    QTest::addColumn<QString>("extraEntry");
    QTest::addColumn<QString>("shown");

    const QByteArray good = R"({"package_id": "com.example.tool", "display_name": "Tool")";
    QTest::newRow("no vexa-package.json") << QByteArray() << QString() << "vexa-package.json is missing";
    QTest::newRow("not JSON") << QByteArray(R"({"package_id": )") << QString() << "Failed to read";
    QTest::newRow("a key given twice")
        << good + R"(, "group": "A", "group": "B"})" << QString() << "the key \"group\" appears twice";
    QTest::newRow("sha256 given by hand")
        << good + R"(, "sha256": "00"})" << QString() << "sets \"sha256\", which publishing computes";
    QTest::newRow("size_bytes given by hand")
        << good + R"(, "size_bytes": 1})" << QString() << "sets \"size_bytes\", which publishing computes";
    QTest::newRow("archive outside the repository")
        << good + R"(, "payload_archive": "../tool.zip"})" << QString()
        << "\"payload_archive\" must name a path below the repository";
    QTest::newRow("archive and directory at once")
        << good + R"(, "payload_archive": "a.zip", "payload_source_dir": "a"})" << QString() << "sets both";
    QTest::newRow("a link") << good + "}"
                            << "link"
                            << "\"tool/link\" of";
    QTest::newRow("a name with a backslash") << good + "}"
                                             << "tool/a\\b.txt"
                                             << "\"tool/a\\b.txt\" of {payload}: it is not a valid file name";
    // The name is shown escaped: a raw escape sequence would drive the terminal.
    QTest::newRow("a name with an escape sequence")
        << good + "}"
        << "tool/\x1b[2Jred"
        << "\"tool/\\x1B[2Jred\" of {payload}: it is not a valid file name";
    QTest::newRow("rejected by the catalog loader")
        << QByteArray(R"({"package_id": "com.example.tool"})") << QString()
        << "Catalog contains a package with missing required fields.";
}

void TestVexaPublish::badPayloadsAreRefused()
{
    QFETCH(QByteArray, packageFile);
    QFETCH(QString, extraEntry);
    QFETCH(QString, shown);
    QTemporaryDir work;
    const QString payload = work.filePath(QStringLiteral("payloads/tool-1.0-iv1"));
    QVERIFY(writeTestFile(payload + QStringLiteral("/tool/readme.txt"), "read me"));
    if (!packageFile.isNull())
        QVERIFY(writeTestFile(payload + QStringLiteral("/vexa-package.json"), packageFile));
    if (extraEntry == QLatin1String("link"))
        QVERIFY(QFile::link(
            payload + QStringLiteral("/tool/readme.txt"), payload + QStringLiteral("/tool/link")));
    else if (!extraEntry.isEmpty())
        QVERIFY(writeTestFile(payload + QLatin1Char('/') + extraEntry, "x"));

    const QString repository = work.filePath(QStringLiteral("out/repository"));
    const Finished finished
        = runVexa({ QStringLiteral("publish"), payload, QStringLiteral("--out"), repository });
    QCOMPARE(finished.exitCode, 1);
    const QString message = QString::fromUtf8(finished.standardError);
    QVERIFY2(
        message.contains(QString(shown).replace(QStringLiteral("{payload}"), payload)), qPrintable(message));
    QVERIFY(!message.contains(QChar(0x1b)));
    // Nothing is left behind: no repository, and no working directory beside it.
    QVERIFY(!QFileInfo::exists(repository));
    QVERIFY(QDir(work.filePath(QStringLiteral("out")))
                .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

QTEST_GUILESS_MAIN(TestVexaPublish)
#include "tst_vexapublish.moc"
