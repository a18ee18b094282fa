#include "tools/InspectCommand.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

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

} // namespace tessary::inspect
