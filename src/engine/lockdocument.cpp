#include "engine/lockdocument.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <utility>

namespace vexa {

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
QByteArray lockDocumentText(const QStringList &packageIds)
{
    QByteArray text;
    text.reserve(96 + packageIds.size() * 48);
    text += "{\n    \"packages\": [\n";
    for (qsizetype i = 0; i < packageIds.size(); ++i) {
        text += "        ";
        appendJsonString(text, packageIds.at(i));
        text += i + 1 < packageIds.size() ? ",\n" : "\n";
    }
    text += "    ],\n    \"root_policy\": \"shared\",\n    \"schema_version\": 1\n}\n";
    return text;
}

} // namespace

QByteArray buildPlanLockDocument(const PackageCatalog &catalog, const ChangePlan &plan)
{
    // The target's order lists each member once, and its members are all the set would add, so the
    // list goes straight into the document.
    QStringList ordered = catalog.topologicalOrder(plan.target);
    ordered.removeIf([&catalog](const QString &id) { return isSupportPackage(id) || !catalog.contains(id); });
    return lockDocumentText(ordered);
}

} // namespace vexa
