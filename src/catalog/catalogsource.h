#pragma once

#include "catalog/httpget.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace vexa {

// Receives progress messages; may be empty, in which case nothing is reported.
using ProgressCallback = std::function<void(const QString &message)>;

inline const QString PackageIndexFileName = QStringLiteral("vexa-package-names.txt");
// The package-index endpoint used when no source is configured anywhere.
QString DefaultPackageIndexUrl();

// One resolved catalog document and where its package repository lives.
struct CatalogPayload
{
    QByteArray data;
    QString repositoryBase;
    QString sourceLabel;
    QString resolvedSource;
};

// Finds the catalog named by `source` (a catalog file, a repository directory, a catalog URL or a
// package index URL), falling back to VEXA_CATALOG_URL, VEXA_REPOSITORY_DIR and the default endpoint
// when it is blank. On failure returns false with the locate message listing what was tried.
// `downloadTimeoutMs` bounds each download as a whole.
bool resolveCatalog(const QString &source, CatalogPayload &payload, QString &errorText,
    const ProgressCallback &progress = {}, int downloadTimeoutMs = CatalogDownloadTimeoutMs);

// True for http and https locations. A relative path that exists stays local even when it looks like
// a host name ("examples/repository").
bool isRemoteSource(const QString &source);
// The directory of a URL naming a catalog file or the package index; any other URL unchanged.
QUrl catalogBaseUrl(const QUrl &url);
// Sidecar file names listed by a package index; empty with an error on failure.
QStringList parsePackageIndex(const QByteArray &indexData, QString &errorText);
bool mergeSidecars(const QList<QByteArray> &documents, QByteArray &merged, QString &errorText);

} // namespace vexa
