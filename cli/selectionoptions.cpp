#include "cli/selectionoptions.h"

#include "archive/printabletext.h"
#include "controller/installsession.h"

#include <QCommandLineParser>

namespace vexa {

namespace {

const QString SelectOption = QStringLiteral("select");
const QString AddOption = QStringLiteral("add");
const QString RemoveOption = QStringLiteral("remove");

// The ids of every use of the option, in order: repeated, comma-separated or both.
QStringList packageIds(const QCommandLineParser &parser, const QString &option)
{
    QStringList ids;
    for (const QString &value : parser.values(option)) {
        for (const QString &id : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!id.trimmed().isEmpty())
                ids.append(id.trimmed());
        }
    }
    return ids;
}

bool knowsAll(const InstallSession &session, const QStringList &ids, QString &errorText)
{
    for (const QString &id : ids) {
        if (!session.catalog().findPackage(id)) {
            errorText = QStringLiteral("the catalog has no package \"%1\".").arg(printableName(id));
            return false;
        }
    }
    return true;
}

} // namespace

QList<QCommandLineOption> selectionOptions()
{
    return {
        QCommandLineOption(SelectOption,
            QStringLiteral("Select exactly these packages (and their dependencies) instead of what the root "
                           "holds."),
            QStringLiteral("id,...")),
        QCommandLineOption(AddOption, QStringLiteral("Add these packages (and their dependencies)."),
            QStringLiteral("id,...")),
        QCommandLineOption(RemoveOption,
            QStringLiteral("Remove these packages; a package that others still selected need stays."),
            QStringLiteral("id,...")),
    };
}

bool planSelectionOptions(const QCommandLineParser &parser, InstallSession &session, QString &errorText)
{
    const QStringList select = packageIds(parser, SelectOption);
    const QStringList add = packageIds(parser, AddOption);
    QStringList remove = packageIds(parser, RemoveOption);
    if (!knowsAll(session, select + add + remove, errorText))
        return false;

    if (parser.isSet(SelectOption))
        session.setSelection(QSet<QString>(select.cbegin(), select.cend()));
    for (const QString &id : add)
        session.setPackageSelected(id, true, errorText);
    // The closure first, as the window's ticks see it before an untick.
    session.recomputePlan();

    // Dependents before what they need, whatever order they were given in: each round unticks what
    // the rule allows, until nothing more can go.
    QString blockedText;
    while (!remove.isEmpty()) {
        QStringList blocked;
        for (const QString &id : std::as_const(remove)) {
            if (!session.setPackageSelected(id, false, blockedText))
                blocked.append(id);
        }
        if (blocked.size() == remove.size()) {
            errorText = blockedText;
            return false;
        }
        remove = blocked;
    }
    session.recomputePlan();
    return true;
}

} // namespace vexa
