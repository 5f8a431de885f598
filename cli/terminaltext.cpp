#include "cli/terminaltext.h"

namespace vexa {

namespace {

bool needsEscape(char16_t c)
{
    if (c == u'\n' || c == u'\t')
        return false;
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || (c >= 0x202a && c <= 0x202e)
        || (c >= 0x2066 && c <= 0x2069);
}

QString hex(char16_t c, int width)
{
    return QString::number(uint(c), 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

template<typename Escape> QString escaped(const QString &text, bool (*mustEscape)(char16_t), Escape escape)
{
    qsizetype first = 0;
    while (first < text.size() && !mustEscape(text.at(first).unicode()))
        ++first;
    if (first == text.size())
        return text;

    QString safe = text.left(first);
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (mustEscape(c))
            safe.append(escape(c));
        else
            safe.append(QChar(c));
    }
    return safe;
}

} // namespace

QString terminalSafe(const QString &text)
{
    return escaped(text, needsEscape, [](char16_t c) -> QString {
        if (c < 0x100)
            return QLatin1String("\\x") + hex(c, 2);
        return QLatin1String("\\u") + hex(c, 4);
    });
}

QString terminalSafeJson(const QString &jsonText)
{
    // Below 0x20 only the document's own line breaks and indentation remain.
    return escaped(
        jsonText, [](char16_t c) { return c >= 0x20 && needsEscape(c); },
        [](char16_t c) -> QString { return QLatin1String("\\u") + hex(c, 4); });
}

} // namespace vexa
