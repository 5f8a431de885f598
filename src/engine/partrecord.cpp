#include "engine/partrecord.h"

#include "platform/savefile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace vexa {

bool readPartRecord(const QString &path, PartRecord &record)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    record.url = object.value(QStringLiteral("url")).toString();
    record.version.etag = object.value(QStringLiteral("etag")).toString().toLatin1();
    record.version.lastModified = object.value(QStringLiteral("last_modified")).toString().toLatin1();
    record.hashedBytes = qint64(object.value(QStringLiteral("hashed_bytes")).toDouble());
    record.hashState
        = QByteArray::fromBase64(object.value(QStringLiteral("hash_state")).toString().toLatin1());
    record.partModifiedMs = qint64(object.value(QStringLiteral("part_modified_ms")).toDouble());
    return !record.url.isEmpty();
}

bool writePartRecord(const QString &path, const PartRecord &record)
{
    const QJsonObject object {
        { QStringLiteral("url"), record.url },
        { QStringLiteral("etag"), QString::fromLatin1(record.version.etag) },
        { QStringLiteral("last_modified"), QString::fromLatin1(record.version.lastModified) },
        { QStringLiteral("hashed_bytes"), double(record.hashedBytes) },
        { QStringLiteral("hash_state"), QString::fromLatin1(record.hashState.toBase64()) },
        { QStringLiteral("part_modified_ms"), double(record.partModifiedMs) },
    };
    const QByteArray content = QJsonDocument(object).toJson();
    UnsyncedSaveFile file(path);
    return file.open() && file.write(content) == content.size() && file.commit();
}

} // namespace vexa
