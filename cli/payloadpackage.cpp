#include "cli/payloadpackage.h"

#include "archive/pathcontainment.h"
#include "cli/payloadfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vexa {

namespace {

const QString PayloadArchiveKey = QStringLiteral("payload_archive");
const QString PayloadSourceDirKey = QStringLiteral("payload_source_dir");

// The package file in any letter case, as the program looks for every file name it expects.
QString packageFilePath(const QString &payloadDirectory)
{
    const QStringList names = QDir(payloadDirectory).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names) {
        if (name.compare(PackageFileName, Qt::CaseInsensitive) == 0)
            return payloadDirectory + QLatin1Char('/') + name;
    }
    return payloadDirectory + QLatin1Char('/') + PackageFileName;
}

bool readPayloadPath(
    const OrderedJson &entry, const QString &key, const QString &file, QString &path, QString &errorText)
{
    const OrderedJson *value = entry.member(key);
    if (!value)
        return true;
    const PathPlacement placement
        = value->kind == OrderedJson::String ? pathPlacement(value->text) : PathPlacement::NotAName;
    if (placement != PathPlacement::Inside) {
        errorText = QStringLiteral("%1: \"%2\" must name a path below the repository.").arg(file, key);
        return false;
    }
    path = cleanRelativePath(value->text);
    return true;
}

} // namespace

bool readPayloadPackage(const QString &payloadDirectory, PayloadPackage &package, QString &errorText)
{
    package = PayloadPackage();
    package.directory = payloadDirectory;
    const QString file = packageFilePath(payloadDirectory);
    QFile input(file);
    if (!QFileInfo(file).isFile() || !input.open(QIODevice::ReadOnly)) {
        errorText
            = QStringLiteral("%1 is missing: every payload directory holds its package's catalog fields "
                             "there.")
                  .arg(file);
        return false;
    }
    QString readError;
    if (!readOrderedJsonObject(input.readAll(), package.entry, readError)) {
        errorText = QStringLiteral("Failed to read %1: %2.").arg(file, readError);
        return false;
    }
    for (const char *computed : { "sha256", "size_bytes" }) {
        if (package.entry.member(QLatin1String(computed))) {
            errorText = QStringLiteral("%1 sets \"%2\", which publishing computes from the payload.")
                            .arg(file, QLatin1String(computed));
            return false;
        }
    }

    QString archivePath;
    QString sourceDirectory;
    if (!readPayloadPath(package.entry, PayloadArchiveKey, file, archivePath, errorText)
        || !readPayloadPath(package.entry, PayloadSourceDirKey, file, sourceDirectory, errorText))
        return false;
    if (!archivePath.isEmpty() && !sourceDirectory.isEmpty()) {
        errorText = QStringLiteral("%1 sets both \"%2\" and \"%3\"; a payload is published one way.")
                        .arg(file, PayloadArchiveKey, PayloadSourceDirKey);
        return false;
    }
    package.isDirectoryPayload = !sourceDirectory.isEmpty();
    package.archivePathGiven = !archivePath.isEmpty();
    if (package.isDirectoryPayload) {
        package.payloadPath = sourceDirectory;
    } else {
        package.payloadPath = package.archivePathGiven
            ? archivePath
            : QStringLiteral("packages/%1.zip").arg(QFileInfo(payloadDirectory).fileName());
        if (!package.payloadPath.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive)) {
            errorText = QStringLiteral("%1: \"%2\" must name a .zip file.").arg(file, PayloadArchiveKey);
            return false;
        }
    }
    return true;
}

} // namespace vexa
