// tessary-inspect accounts | connect PROVIDER | imap EMAIL HOST | remove ACCOUNT_ID: the backend's
// inbox endpoints, each with [--backend URL], against the real settings and token stores.

#include "tools/InspectBackend.h"

#include <QJsonArray>
#include <QTextStream>

namespace tessary::inspect {

namespace {

const QString backendUsage = QStringLiteral("[--backend URL]");

int runAccounts(const QStringList& arguments)
{
    const ParsedArguments parsed = parseBackendArguments(arguments, {}, 0, "accounts " + backendUsage);
    if (!parsed.error.isEmpty())
        return exitBadInput;
    BackendSession session(backendOverride(parsed));
    const auto accounts = runToEnd(session.backend.accounts());
    if (!accounts)
        return reportFailure(accounts.error());
    QJsonArray list;
    for (const Account& account : *accounts)
        list.append(accountJson(account));
    printJson(list);
    return exitOk;
}

int runConnect(const QStringList& arguments)
{
    const QString usage = "connect gmail|outlook|imap " + backendUsage;
    const ParsedArguments parsed = parseBackendArguments(arguments, {}, 1, usage);
    if (!parsed.error.isEmpty())
        return exitBadInput;
    const QString provider = parsed.positional.first();
    if (!QStringList{"gmail", "outlook", "imap"}.contains(provider)) {
        printError(QStringLiteral("usage: %1").arg(usage));
        return exitBadInput;
    }
    BackendSession session(backendOverride(parsed));
    const auto link = runToEnd(session.backend.connect(provider));
    if (!link)
        return reportFailure(link.error());
    printJson(QJsonObject{{"url", link->url.toString()}, {"accountId", link->accountId}});
    return exitOk;
}

// The app password comes on stdin so it never shows in the process list or the shell history.
int runImap(const QStringList& arguments)
{
    const ParsedArguments parsed =
        parseBackendArguments(arguments, {}, 2, "imap EMAIL HOST " + backendUsage + "  (password on stdin)");
    if (!parsed.error.isEmpty())
        return exitBadInput;
    QTextStream input(stdin);
    const QString password = input.readLine();
    if (password.isEmpty()) {
        printError(QStringLiteral("imap: no password on stdin"));
        return exitBadInput;
    }
    BackendSession session(backendOverride(parsed));
    const auto account =
        runToEnd(session.backend.addIMAP(parsed.positional.at(0), password, parsed.positional.at(1)));
    if (!account)
        return reportFailure(account.error());
    printJson(accountJson(*account));
    return exitOk;
}

int runRemove(const QStringList& arguments)
{
    const ParsedArguments parsed =
        parseBackendArguments(arguments, {}, 1, "remove ACCOUNT_ID " + backendUsage);
    if (!parsed.error.isEmpty())
        return exitBadInput;
    BackendSession session(backendOverride(parsed));
    const auto removed = runToEnd(session.backend.removeAccount(parsed.positional.first()));
    if (!removed)
        return reportFailure(removed.error());
    printJson(QJsonObject{{"removed", parsed.positional.first()}});
    return exitOk;
}

const bool registered =
    registerCommand({"accounts", "[--backend URL]                         the connected inboxes", Needs::core,
                     runAccounts}) &&
    registerCommand({"connect", "gmail|outlook|imap [--backend URL]      the sign-in page of a new inbox",
                     Needs::core, runConnect}) &&
    registerCommand({"imap", "EMAIL HOST [--backend URL]              adds an IMAP inbox (password on stdin)",
                     Needs::core, runImap}) &&
    registerCommand(
        {"remove", "ACCOUNT_ID [--backend URL]              removes an inbox", Needs::core, runRemove});

} // namespace

} // namespace tessary::inspect
