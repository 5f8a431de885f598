#pragma once

#include "net/progresscallback.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vexa {

struct PublishRequest
{
    // Each holds vexa-package.json and the package's files; packages are listed in this order.
    QStringList payloadDirectories;
    // Must not exist yet, or be an empty directory.
    QString outputDirectory;
    // Sidecar documents and vexa-package-names.txt instead of one catalog.json.
    bool packageIndex = false;
    // An Ed25519 private key (PEM); empty for an unsigned repository.
    QString signingKeyPath;
    // Threads that deflate archives; 0 for one per core.
    int threadCount = 0;
};

struct PublishedPackage
{
    QString packageId;
    QString payloadDirectory;
    // Relative to the repository: the archive, or the directory of a directory payload.
    QString payloadPath;
    bool isDirectoryPayload = false;
    // Archives only.
    QString sha256;
    qint64 sizeBytes = 0;
};

struct PublishResult
{
    QString repositoryDirectory;
    // Relative to the repository: catalog.json, or the package index followed by the sidecars.
    QStringList documents;
    // The ".sig" files beside the documents, when signed.
    QStringList signatures;
    QList<PublishedPackage> packages;
};

// Builds a repository in `request.outputDirectory` from payload directories: an archive of each
// payload (or a copy of it, for a directory payload), the catalog document or the package index
// with one sidecar per package, and their signatures. Every payload is read and checked before
// anything is written, the repository is built in a hidden directory beside the output and must load
// with the installer's catalog loader, and only then does it take the output's name, so a failure
// leaves no half-written repository. On failure returns false with one message.
bool publishRepository(const PublishRequest &request, PublishResult &result, QString &errorText,
    const ProgressCallback &progress = {});

} // namespace vexa
