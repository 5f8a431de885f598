#include "archive/printabletext.h"

namespace vexa {

namespace {

bool isControlOrReordering(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || (c >= 0x202a && c <= 0x202e)
        || (c >= 0x2066 && c <= 0x2069);
}

bool isLayout(char16_t c)
{
    return c == u'\n' || c == u'\t';
}

QString hex(char16_t c, int width)
{
    return QString::number(uint(c), 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

QString shortEscape(char16_t c)
{
    if (c < 0x100)
        return QLatin1String("\\x") + hex(c, 2);
    return QLatin1String("\\u") + hex(c, 4);
}

QString jsonEscape(char16_t c)
{
    return QLatin1String("\\u") + hex(c, 4);
}

template<typename MustEscape>
QString escaped(const QString &text, MustEscape mustEscape, QString (*escape)(char16_t))
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

QString printableName(const QString &name)
{
    return escaped(name, isControlOrReordering, shortEscape);
}

QString printableNames(const QStringList &names)
{
    QStringList printable;
    printable.reserve(names.size());
    for (const QString &name : names)
        printable.append(printableName(name));
    return printable.join(QLatin1String(", "));
}

QString printableText(const QString &text)
{
    return escaped(
        text, [](char16_t c) { return isControlOrReordering(c) && !isLayout(c); }, shortEscape);
}

QString printableJson(const QString &jsonText)
{
    // Below 0x20 only the document's own line breaks and indentation remain.
    return escaped(
        jsonText, [](char16_t c) { return c >= 0x20 && isControlOrReordering(c); }, jsonEscape);
}

} // namespace vexa
