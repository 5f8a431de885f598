#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace vexa {

// The version of every JSON document vexa prints; it changes only when a documented shape does.
constexpr int CliSchemaVersion = 1;

// Where a command's output goes. Results go to standard output. With --json, standard output carries
// exactly one JSON document and every line of text goes to standard error instead, so that
// `vexa <command> --json | jq` always reads one document. Every line passes through printableText.
class Console
{
public:
    explicit Console(bool jsonOutput = false)
        : m_jsonOutput(jsonOutput)
    { }

    bool jsonOutput() const { return m_jsonOutput; }
    // A line of the command's result.
    void print(const QString &text) const;
    // Progress, warnings and failures.
    void message(const QString &text) const;
    // A question on standard error, left open for the answer.
    void prompt(const QString &text) const;
    // A terminal's live line on standard error: rewritten in place by the next call, and ended with a
    // line break when `final`.
    void liveLine(const QString &text, bool final) const;
    // The run's document, with "schema_version" set. Only the first call prints; a command prints
    // its document once, at its end.
    void printDocument(const QJsonObject &document);

private:
    bool m_jsonOutput = false;
    bool m_documentPrinted = false;
};

// The text of a document as printDocument writes it: "schema_version" set, indented, ending in a
// line break.
QByteArray jsonDocumentText(QJsonObject document);

} // namespace vexa
