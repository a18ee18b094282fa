// tessary-inspect codes FILE [--site HOST]...: every code of a mailbox file, best first, as the
// code finder ranks them for a field on the given sites. With --live, the backend's mail instead.

#include "tools/InspectBackend.h"
#include "tools/InspectCommand.h"
#include "tools/JsonLine.h"
#include "tools/MailboxFile.h"

#include "analysis/CodeFinder.h"
#include "analysis/SiteDomain.h"

namespace tessary::inspect {

// One code per line, its fields in a fixed order; "received" is null for a mail without a time.
QString foundCodeLine(const FoundCode& code)
{
    return jsonLine({{QStringLiteral("code"), code.code},
                     {QStringLiteral("score"), code.score},
                     {QStringLiteral("senderDomain"), code.senderDomain},
                     {QStringLiteral("received"),
                      code.received == distantPast ? QJsonValue() : QJsonValue(code.received)},
                     {QStringLiteral("messageId"), optionalJson(code.messageId)}});
}

namespace {

int runCodes(const QStringList& arguments)
{
    if (arguments.contains(QLatin1String("--live")))
        return runLiveCodes(arguments);
    const ParsedArguments parsed = parseArguments(arguments, {QStringLiteral("--site")});
    if (!parsed.error.isEmpty() || parsed.positional.size() != 1) {
        printError(parsed.error.isEmpty() ? QStringLiteral("usage: codes FILE [--site HOST]...")
                                          : parsed.error);
        return exitBadInput;
    }
    const std::optional<QList<Message>> messages = readMailbox(parsed.positional.first());
    if (!messages)
        return exitBadInput;

    const QSet<QString> sites = expandDomains(parsed.options.values(QStringLiteral("--site")));
    QStringList lines;
    for (const FoundCode& code : CodeFinder::rank(*messages, sites))
        lines.append(QStringLiteral("  ") + foundCodeLine(code));
    printLine(lines.isEmpty()
                  ? QStringLiteral("[]")
                  : QStringLiteral("[\n") + lines.join(QStringLiteral(",\n")) + QStringLiteral("\n]"));
    return exitOk;
}

const bool codesRegistered = registerCommand(
    {.name = QStringLiteral("codes"),
     .usage =
         QStringLiteral("FILE [--site HOST]... | --live [--since SECONDS] [--site HOST]... [--backend URL]"),
     .description = QStringLiteral("ranked codes of a mailbox file; --live: of recent mail"),
     .example = QStringLiteral("tessary-inspect codes samples/mailbox.json --site accounts.example-shop.com"),
     .group = QStringLiteral("mail"),
     .needs = Needs::core,
     .run = runCodes});

} // namespace

} // namespace tessary::inspect
