#pragma once

#include "catalog/packagecatalog.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

namespace vexa {

// Short ids of the packages in state-data/catalog.json.
inline const QString Support = QStringLiteral("com.company.vexa.cmake_support");
inline const QString Ninja = QStringLiteral("com.company.vexa.ninja");
inline const QString Qt6 = QStringLiteral("com.company.vexa.qt6");
inline const QString OpenCv = QStringLiteral("com.company.vexa.opencv");
inline const QString OpenSsl = QStringLiteral("com.company.vexa.openssl");
inline const QString Zlib = QStringLiteral("com.company.vexa.zlib");
inline const QString Docs = QStringLiteral("com.company.vexa.docs");

// The catalog the root-state tests share; empty (and a failed QVERIFY in the caller) when unreadable.
bool loadStateTestCatalog(PackageCatalog &catalog);

// Creates the files that make `packageId` look installed in `root` (its required files, and for the
// support package a version marker holding `supportVersion`).
bool placePackageFiles(
    const PackageCatalog &catalog, const QString &root, const QString &packageId, int supportVersion = 4);

// One state.json package entry as the engine writes it, as JSON text, with its code overridable.
QByteArray stateEntry(const PackageCatalog &catalog, const QString &packageId, int internalVersionCode);

// A whole state.json with the given entries (JSON object texts) in order.
QByteArray stateFile(const QList<QByteArray> &entries);

// A sorted, comma-separated view of a set for readable comparison failures.
QString joined(const QSet<QString> &ids);

// Compares `actual` with the reference file `name` in state-data/. On mismatch prints a unified diff
// and returns false. With VEXA_UPDATE_REFERENCES=1 in the environment the reference is rewritten.
bool matchesReference(const QString &name, const QByteArray &actual);

} // namespace vexa
