// A real apply in a process of its own, for tests that kill it part-way:
//   vexa_apply_child <catalog file> <repository base> <root> <selected ids, comma-separated>
// Inspects the root, plans the selection and applies it, printing each progress line as it comes.
// Exit code 0 on success, 1 with the message on standard error otherwise.
#include "engine/applytransaction.h"
#include "engine/changeplan.h"
#include "engine/rootinspection.h"
#include "progresslines.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

using namespace vexa;

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (arguments.size() != 5) {
        err << "usage: vexa_apply_child <catalog> <repository> <root> <ids>\n";
        return 2;
    }
    QFile catalogFile(arguments.at(1));
    PackageCatalog catalog;
    QString error;
    if (!catalogFile.open(QIODevice::ReadOnly) || !loadFromJson(catalogFile.readAll(), catalog, error)) {
        err << "catalog: " << error << '\n';
        return 2;
    }
    const QStringList ids = arguments.at(4).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const ChangePlan plan = computePlan(
        catalog, inspectRoot(catalog, arguments.at(3)), QSet<QString>(ids.cbegin(), ids.cend()));
    const bool ok = applyPlan(
        catalog, arguments.at(2), arguments.at(3), plan, error, progressLines([&out](const QString &line) {
            out << line << '\n';
            out.flush();
        }));
    if (!ok)
        err << error << '\n';
    return ok ? 0 : 1;
}
