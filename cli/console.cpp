#include "cli/console.h"

#include "archive/printabletext.h"

#include <QJsonDocument>

#include <cstdio>

namespace vexa {

namespace {

void writeLine(std::FILE *stream, const QString &text)
{
    const QByteArray line = printableText(text).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    std::fflush(stream);
}

} // namespace

void Console::print(const QString &text) const
{
    writeLine(m_jsonOutput ? stderr : stdout, text);
}

void Console::message(const QString &text) const
{
    writeLine(stderr, text);
}

void Console::printDocument(const QJsonObject &document)
{
    if (m_documentPrinted)
        return;
    m_documentPrinted = true;
    const QByteArray text = printableJson(QString::fromUtf8(jsonDocumentText(document))).toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

QByteArray jsonDocumentText(QJsonObject document)
{
    document.insert(QStringLiteral("schema_version"), CliSchemaVersion);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace vexa
