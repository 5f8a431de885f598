#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

namespace vexa {

inline const QString RootOption = QStringLiteral("root");
inline const QString JsonOption = QStringLiteral("json");

// What a command that reads a catalog and a root works on.
struct CatalogAndRoot
{
    // Handed to catalog loading as it stands; blank lets VEXA_CATALOG_URL, VEXA_REPOSITORY_DIR and
    // the default endpoint decide, as in the installer.
    QString catalogSource;
    // Cleaned once, here, as the installer cleans a root it is given.
    QString root;
};

// --repository-dir and --catalog-url with the installer's meaning, and --root. Every command that
// reads a catalog and a root takes these.
QList<QCommandLineOption> catalogAndRootOptions();
// --json: the result as one JSON document on standard output.
QCommandLineOption jsonOption();

// Reads the options of catalogAndRootOptions from a parser that has parsed them. The root is
// --root, else VEXA_ROOT when it is set and not blank, else the installer's default root. A --root
// given blank is a usage error: false with the message.
bool readCatalogAndRoot(const QCommandLineParser &parser, CatalogAndRoot &options, QString &errorText);

} // namespace vexa
