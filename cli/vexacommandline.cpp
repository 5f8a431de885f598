#include "cli/vexacommandline.h"

#include "cli/commonoptions.h"
#include "cli/console.h"
#include "cli/exitcode.h"

#include <QCommandLineParser>

#include <algorithm>

namespace vexa {

namespace {

constexpr qsizetype HelpWidth = 100;
const QString HelpOption = QStringLiteral("help");

QCommandLineOption helpOption()
{
    return QCommandLineOption({ QStringLiteral("h"), HelpOption }, QStringLiteral("Show this help."));
}

QString exitCodeTable()
{
    return QStringLiteral("Exit codes:\n"
                          "  0  success\n"
                          "  1  failure\n"
                          "  2  usage error, or changes found when --exit-code is given\n"
                          "  3  refused: a removal needs --yes\n");
}

// `text` broken into lines of at most HelpWidth characters, every line after the first indented.
QString wrapped(const QString &text, qsizetype indent)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString result;
    qsizetype column = indent;
    for (const QString &word : words) {
        if (column > indent && column + 1 + word.size() > HelpWidth) {
            result += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            column = indent;
        } else if (column > indent) {
            result += QLatin1Char(' ');
            ++column;
        }
        result += word;
        column += word.size();
    }
    return result;
}

QString optionLabel(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    QString label = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        label += QStringLiteral(" <%1>").arg(option.valueName());
    return label;
}

QString optionTable(const QList<QCommandLineOption> &options)
{
    qsizetype width = 0;
    for (const QCommandLineOption &option : options)
        width = std::max(width, optionLabel(option).size());
    QString table;
    for (const QCommandLineOption &option : options) {
        table += QStringLiteral("  ") + optionLabel(option).leftJustified(width + 2)
            + wrapped(option.description(), width + 4) + QLatin1Char('\n');
    }
    return table;
}

const Command *findCommand(const QList<Command> &commands, const QString &name)
{
    for (const Command &command : commands) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

bool takesJson(const Command &command)
{
    return std::any_of(command.options.cbegin(), command.options.cend(),
        [](const QCommandLineOption &option) { return option.names().contains(JsonOption); });
}

int runCommand(const Command &command, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOptions(command.options);
    parser.addOption(helpOption());
    if (!parser.parse(arguments))
        return reportUsageError(Console(), command.name, parser.errorText());
    if (parser.isSet(HelpOption)) {
        Console().print(commandHelpText(command).chopped(1));
        return ExitSuccess;
    }
    Console console(takesJson(command) && parser.isSet(JsonOption));
    return command.run(CommandInvocation { parser, console });
}

} // namespace

int reportUsageError(const Console &console, const QString &commandName, const QString &problem)
{
    const QString prefix
        = commandName.isEmpty() ? QStringLiteral("vexa") : QStringLiteral("vexa %1").arg(commandName);
    console.message(QStringLiteral("%1: %2").arg(prefix, problem));
    console.message(QStringLiteral("Run \"%1 --help\" for help.").arg(prefix));
    return ExitUsage;
}

QString mainHelpText(const QList<Command> &commands)
{
    qsizetype width = 0;
    for (const Command &command : commands)
        width = std::max(width, command.name.size());
    QString commandList;
    for (const Command &command : commands)
        commandList += QStringLiteral("  ") + command.name.leftJustified(width + 2) + command.summary
            + QLatin1Char('\n');
    return QStringLiteral(
               "Usage: vexa <command> [options]\n\n"
               "Works with Vexa packages from a terminal, on the Vexa Installer's own libraries.\n\n"
               "Commands:\n")
        + commandList
        + QStringLiteral(
            "\nRun \"vexa <command> --help\" or \"vexa help <command>\" for a command's options.\n\n")
        + exitCodeTable();
}

QString commandHelpText(const Command &command)
{
    QList<QCommandLineOption> options = command.options;
    options.append(helpOption());
    QString description;
    for (const QString &paragraph : command.description.split(QStringLiteral("\n\n")))
        description += wrapped(paragraph, 0) + QStringLiteral("\n\n");
    return QStringLiteral("Usage: vexa %1\n\n").arg(command.synopsis) + description
        + QStringLiteral("Options:\n") + optionTable(options) + QLatin1Char('\n') + exitCodeTable();
}

int runVexa(const QStringList &arguments, const QList<Command> &commands)
{
    const Console console;
    const QStringList words = arguments.mid(1);
    if (words.isEmpty()) {
        // Without a command the help is the answer, but not a successful run.
        console.message(mainHelpText(commands).chopped(1));
        return ExitUsage;
    }
    const QString &first = words.first();
    if (first == QLatin1String("-h") || first == QLatin1String("--help") || first == QLatin1String("help")) {
        if (words.size() == 1) {
            console.print(mainHelpText(commands).chopped(1));
            return ExitSuccess;
        }
        if (words.size() > 2)
            return reportUsageError(console, QString(), QStringLiteral("help takes one command name."));
        const Command *command = findCommand(commands, words.at(1));
        if (!command)
            return reportUsageError(
                console, QString(), QStringLiteral("no command \"%1\".").arg(words.at(1)));
        console.print(commandHelpText(*command).chopped(1));
        return ExitSuccess;
    }
    const Command *command = findCommand(commands, first);
    if (!command)
        return reportUsageError(console, QString(), QStringLiteral("no command \"%1\".").arg(first));
    // The parser sees the command's own arguments, after a stand-in for the program name.
    return runCommand(*command, QStringList { QStringLiteral("vexa %1").arg(command->name) } + words.mid(1));
}

} // namespace vexa
