#pragma once

#include <QCommandLineOption>
#include <QString>

namespace vexa {

// The two command-line options that name a catalog source, shared by every program that loads a
// catalog so that they mean the same everywhere.
inline const QString RepositoryDirOption = QStringLiteral("repository-dir");
inline const QString CatalogUrlOption = QStringLiteral("catalog-url");

QCommandLineOption repositoryDirOption();
QCommandLineOption catalogUrlOption();

// The one source string handed to catalog resolution: the catalog URL wins over the repository
// directory; empty when neither was given, so the environment and the default endpoint decide.
QString catalogSourceString(const QString &catalogUrl, const QString &repositoryDir);

} // namespace vexa
