#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

namespace vexa {

class InstallSession;

// --select, --add and --remove: a selection edited as the window's ticks edit it, starting from the
// root's initial selection. Each takes package ids, repeated or separated by commas.
QList<QCommandLineOption> selectionOptions();

// Applies the options to the session's selection and plans it: --select replaces the selection,
// --add ticks packages, --remove unticks them by the window's rule (a package that selected packages
// depend on stays, unless they are removed too). False with the problem, a wrong command line: an id
// the catalog does not know, or a removal the rule refuses (with the window's message).
bool planSelectionOptions(const QCommandLineParser &parser, InstallSession &session, QString &errorText);

} // namespace vexa
