#pragma once

#include "archive/builtinreleasekeys.h"
#include "net/progresscallback.h"
#include "net/remotesource.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace vexa {

// Each catalog, package index and sidecar download may take this long as a whole.
constexpr int CatalogDownloadTimeoutMs = 120000;

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
// `downloadTimeoutMs` bounds each download as a whole. With `trustedKeys`, every document read (the
// catalog, the package index, each sidecar) needs a signature by one of them beside it; the first
// that lacks one ends the resolution with "Catalog document %1 is not trusted: %2".
bool resolveCatalog(const QString &source, CatalogPayload &payload, QString &errorText,
    const ProgressCallback &progress = {}, int downloadTimeoutMs = CatalogDownloadTimeoutMs,
    const ReleaseKeys &trustedKeys = builtInReleaseKeys());

// Why a catalog document may not be used by a build with keys, naming the document.
QString untrustedCatalogMessage(const QString &document, const QString &reason);

// The directory of a URL naming a catalog file or the package index; any other URL unchanged.
QUrl catalogBaseUrl(const QUrl &url);
// Sidecar file names listed by a package index; empty with an error on failure.
QStringList parsePackageIndex(const QByteArray &indexData, QString &errorText);
bool mergeSidecars(const QList<QByteArray> &documents, QByteArray &merged, QString &errorText);

} // namespace vexa
