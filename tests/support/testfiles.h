#pragma once

#include <QByteArray>
#include <QString>

namespace vexa {

// Writes `data` to `path`, creating missing parent directories. False when anything fails.
bool writeTestFile(const QString &path, const QByteArray &data);
// The whole content of `path`, or an empty array when it cannot be read.
QByteArray readTestFile(const QString &path);

} // namespace vexa
