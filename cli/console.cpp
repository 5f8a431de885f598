#include "cli/console.h"

#include "archive/printabletext.h"

#include <QJsonDocument>

#include <cstdio>

namespace vexa {

namespace {

void write(std::FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void writeLine(std::FILE *stream, const QString &text)
{
    write(stream, printableText(text).toUtf8() + '\n');
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

void Console::prompt(const QString &text) const
{
    write(stderr, printableName(text).toUtf8());
}

void Console::liveLine(const QString &text, bool final) const
{
    // Back to the line's start, the text, and the rest of the old line cleared.
    write(stderr, QByteArray("\r") + printableName(text).toUtf8() + "\x1b[K" + (final ? "\n" : ""));
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
