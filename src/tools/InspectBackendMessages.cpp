// tessary-inspect messages | ids | trash MESSAGE_ID, and the live half of `codes`: the backend's
// mail endpoints, each with [--backend URL], against the real settings and token stores.

#include "analysis/CodeFinder.h"
#include "tools/InspectBackend.h"

#include <QJsonArray>

#include <algorithm>

namespace tessary::inspect {

namespace {

const QString sinceUsage = QStringLiteral("[--since SECONDS] [--backend URL]");

int runMessages(const QStringList& arguments)
{
    const ParsedArguments parsed =
        parseBackendArguments(arguments, {sinceOption}, 0, "messages " + sinceUsage);
    if (!parsed.error.isEmpty())
        return exitBadInput;
    const auto since = sinceOrDefault(parsed);
    if (!since)
        return exitBadInput;
    BackendSession session(backendOverride(parsed));
    const auto messages = runToEnd(session.backend.messages(*since));
    if (!messages)
        return reportFailure(messages.error());
    QJsonArray list;
    for (const Message& message : *messages)
        list.append(messageJson(message));
    printJson(QJsonObject{{"messages", list}}); // the mailbox format `codes FILE` reads
    return exitOk;
}

int runIds(const QStringList& arguments)
{
    const ParsedArguments parsed = parseBackendArguments(arguments, {sinceOption}, 0, "ids " + sinceUsage);
    if (!parsed.error.isEmpty())
        return exitBadInput;
    const auto since = sinceOrDefault(parsed);
    if (!since)
        return exitBadInput;
    BackendSession session(backendOverride(parsed));
    const auto ids = runToEnd(session.backend.messageIds(*since));
    if (!ids)
        return reportFailure(ids.error());
    QStringList sorted(ids->begin(), ids->end()); // a set has no order; sorting makes runs comparable
    std::sort(sorted.begin(), sorted.end());
    printJson(QJsonArray::fromStringList(sorted));
    return exitOk;
}

int runTrash(const QStringList& arguments)
{
    const ParsedArguments parsed =
        parseBackendArguments(arguments, {}, 1, QStringLiteral("trash MESSAGE_ID [--backend URL]"));
    if (!parsed.error.isEmpty())
        return exitBadInput;
    BackendSession session(backendOverride(parsed));
    const auto trashed = runToEnd(session.backend.trash(parsed.positional.first()));
    if (!trashed)
        return reportFailure(trashed.error());
    printJson(QJsonObject{{"trashed", parsed.positional.first()}});
    return exitOk;
}

const bool backendMessagesRegistered =
    registerCommand({.name = QStringLiteral("messages"),
                     .usage = QStringLiteral("[--since SECONDS] [--backend URL]"),
                     .description = QStringLiteral("mail since then (default: 3 minutes ago)"),
                     .example = QStringLiteral("tessary-inspect messages --since 1765015200 > mailbox.json"),
                     .group = QStringLiteral("backend"),
                     .needs = Needs::core,
                     .run = runMessages}) &&
    registerCommand({.name = QStringLiteral("ids"),
                     .usage = QStringLiteral("[--since SECONDS] [--backend URL]"),
                     .description = QStringLiteral("ids of mail since then (default: 3 minutes ago)"),
                     .example = QStringLiteral("tessary-inspect ids --since 1765015200"),
                     .group = QStringLiteral("backend"),
                     .needs = Needs::core,
                     .run = runIds}) &&
    registerCommand({.name = QStringLiteral("trash"),
                     .usage = QStringLiteral("MESSAGE_ID [--backend URL]"),
                     .description = QStringLiteral("moves a message to the Trash"),
                     .example = QStringLiteral("tessary-inspect trash m1"),
                     .group = QStringLiteral("backend"),
                     .needs = Needs::core,
                     .run = runTrash});

} // namespace

int runLiveCodes(const QStringList& arguments)
{
    const ParsedArguments parsed = parseBackendArguments(
        arguments, {sinceOption, QStringLiteral("--site")}, 0,
        QStringLiteral("codes --live [--since SECONDS] [--site HOST]... [--backend URL]"),
        {QStringLiteral("--live")});
    if (!parsed.error.isEmpty())
        return exitBadInput;
    const auto since = sinceOrDefault(parsed);
    if (!since)
        return exitBadInput;
    QStringList sites = parsed.options.values(QStringLiteral("--site"));
    std::reverse(sites.begin(), sites.end()); // QMultiHash hands values back newest first
    BackendSession session(backendOverride(parsed));
    CodeFinder finder(session.backend);
    const auto best = runToEnd(finder.bestCode(*since, sites));
    if (!best)
        return reportFailure(best.error());
    printLine(*best ? foundCodeLine(**best) : QStringLiteral("null"));
    return exitOk;
}

} // namespace tessary::inspect
