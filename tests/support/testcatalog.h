#pragma once

#include "catalog/packagecatalog.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace vexa {

// The one way tests build catalogs: entries as JSON objects, a document from them, and the catalog
// that document loads into, so every fixture passes the same validation as a real catalog.

// A catalog entry with its two required keys, plus the keys of `extra` (which may replace them).
QJsonObject testPackageEntry(const QString &id, const QString &displayName, const QJsonObject &extra = {});

// A catalog document listing `packages` in order, with the keys of `topLevel` beside "packages".
QByteArray testCatalogDocument(const QList<QJsonObject> &packages, const QJsonObject &topLevel = {});

// Loads `document` into `catalog`; false, with the loader's message as a test warning, when it fails.
bool loadTestCatalog(const QByteArray &document, PackageCatalog &catalog);

// The catalog of `packages`; empty, with a test warning, when they do not load.
PackageCatalog testCatalog(const QList<QJsonObject> &packages, const QJsonObject &topLevel = {});

} // namespace vexa
