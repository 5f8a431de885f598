#pragma once

#include "catalog/packagedefinition.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace vexa {

// The JSON object `data` holds. False with Qt's parse error, or with `notAnObjectText` when the text
// parses to something other than an object.
bool readJsonObject(
    const QByteArray &data, QJsonObject &object, const QString &notAnObjectText, QString &errorText);

// Reads one package entry leniently: a missing key or a value of the wrong type reads as the default. A
// list key takes a string as a one-element list and an array's string elements; texts are trimmed and
// blanks dropped. The cmake object's list keys are normalised alike; its unknown keys are kept.
PackageDefinition readPackageDefinition(const QJsonObject &entry);

} // namespace vexa
