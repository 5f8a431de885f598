#pragma once

#include "catalog/packagedefinition.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

namespace vexa {

// A string gives a one-element list of the trimmed text (none when blank); an array gives the trimmed
// texts of its string elements, blanks dropped; anything else gives an empty list. Duplicates stay.
QStringList stringList(const QJsonValue &value);

// The cmake object with its list keys normalised; unknown keys are kept.
QJsonObject normalizedCmake(const QJsonObject &cmake);

// Reads one package entry leniently: a missing key or a value of the wrong type reads as the default.
PackageDefinition readPackageDefinition(const QJsonObject &entry);

} // namespace vexa
