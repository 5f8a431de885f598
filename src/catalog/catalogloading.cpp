#include "catalog/catalogloading.h"

#include <utility>

namespace vexa {

bool loadCatalog(const QString &source, LoadedCatalog &loaded, QString &errorText,
    const ProgressCallback &progress, const ParseStartCallback &parseStart)
{
    CatalogPayload payload;
    if (!resolveCatalog(source, payload, errorText, progress))
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

    // The catalog knows best where its packages live; repositoryBaseUrl() is trimmed at load.
    const QString catalogBase = catalog.repositoryBaseUrl();
    loaded.repositoryBase = catalogBase.isEmpty() ? payload.repositoryBase : catalogBase;
    loaded.catalogSource = source.isEmpty() ? payload.resolvedSource : source;
    loaded.catalog = std::move(catalog);
    return true;
}

} // namespace vexa
