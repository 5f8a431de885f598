#include "cli/publishcommand.h"

#include "cli/commonoptions.h"
#include "cli/console.h"
#include "cli/exitcode.h"
#include "cli/repositorypublishing.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>

namespace vexa {

namespace {

const QString OutOption = QStringLiteral("out");
const QString IndexOption = QStringLiteral("index");
const QString SignOption = QStringLiteral("sign");

QJsonObject packageDocument(const PublishedPackage &package)
{
    QJsonObject object { { QStringLiteral("package_id"), package.packageId },
        { QStringLiteral("payload_directory"), package.payloadDirectory } };
    if (package.isDirectoryPayload) {
        object.insert(QStringLiteral("payload_source_dir"), package.payloadPath);
    } else {
        object.insert(QStringLiteral("payload_archive"), package.payloadPath);
        object.insert(QStringLiteral("sha256"), package.sha256);
        object.insert(QStringLiteral("size_bytes"), package.sizeBytes);
    }
    return object;
}

int runPublish(const CommandInvocation &invocation)
{
    const QCommandLineParser &parser = invocation.parser;
    Console &console = invocation.console;
    PublishRequest request;
    request.payloadDirectories = parser.positionalArguments();
    request.outputDirectory = parser.value(OutOption);
    request.packageIndex = parser.isSet(IndexOption);
    request.signingKeyPath = parser.value(SignOption);
    if (request.payloadDirectories.isEmpty())
        return reportUsageError(
            console, QStringLiteral("publish"), QStringLiteral("no payload directory given."));
    if (request.outputDirectory.trimmed().isEmpty())
        return reportUsageError(
            console, QStringLiteral("publish"), QStringLiteral("--out names no directory."));
    if (parser.isSet(SignOption) && request.signingKeyPath.trimmed().isEmpty())
        return reportUsageError(console, QStringLiteral("publish"), QStringLiteral("--sign names no key."));

    PublishResult result;
    QString errorText;
    if (!publishRepository(
            request, result, errorText, [&console](const QString &line) { console.message(line); })) {
        console.message(errorText);
        return ExitFailure;
    }

    if (console.jsonOutput()) {
        QJsonArray packages;
        for (const PublishedPackage &package : std::as_const(result.packages))
            packages.append(packageDocument(package));
        console.printDocument({ { QStringLiteral("repository"), result.repositoryDirectory },
            { QStringLiteral("documents"), QJsonArray::fromStringList(result.documents) },
            { QStringLiteral("signatures"), QJsonArray::fromStringList(result.signatures) },
            { QStringLiteral("packages"), packages } });
        return ExitSuccess;
    }
    for (const PublishedPackage &package : std::as_const(result.packages)) {
        if (package.isDirectoryPayload)
            console.print(QStringLiteral("%1  %2/ (directory)").arg(package.packageId, package.payloadPath));
        else
            console.print(QStringLiteral("%1  %2  %3 bytes  sha256 %4")
                              .arg(package.packageId, package.payloadPath, QString::number(package.sizeBytes),
                                  package.sha256));
    }
    console.print(QStringLiteral("Published %1 packages to %2: %3")
                      .arg(QString::number(result.packages.size()), result.repositoryDirectory,
                          (result.documents + result.signatures).join(QStringLiteral(", "))));
    return ExitSuccess;
}

} // namespace

Command publishCommand()
{
    Command command;
    command.name = QStringLiteral("publish");
    command.synopsis
        = QStringLiteral("publish PAYLOAD_DIR... --out REPO_DIR [--index] [--sign KEY.pem] [--json]");
    command.summary = QStringLiteral("Build a package repository from payload directories.");
    command.description = QStringLiteral(
        "Each PAYLOAD_DIR holds the files of one package as they appear in a Vexa root, and "
        "vexa-package.json "
        "with the package's catalog fields but \"sha256\" and \"size_bytes\", which publishing computes. "
        "Each payload is packed into a zip archive at its \"payload_archive\" (default: "
        "packages/<directory name>.zip), or, when vexa-package.json sets \"payload_source_dir\", copied "
        "there "
        "as a plain directory. Hidden files and vexa-package.json itself are left out; links and names "
        "Windows cannot hold are refused.\n\n"
        "The archives depend only on the files' names and contents: entries sorted, fixed times and modes, "
        "no extra fields. Publishing the same payloads gives the same bytes on every machine.\n\n"
        "Packages are listed in the order the directories are given. REPO_DIR must not exist or be empty; "
        "the repository is built beside it and checked with the installer's catalog loader before it takes "
        "that name.");
    command.options = {
        QCommandLineOption(
            OutOption, QStringLiteral("The repository directory to create."), QStringLiteral("REPO_DIR")),
        QCommandLineOption(IndexOption,
            QStringLiteral("Write one sidecar document per package (<payload directory name>.json) and "
                           "vexa-package-names.txt listing them, instead of catalog.json.")),
        QCommandLineOption(SignOption,
            QStringLiteral("Sign catalog.json, or the package index and every sidecar, with this Ed25519 "
                           "private key: a \"<file>.sig\" beside each holds the signature in base64."),
            QStringLiteral("KEY.pem")),
        jsonOption(),
    };
    command.run = runPublish;
    return command;
}

} // namespace vexa
