#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace vexa {

// Writes `data` to `path`, creating missing parent directories. False when anything fails.
bool writeTestFile(const QString &path, const QByteArray &data);
// The whole content of `path`, or an empty array when it cannot be read.
QByteArray readTestFile(const QString &path);

// Everything below `directory`, hidden entries included, by relative path: a file's content, "<dir>"
// for a directory, "-> target" for a link (never followed). Two snapshots compare equal when nothing
// below was written, deleted or replaced.
QMap<QString, QByteArray> treeSnapshot(const QString &directory);

// `size` bytes from a generator seeded with `seed`: the same bytes on every run.
QByteArray seededRandomBytes(qsizetype size, quint32 seed);
// The lower-case hex SHA-256 of `data`, computed by Qt independently of the engine's hasher.
QString sha256HexOf(const QByteArray &data);

// Compares `actual` with the reference file `referencePath`. On a mismatch prints a unified diff and
// `refreshHint` and returns false. With VEXA_UPDATE_REFERENCES=1 in the environment the reference is
// rewritten instead, so long generated texts are refreshed deliberately, never by hand.
bool matchesReferenceFile(const QString &referencePath, const QByteArray &actual, const QString &refreshHint);

} // namespace vexa
