#include "release/failedupdate.h"

#include "platform/savefile.h"
#include "release/releaseidentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace vexa {

namespace {

// The installer and its helper carry different application names, so the record lives in the
// configuration location common to both, under the organisation's folder.
const QString RecordFileName = QStringLiteral("vexa-failed-client-update.json");
const QString VersionKey = QStringLiteral("version");
const QString ProgramDirectoryKey = QStringLiteral("program_directory");

QString comparablePath(const QString &directory)
{
    return QDir::cleanPath(QFileInfo(directory).absoluteFilePath());
}

QJsonObject readRecord()
{
    QFile file(failedUpdateRecordPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.read(64 * 1024)).object();
}

bool recordNames(const QJsonObject &record, const QString &programDirectory)
{
    return record.value(ProgramDirectoryKey).toString() == comparablePath(programDirectory);
}

} // namespace

QString failedUpdateRecordPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(OrganizationName + QLatin1Char('/') + RecordFileName);
}

bool recordFailedUpdate(const QString &programDirectory, const QString &version)
{
    const QString path = failedUpdateRecordPath();
    const QJsonObject record { { VersionKey, version },
        { ProgramDirectoryKey, comparablePath(programDirectory) } };
    return QDir().mkpath(QFileInfo(path).absolutePath())
        && saveFileWhole(path, QJsonDocument(record).toJson()) == SaveResult::Saved;
}

QString failedUpdateVersion(const QString &programDirectory)
{
    const QJsonObject record = readRecord();
    return recordNames(record, programDirectory) ? record.value(VersionKey).toString() : QString();
}

void clearFailedUpdate(const QString &programDirectory)
{
    if (recordNames(readRecord(), programDirectory))
        QFile::remove(failedUpdateRecordPath());
}

} // namespace vexa
