// tessary-inspect links FILE [--site HOST]... [--kind signIn|confirm]: the one link of a mailbox
// file that the link flow would open for a page on the given sites, or null.

#include "tools/InspectCommand.h"
#include "tools/JsonLine.h"
#include "tools/MailboxFile.h"

#include "analysis/LinkFinder.h"

namespace tessary::inspect {

namespace {

QString foundLinkLine(const FoundLink& link)
{
    return jsonLine({{QStringLiteral("url"), link.url.toString(QUrl::FullyEncoded)},
                     {QStringLiteral("kind"), kindName(link.kind)},
                     {QStringLiteral("senderDomain"), link.senderDomain},
                     {QStringLiteral("trusted"), link.trusted},
                     {QStringLiteral("messageId"), optionalJson(link.messageId)}});
}

int runLinks(const QStringList& arguments)
{
    const ParsedArguments parsed =
        parseArguments(arguments, {QStringLiteral("--site"), QStringLiteral("--kind")});
    if (!parsed.error.isEmpty() || parsed.positional.size() != 1) {
        printError(parsed.error.isEmpty()
                       ? QStringLiteral("usage: links FILE [--site HOST]... [--kind signIn|confirm]")
                       : parsed.error);
        return exitBadInput;
    }
    std::optional<FoundLink::Kind> wanted;
    if (parsed.options.contains(QStringLiteral("--kind"))) {
        wanted = kindFromName(parsed.options.value(QStringLiteral("--kind")));
        if (!wanted || parsed.options.count(QStringLiteral("--kind")) > 1) {
            printError(QStringLiteral("--kind is signIn or confirm, given once"));
            return exitBadInput;
        }
    }
    const std::optional<QList<Message>> messages = readMailbox(parsed.positional.first());
    if (!messages)
        return exitBadInput;

    const std::optional<FoundLink> link =
        LinkFinder::bestLink(*messages, parsed.options.values(QStringLiteral("--site")), wanted);
    printLine(link ? foundLinkLine(*link) : QStringLiteral("null"));
    return exitOk;
}

const bool linksRegistered = registerCommand(
    {.name = QStringLiteral("links"),
     .usage = QStringLiteral("FILE [--site HOST]... [--kind signIn|confirm]"),
     .description = QStringLiteral("the best link of a mailbox file, or null"),
     .example = QStringLiteral(
         "tessary-inspect links samples/mailbox.json --site app.example-shop.com --kind signIn"),
     .group = QStringLiteral("mail"),
     .needs = Needs::core,
     .run = runLinks});

} // namespace

} // namespace tessary::inspect
