#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

namespace vexa {

class Console;

// What a command is run with: its parsed command line (positional arguments included) and where
// its output goes.
struct CommandInvocation
{
    const QCommandLineParser &parser;
    Console &console;
};

// One command of `vexa <command> [options]`: what its help shows and what it runs.
struct Command
{
    QString name;
    // The usage after "vexa ": "publish PAYLOAD_DIR... --out REPO_DIR [--index]".
    QString synopsis;
    // One line in `vexa --help`.
    QString summary;
    // The paragraphs of `vexa <name> --help`, between the usage and the options.
    QString description;
    // The command's options; --help is added for every command.
    QList<QCommandLineOption> options;
    // Returns the process's exit code (cli/exitcode.h).
    int (*run)(const CommandInvocation &invocation) = nullptr;
};

// The message for a command line the command cannot use, with the hint to its help; returns
// ExitUsage for the command to return.
int reportUsageError(const Console &console, const QString &commandName, const QString &problem);

} // namespace vexa
