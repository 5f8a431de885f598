#include "applytestsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace vexa {

namespace {

const char PackScript[] = R"(
import os, sys, zipfile
source, target = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as archive:
    for directory, subdirectories, files in sorted(os.walk(source)):
        subdirectories.sort()
        relative = os.path.relpath(directory, source)
        if relative != ".":
            archive.write(directory, relative.replace(os.sep, "/") + "/")
        for name in sorted(files):
            path = os.path.join(directory, name)
            archive.write(path, os.path.relpath(path, source).replace(os.sep, "/"))
)";

} // namespace

EnvironmentSandbox::EnvironmentSandbox(bool skipEnvironmentUpdate)
    : m_tmp("TMPDIR", QFile::encodeName(tempDirectory()))
    , m_config("XDG_CONFIG_HOME", QFile::encodeName(configDirectory()))
    , m_skip("VEXA_SKIP_ENV_UPDATE", skipEnvironmentUpdate ? std::optional<QByteArray>("1") : std::nullopt)
{
    QDir().mkpath(tempDirectory());
    QDir().mkpath(configDirectory());
}

QString EnvironmentSandbox::tempDirectory() const
{
    return m_base.filePath(QStringLiteral("tmp"));
}

QString EnvironmentSandbox::configDirectory() const
{
    return m_base.filePath(QStringLiteral("config"));
}

QString EnvironmentSandbox::variableFile() const
{
    return configDirectory() + QStringLiteral("/environment.d/60-vexa-root.conf");
}

bool makeZip(const QString &sourceDirectory, const QString &zipPath, QString &errorText)
{
    QDir().mkpath(QFileInfo(zipPath).absolutePath());
    QProcess python;
    python.start(QStringLiteral("python3"),
        { QStringLiteral("-c"), QString::fromLatin1(PackScript), sourceDirectory, zipPath });
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit
        || python.exitCode() != 0) {
        errorText = QStringLiteral("python3 could not pack %1: %2")
                        .arg(sourceDirectory, QString::fromLocal8Bit(python.readAllStandardError()));
        return false;
    }
    return true;
}

QString sha256Hex(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace vexa
