#include "engine/lockdocument.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <utility>

namespace vexa {

QString lockRootPolicyName(LockRootPolicy policy)
{
    switch (policy) {
    case LockRootPolicy::Isolated:
        return QStringLiteral("isolated");
    case LockRootPolicy::Shared:
        break;
    }
    return QStringLiteral("shared");
}

namespace {

// `value` as a JSON string, escaped exactly as QJsonDocument escapes it. Package ids are nearly always
// plain printable ASCII, which needs no escaping; anything else is left to Qt's own writer.
void appendJsonString(QByteArray &text, const QString &value)
{
    const qsizetype start = text.size();
    text.resize(start + value.size() + 2);
    char *out = text.data() + start;
    *out++ = '"';
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u >= 0x80 || u == u'"' || u == u'\\') {
            // ["<escaped>"]: the brackets go, the quoted string stays.
            text.truncate(start);
            const QByteArray array = QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
            text.append(array.constData() + 1, array.size() - 2);
            return;
        }
        *out++ = char(u);
    }
    *out = '"';
}

// The document for a package list without duplicates, in the layout QJsonDocument gives it (keys
// sorted, four spaces per level, a final line feed). Written directly: building a QJsonArray of a few
// thousand ids and serialising it costs more than the rest of a click together.
QByteArray lockDocumentText(LockRootPolicy policy, const QStringList &packageIds)
{
    QByteArray text;
    text.reserve(96 + packageIds.size() * 48);
    text += "{\n    \"packages\": [\n";
    for (qsizetype i = 0; i < packageIds.size(); ++i) {
        text += "        ";
        appendJsonString(text, packageIds.at(i));
        text += i + 1 < packageIds.size() ? ",\n" : "\n";
    }
    text += "    ],\n    \"root_policy\": ";
    appendJsonString(text, lockRootPolicyName(policy));
    text += ",\n    \"schema_version\": 1\n}\n";
    return text;
}

} // namespace

QByteArray buildLockDocument(
    LockRootPolicy policy, const QSet<QString> &packageIds, const QStringList &orderedIds)
{
    // The set's extra ids are sorted in both cases so the same input always gives the same text;
    // hash-set iteration order would otherwise change the document between runs.
    QStringList extras(packageIds.cbegin(), packageIds.cend());
    extras.sort(Qt::CaseSensitive);

    QStringList packages;
    QSet<QString> listed;
    const QStringList *const candidateLists[] = { &orderedIds, &extras };
    for (const QStringList *candidates : candidateLists) {
        for (const QString &id : *candidates) {
            if (listed.contains(id))
                continue;
            listed.insert(id);
            packages.append(id);
        }
    }
    return lockDocumentText(policy, packages);
}

QByteArray buildPlanLockDocument(const PackageCatalog &catalog, const ChangePlan &plan)
{
    // The target's order lists each member once, and its members are all the set would add, so the
    // list goes straight into the document.
    QStringList ordered = catalog.topologicalOrder(plan.target);
    ordered.removeIf([&catalog](const QString &id) { return isSupportPackage(id) || !catalog.contains(id); });
    return lockDocumentText(LockRootPolicy::Shared, ordered);
}

} // namespace vexa
