// Writes <directory>/catalog.json with a large catalog (largecatalog.h) and <directory>/root holding
// some of its packages as an apply leaves them, for run-cli-bench.sh to list.
//
// Usage: bench_largeroot <directory> [packages, default 5000] [installed, default 1000]

#include "support/largecatalog.h"

#include "catalog/packagecatalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

using namespace vexa;

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    const QStringList args = application.arguments();
    if (args.size() < 2) {
        out << "usage: bench_largeroot <directory> [packages] [installed]\n";
        return 2;
    }
    const QDir directory(args.at(1));
    const int count = args.value(2, QStringLiteral("5000")).toInt();
    const int installed = args.value(3, QStringLiteral("1000")).toInt();
    const QByteArray document = largeCatalog(count);
    PackageCatalog catalog;
    QString errorText;
    QFile file(directory.filePath(QStringLiteral("catalog.json")));
    if (!QDir().mkpath(directory.path()) || !file.open(QIODevice::WriteOnly)
        || file.write(document) != document.size() || !loadFromJson(document, catalog, errorText)) {
        out << "catalog: " << errorText << '\n';
        return 1;
    }
    const QSet<QString> ids
        = writeLargeRoot(catalog, directory.filePath(QStringLiteral("root")), installed, errorText);
    if (ids.isEmpty()) {
        out << "root: " << errorText << '\n';
        return 1;
    }
    out << count << " packages, " << ids.size() << " installed\n";
    return 0;
}
