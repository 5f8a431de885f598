#include "support/cmakeconsumer.h"

#include <QProcess>
#include <QStandardPaths>

namespace vexa {

namespace {

// Runs `program` to its end; false with its merged output when it fails or does not end in time.
bool run(const QString &program, const QStringList &arguments, QString &output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(120000);
    output = QString::fromLocal8Bit(process.readAll());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

bool buildNlohmannJsonConsumer(const QString &root, const QString &workDirectory, QString &errorText)
{
    const QString cmake = QStandardPaths::findExecutable(QStringLiteral("cmake"));
    if (cmake.isEmpty()) {
        errorText = QStringLiteral("cmake is not on the search path");
        return false;
    }
    // The project the README and CI show, so that what the tests build is what a developer builds.
    const QString source = QStringLiteral(VEXA_CONSUMER_EXAMPLE_DIR);
    const QString build = workDirectory + QStringLiteral("/build");
    QString output;
    if (!run(cmake,
            { QStringLiteral("-S"), source, QStringLiteral("-B"), build, QStringLiteral("-G"),
                QStringLiteral("Ninja"),
                QStringLiteral("-DCMAKE_TOOLCHAIN_FILE=%1/cmake/toolchains/vexa.cmake").arg(root) },
            output)
        || !output.contains(
            QStringLiteral("nlohmann_json from %1/nlohmann_json/share/cmake/nlohmann_json").arg(root))
        || !output.contains(QStringLiteral("Vexa package directory: %1/nlohmann_json").arg(root))) {
        errorText = QStringLiteral("configure: ") + output;
        return false;
    }
    if (!run(cmake, { QStringLiteral("--build"), build }, output)) {
        errorText = QStringLiteral("build: ") + output;
        return false;
    }
    if (!run(build + QStringLiteral("/consumer"), {}, output)
        || output != QStringLiteral("\"built against a Vexa root, nlohmann_json \"3.11.3\n")) {
        errorText = QStringLiteral("run: ") + output;
        return false;
    }
    return true;
}

} // namespace vexa
