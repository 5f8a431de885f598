#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace vexa {

// A JSON value that keeps its objects' keys in the order they were written (QJsonObject sorts them),
// so that a document is written back as its author laid it out. Numbers keep their text.
struct OrderedJson
{
    enum Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Null;
    // A string's value; the literal text of a number, "true", "false" or "null".
    QString text;
    std::vector<OrderedJson> elements;
    std::vector<std::pair<QString, OrderedJson>> members;

    // The value of `key` in an object, or nullptr.
    const OrderedJson *member(const QString &key) const;
    void insertMember(qsizetype position, const QString &key, OrderedJson value);

    static OrderedJson string(const QString &value);
    static OrderedJson number(qint64 value);
};

// Reads a JSON object. Returns false with the parser's message for text that is not JSON or not an
// object, and when an object repeats a key: readers disagree on which of the two counts.
bool readOrderedJsonObject(const QByteArray &utf8, OrderedJson &object, QString &errorText);

// The value as indented JSON text: two spaces a level, one member or element a line, except arrays
// that hold only strings, numbers, booleans and nulls, which stay on one line. Ends without a line
// break. The same value always gives the same text.
QByteArray orderedJsonText(const OrderedJson &value);

} // namespace vexa
