#pragma once

#include "common/Expected.h"

#include <QJsonDocument>
#include <QMultiHash>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace tessary::inspect {

// Exit statuses shared by every command; scripts outside the repo rely on them.
enum ExitStatus {
    exitOk = 0,
    exitFailure = 1,  // the operation failed the way a user would see it fail
    exitBadInput = 2, // a missing or malformed file or argument
    exitRefused = 3,  // the system refused (a shortcut held by another client)
};

// Which application object a command needs before it runs.
enum class Needs { core, gui };

// One `tessary-inspect NAME ...` command. Each command file registers its own at start-up, so a
// new command is one new file; the help is built from these fields alone.
struct Command {
    QString name;
    QString usage;       // one line: the arguments after the name
    QString description; // one line: what the command prints or does
    QString example;     // a whole command line someone can run as it stands
    QString group;       // the heading the command is listed under ("mail", "screen", ...)
    Needs needs = Needs::core;
    std::function<int(const QStringList& arguments)> run;
};

bool registerCommand(Command command);
const std::vector<Command>& commands();
const Command* findCommand(const QString& name);

// The help on stdout: every command under its group, or one command with its example.
void printHelp();
void printCommandHelp(const Command& command);

// Shared input and output.
void printJson(const QJsonValue& value);
void printLine(const QString& text);
void printError(const QString& text); // one line on stderr, prefixed with the program name
Expected<QJsonDocument, QString> readJsonFile(const QString& path); // error names the file

// Values of a repeatable option ("--site a --site b") and a single option; a missing value after
// an option, or an unknown option, is reported through `error`.
struct ParsedArguments {
    QStringList positional;
    QMultiHash<QString, QString> options;
    QString error;
};
ParsedArguments parseArguments(const QStringList& arguments, const QStringList& optionsWithValue,
                               const QStringList& flags = {});
// The time given with `option` (seconds or minutes), `fallback` without it; nothing when it is no
// number that can be waited: not a number, below zero, or longer than a timer waits.
std::optional<double> timeOption(const ParsedArguments& parsed, const QString& option, double fallback);

} // namespace tessary::inspect
