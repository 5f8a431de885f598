#pragma once

#include "catalog/catalogsource.h"
#include "catalog/packagecatalog.h"

#include <QString>

#include <functional>

namespace vexa {

// A catalog ready for use, with where its packages come from and where it is reloaded from.
struct LoadedCatalog
{
    PackageCatalog catalog;
    // The catalog's own repository_base_url when it sets one, otherwise where the catalog was found.
    QString repositoryBase;
    // What a later reload reads: the source given, or, when that was blank, what was actually found.
    QString catalogSource;
};

// Receives the source label of a resolved document just before it is parsed.
using ParseStartCallback = std::function<void(const QString &sourceLabel)>;

// Resolves `source` (trimmed by the caller; blank falls back to the environment and the default
// endpoint) and parses the document it names. On failure returns false with the resolver's message or
// "Failed to parse catalog from %1.\n\n%2"; `loaded` is then untouched. With `trustedKeys` the
// documents must be signed (see resolveCatalog) and every package with an archive must give its
// sha256, since the signature vouches for an archive only through its digest.
bool loadCatalog(const QString &source, LoadedCatalog &loaded, QString &errorText,
    const ProgressCallback &progress = {}, const ParseStartCallback &parseStart = {},
    const ReleaseKeys &trustedKeys = builtInReleaseKeys());

} // namespace vexa
