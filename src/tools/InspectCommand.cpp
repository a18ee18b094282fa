#include "tools/InspectCommand.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <tuple>

namespace tessary::inspect {

namespace {
std::vector<Command>& registry()
{
    static std::vector<Command> all;
    return all;
}
} // namespace

bool registerCommand(Command command)
{
    registry().push_back(std::move(command));
    return true;
}

const std::vector<Command>& commands()
{
    return registry();
}

const Command* findCommand(const QString& name)
{
    for (const Command& command : registry())
        if (command.name == name)
            return &command;
    return nullptr;
}

namespace {

// Groups in the order a user meets them: the mail, then the screen, the backend the mail comes
// from, and the bits of the desktop. A group no one has listed yet comes after these, by name.
const QStringList groupOrder = {QStringLiteral("mail"), QStringLiteral("screen"), QStringLiteral("backend"),
                                QStringLiteral("shortcut and login")};

qsizetype groupRank(const QString& group)
{
    const qsizetype rank = groupOrder.indexOf(group);
    return rank < 0 ? groupOrder.size() : rank;
}

// Past this width a command's description starts on a line of its own, so one long usage does not
// push every other description off the screen.
constexpr qsizetype widestAlignedCall = 44;

} // namespace

void printHelp()
{
    std::vector<const Command*> sorted;
    for (const Command& command : registry())
        sorted.push_back(&command);
    std::sort(sorted.begin(), sorted.end(), [](const Command* a, const Command* b) {
        return std::tuple(groupRank(a->group), a->group, a->name) <
               std::tuple(groupRank(b->group), b->group, b->name);
    });
    const auto call = [](const Command* command) {
        return command->usage.isEmpty() ? command->name : command->name + ' ' + command->usage;
    };
    qsizetype column = 0;
    for (const Command* command : sorted)
        if (call(command).size() <= widestAlignedCall)
            column = std::max(column, call(command).size());

    QStringList lines = {
        QStringLiteral("usage: tessary-inspect COMMAND [ARGUMENTS]"),
        QStringLiteral("       tessary-inspect help COMMAND    one command, with an example")};
    QString group;
    for (const Command* command : sorted) {
        if (lines.size() == 2 || command->group != group) {
            group = command->group;
            lines << QString() << group;
        }
        const QString start = QStringLiteral("  ") + call(command);
        if (call(command).size() <= column)
            lines << start.leftJustified(column + 4) + command->description;
        else
            lines << start << QString(column + 4, QLatin1Char(' ')) + command->description;
    }
    printLine(lines.join(QLatin1Char('\n')));
}

void printCommandHelp(const Command& command)
{
    printLine(QStringLiteral("usage: tessary-inspect %1%2\n\n%3\n\nexample:\n  %4")
                  .arg(command.name, command.usage.isEmpty() ? QString() : ' ' + command.usage,
                       command.description, command.example));
}

void printJson(const QJsonValue& value)
{
    QByteArray text;
    if (value.isObject())
        text = QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented);
    else if (value.isArray())
        text = QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented);
    else // a scalar: wrap it in an array to reuse the writer, then take the element back out
        text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).mid(1).chopped(1) + '\n';
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

void printLine(const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void printError(const QString& text)
{
    const QByteArray bytes = "tessary-inspect: " + text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

Expected<QJsonDocument, QString> readJsonFile(const QString& path)
{
    // QFile would add a warning line of its own for an empty name ("" from an unset variable).
    if (path.isEmpty())
        return Unexpected{QStringLiteral("the file name is empty")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Unexpected{QStringLiteral("%1: cannot read: %2").arg(path, file.errorString())};
    QJsonParseError parseError;
    QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Unexpected{QStringLiteral("%1: invalid JSON at byte %2: %3")
                              .arg(path)
                              .arg(parseError.offset)
                              .arg(parseError.errorString())};
    return document;
}

ParsedArguments parseArguments(const QStringList& arguments, const QStringList& optionsWithValue,
                               const QStringList& flags)
{
    ParsedArguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!argument.startsWith(QLatin1String("--")) || argument == QLatin1String("--")) {
            parsed.positional.append(argument);
        } else if (flags.contains(argument)) {
            parsed.options.insert(argument, QString());
        } else if (optionsWithValue.contains(argument)) {
            if (i + 1 >= arguments.size()) {
                parsed.error = QStringLiteral("%1 needs a value").arg(argument);
                return parsed;
            }
            parsed.options.insert(argument, arguments.at(++i));
        } else {
            parsed.error = QStringLiteral("unknown option %1").arg(argument);
            return parsed;
        }
    }
    return parsed;
}

std::optional<double> timeOption(const ParsedArguments& parsed, const QString& option, double fallback)
{
    if (!parsed.options.contains(option))
        return fallback;
    bool isNumber = false;
    const double time = parsed.options.value(option).toDouble(&isNumber);
    // "nan" and "inf" read as numbers, and Qt's timers count milliseconds in an int: a wait past
    // some 24 days would never end.
    const double longest = double(std::numeric_limits<int>::max()) / 1000;
    if (!isNumber || !(time >= 0 && time <= longest))
        return std::nullopt;
    return time;
}

} // namespace tessary::inspect
