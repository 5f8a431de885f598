// The apply `vexa apply --yes` makes, straight through the session library and nothing else: the
// catalog loaded, the root inspected, its initial selection planned and applied. run-cli-bench.sh
// times it as a whole process beside vexa, so that the difference is what vexa adds.
//
// Usage: bench_sessionapply <catalog source> <root>

#include "catalog/catalogloading.h"
#include "controller/installsession.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace vexa;

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    const QStringList args = application.arguments();
    if (args.size() != 3) {
        out << "usage: bench_sessionapply <catalog source> <root>\n";
        return 2;
    }
    LoadedCatalog loaded;
    QString errorText;
    if (!loadCatalog(args.at(1), loaded, errorText)) {
        out << "catalog: " << errorText << '\n';
        return 1;
    }
    InstallSession session(std::move(loaded.catalog), loaded.repositoryBase, loaded.catalogSource);
    session.inspectRoot(args.at(2));
    session.resetSelection();
    session.recomputePlan();
    if (!session.applyJob(args.at(2)).run(errorText, {})) {
        out << "apply: " << errorText << '\n';
        return 1;
    }
    return 0;
}
