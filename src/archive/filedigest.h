#pragma once

#include <QString>

namespace vexa {

// The lowercase hex SHA-256 of the file's bytes, or an empty string with the error text set.
QString sha256OfFile(const QString &path, QString &errorText);

} // namespace vexa
