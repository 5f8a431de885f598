#include "catalog/catalogloading.h"

#include <utility>

namespace vexa {

namespace {

// A package whose archive the catalog names without a digest: an archive by any other route (a local
// repository, a download) could then be anything, however well the catalog was signed.
const PackageDefinition *archiveWithoutDigest(const PackageCatalog &catalog)
{
    for (const PackageDefinition &package : catalog.packages()) {
        const bool hasArchive = !package.payload_archive.isEmpty() || !package.payload_url.isEmpty();
        if (hasArchive && package.sha256.isEmpty())
            return &package;
    }
    return nullptr;
}

} // namespace

bool loadCatalog(const QString &source, LoadedCatalog &loaded, QString &errorText,
    const ProgressCallback &progress, const ParseStartCallback &parseStart, const ReleaseKeys &trustedKeys)
{
    CatalogPayload payload;
    if (!resolveCatalog(source, payload, errorText, progress, CatalogDownloadTimeoutMs, trustedKeys))
        return false;

    if (parseStart)
        parseStart(payload.sourceLabel);
    // Parsed into a fresh catalog so that a bad document never disturbs one in use.
    PackageCatalog catalog;
    QString parseError;
    if (!loadFromJson(payload.data, catalog, parseError)) {
        // One multi-argument arg() so that a "%2" inside the label is never taken for a placeholder.
        errorText
            = QStringLiteral("Failed to parse catalog from %1.\n\n%2").arg(payload.sourceLabel, parseError);
        return false;
    }
    if (!trustedKeys.isEmpty()) {
        if (const PackageDefinition *package = archiveWithoutDigest(catalog)) {
            errorText = untrustedCatalogMessage(
                payload.sourceLabel, QStringLiteral("package %1 has no sha256").arg(displayLabel(*package)));
            return false;
        }
    }

    // The catalog knows best where its packages live; repositoryBaseUrl() is trimmed at load.
    const QString catalogBase = catalog.repositoryBaseUrl();
    loaded.repositoryBase = catalogBase.isEmpty() ? payload.repositoryBase : catalogBase;
    loaded.catalogSource = source.isEmpty() ? payload.resolvedSource : source;
    loaded.catalog = std::move(catalog);
    return true;
}

} // namespace vexa
