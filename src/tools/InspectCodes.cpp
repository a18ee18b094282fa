// tessary-inspect codes FILE [--site HOST]...: every code of a mailbox file, best first, as the
// code finder ranks them for a field on the given sites. With --live, the backend's mail instead.

#include "tools/InspectBackend.h"
#include "tools/InspectCommand.h"
#include "tools/MailboxFile.h"

#include "analysis/CodeFinder.h"
#include "analysis/SiteDomain.h"

#include <QJsonArray>

namespace tessary::inspect {

namespace {

const QString usage =
    QStringLiteral("FILE [--site HOST]...                   ranked codes of a mailbox file");

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

    QJsonArray codes;
    const QSet<QString> sites = expandDomains(parsed.options.values(QStringLiteral("--site")));
    for (const FoundCode& code : CodeFinder::rank(*messages, sites))
        codes.append(foundCodeJson(code));
    printJson(codes);
    return exitOk;
}

const bool registered = registerCommand({QStringLiteral("codes"), usage, Needs::core, runCodes});

} // namespace

} // namespace tessary::inspect
