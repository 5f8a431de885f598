#include "cli/orderedjson.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>

namespace vexa {

namespace {

// Walks text that QJsonDocument has already accepted, so only its structure is read here.
class OrderedReader
{
public:
    explicit OrderedReader(const QString &text)
        : m_text(text)
    { }

    bool read(OrderedJson &value, QString &errorText)
    {
        skipSpace();
        const QChar c = peek();
        if (c == QLatin1Char('{'))
            return readObject(value, errorText);
        if (c == QLatin1Char('[')) {
            value.kind = OrderedJson::Array;
            ++m_at;
            skipSpace();
            if (peek() == QLatin1Char(']')) {
                ++m_at;
                return true;
            }
            for (;;) {
                OrderedJson element;
                if (!read(element, errorText))
                    return false;
                value.elements.push_back(std::move(element));
                skipSpace();
                if (take() == QLatin1Char(']'))
                    return true;
            }
        }
        if (c == QLatin1Char('"')) {
            value.kind = OrderedJson::String;
            value.text = readString();
            return true;
        }
        const qsizetype start = m_at;
        while (m_at < m_text.size() && !QStringLiteral(",]} \t\r\n").contains(m_text.at(m_at)))
            ++m_at;
        value.text = m_text.mid(start, m_at - start);
        value.kind = value.text == QLatin1String("null") ? OrderedJson::Null
            : (value.text == QLatin1String("true") || value.text == QLatin1String("false"))
            ? OrderedJson::Bool
            : OrderedJson::Number;
        return !value.text.isEmpty();
    }

private:
    bool readObject(OrderedJson &value, QString &errorText)
    {
        value.kind = OrderedJson::Object;
        ++m_at;
        skipSpace();
        if (peek() == QLatin1Char('}')) {
            ++m_at;
            return true;
        }
        for (;;) {
            skipSpace();
            const QString key = readString();
            if (value.member(key)) {
                errorText = QStringLiteral("the key \"%1\" appears twice in one object").arg(key);
                return false;
            }
            skipSpace();
            ++m_at; // ':'
            OrderedJson member;
            if (!read(member, errorText))
                return false;
            value.members.emplace_back(key, std::move(member));
            skipSpace();
            if (take() == QLatin1Char('}'))
                return true;
        }
    }

    QString readString()
    {
        ++m_at; // opening quote
        QString result;
        while (m_at < m_text.size()) {
            const QChar c = take();
            if (c == QLatin1Char('"'))
                break;
            if (c != QLatin1Char('\\')) {
                result.append(c);
                continue;
            }
            const QChar escape = take();
            switch (escape.unicode()) {
            case 'b':
                result.append(QLatin1Char('\b'));
                break;
            case 'f':
                result.append(QLatin1Char('\f'));
                break;
            case 'n':
                result.append(QLatin1Char('\n'));
                break;
            case 'r':
                result.append(QLatin1Char('\r'));
                break;
            case 't':
                result.append(QLatin1Char('\t'));
                break;
            case 'u':
                result.append(QChar(char16_t(m_text.mid(m_at, 4).toUShort(nullptr, 16))));
                m_at += 4;
                break;
            default: // '"', '\\' and '/' stand for themselves
                result.append(escape);
                break;
            }
        }
        return result;
    }

    void skipSpace()
    {
        while (m_at < m_text.size() && QStringLiteral(" \t\r\n").contains(m_text.at(m_at)))
            ++m_at;
    }
    QChar peek() const { return m_at < m_text.size() ? m_text.at(m_at) : QChar(); }
    QChar take() { return m_at < m_text.size() ? m_text.at(m_at++) : QChar(); }

    const QString &m_text;
    qsizetype m_at = 0;
};

void appendString(QByteArray &out, const QString &value)
{
    out.append('"');
    // Runs of plain characters are encoded together, which keeps surrogate pairs whole.
    qsizetype plainFrom = 0;
    const auto flushPlain = [&](qsizetype to) {
        out.append(QStringView(value).mid(plainFrom, to - plainFrom).toUtf8());
        plainFrom = to + 1;
    };
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value.at(i).unicode();
        const char *escape = nullptr;
        switch (c) {
        case u'"':
            escape = "\\\"";
            break;
        case u'\\':
            escape = "\\\\";
            break;
        case u'\b':
            escape = "\\b";
            break;
        case u'\f':
            escape = "\\f";
            break;
        case u'\n':
            escape = "\\n";
            break;
        case u'\r':
            escape = "\\r";
            break;
        case u'\t':
            escape = "\\t";
            break;
        default:
            if (c >= 0x20)
                continue;
        }
        flushPlain(i);
        if (escape)
            out.append(escape);
        else
            out.append("\\u00").append(QByteArray::number(uint(c), 16).rightJustified(2, '0'));
    }
    flushPlain(value.size());
    out.append('"');
}

bool isScalar(const OrderedJson &value)
{
    return value.kind != OrderedJson::Array && value.kind != OrderedJson::Object;
}

void appendValue(QByteArray &out, const OrderedJson &value, int depth)
{
    const QByteArray inner((depth + 1) * 2, ' ');
    const QByteArray outer(depth * 2, ' ');
    switch (value.kind) {
    case OrderedJson::String:
        appendString(out, value.text);
        return;
    case OrderedJson::Null:
    case OrderedJson::Bool:
    case OrderedJson::Number:
        out.append(value.text.toUtf8());
        return;
    case OrderedJson::Array: {
        if (value.elements.empty()) {
            out.append("[]");
            return;
        }
        const bool oneLine = std::all_of(value.elements.cbegin(), value.elements.cend(), isScalar);
        out.append(oneLine ? "[" : "[\n");
        for (size_t i = 0; i < value.elements.size(); ++i) {
            if (i > 0)
                out.append(oneLine ? ", " : ",\n");
            if (!oneLine)
                out.append(inner);
            appendValue(out, value.elements[i], depth + 1);
        }
        if (!oneLine)
            out.append('\n').append(outer);
        out.append(']');
        return;
    }
    case OrderedJson::Object:
        if (value.members.empty()) {
            out.append("{}");
            return;
        }
        out.append("{\n");
        for (size_t i = 0; i < value.members.size(); ++i) {
            if (i > 0)
                out.append(",\n");
            out.append(inner);
            appendString(out, value.members[i].first);
            out.append(": ");
            appendValue(out, value.members[i].second, depth + 1);
        }
        out.append('\n').append(outer).append('}');
        return;
    }
}

} // namespace

const OrderedJson *OrderedJson::member(const QString &key) const
{
    for (const auto &[name, value] : members) {
        if (name == key)
            return &value;
    }
    return nullptr;
}

void OrderedJson::insertMember(qsizetype position, const QString &key, OrderedJson value)
{
    members.insert(members.begin() + std::min<qsizetype>(position, qsizetype(members.size())),
        { key, std::move(value) });
}

OrderedJson OrderedJson::string(const QString &value)
{
    OrderedJson json;
    json.kind = String;
    json.text = value;
    return json;
}

OrderedJson OrderedJson::number(qint64 value)
{
    OrderedJson json;
    json.kind = Number;
    json.text = QString::number(value);
    return json;
}

bool readOrderedJsonObject(const QByteArray &utf8, OrderedJson &object, QString &errorText)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &parseError);
    if (document.isNull()) {
        errorText = parseError.errorString();
        return false;
    }
    if (!document.isObject()) {
        errorText = QStringLiteral("the document is not a JSON object");
        return false;
    }
    const QString text = QString::fromUtf8(utf8);
    object = OrderedJson();
    return OrderedReader(text).read(object, errorText);
}

QByteArray orderedJsonText(const OrderedJson &value)
{
    QByteArray text;
    appendValue(text, value, 0);
    return text;
}

} // namespace vexa
