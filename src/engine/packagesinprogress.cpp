#include "engine/packagesinprogress.h"

#include "engine/manifestfiles.h"
#include "engine/rootpaths.h"
#include "platform/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vexa {

namespace {

// Far more than any real record (a few hundred ids), yet a bound for a damaged file.
constexpr qint64 MaxRecordBytes = 4 * 1024 * 1024;

} // namespace

PackagesInProgress readPackagesInProgress(const QString &root)
{
    PackagesInProgress record;
    const QString path = resolveRootPath(root, PackagesInProgressRelativePath);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return record;
    QFile file(path);
    const QJsonDocument document
        = info.isFile() && info.size() <= MaxRecordBytes && file.open(QIODevice::ReadOnly)
        ? QJsonDocument::fromJson(file.readAll())
        : QJsonDocument();
    const QJsonValue packages = document.object().value(QLatin1String("packages"));
    if (!packages.isArray()) {
        record.unreadable = true;
        return record;
    }
    const QJsonArray array = packages.toArray();
    for (const QJsonValue &value : array)
        record.ids.insert(value.toString());
    return record;
}

bool writePackagesInProgress(const QString &root, const QSet<QString> &ids, QString &errorText)
{
    const QString path = resolveRootPath(root, PackagesInProgressRelativePath);
    if (ids.isEmpty()) {
        const QFileInfo info(path);
        if ((info.exists() || info.isSymLink()) && !QFile::remove(path)) {
            errorText = QStringLiteral("Failed to remove the apply progress record at %1").arg(path);
            return false;
        }
        return true;
    }
    QStringList sorted(ids.cbegin(), ids.cend());
    sorted.sort();
    const QJsonObject document { { QStringLiteral("packages"), QJsonArray::fromStringList(sorted) } };
    if (!QDir().mkpath(resolveRootPath(root, ManifestDirectoryPath))
        || saveFileWhole(path, QJsonDocument(document).toJson()) != SaveResult::Saved) {
        errorText = QStringLiteral("Failed to write the apply progress record at %1").arg(path);
        return false;
    }
    return true;
}

} // namespace vexa
