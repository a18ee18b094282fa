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

const bool backendAccountsRegistered =
    registerCommand({.name = QStringLiteral("accounts"),
                     .usage = QStringLiteral("[--backend URL]"),
                     .description = QStringLiteral("the connected inboxes"),
                     .example = QStringLiteral("tessary-inspect accounts"),
                     .group = QStringLiteral("backend"),
                     .needs = Needs::core,
                     .run = runAccounts}) &&
    registerCommand({.name = QStringLiteral("connect"),
                     .usage = QStringLiteral("gmail|outlook|imap [--backend URL]"),
                     .description = QStringLiteral("the sign-in page of a new inbox"),
                     .example = QStringLiteral("tessary-inspect connect gmail"),
                     .group = QStringLiteral("backend"),
                     .needs = Needs::core,
                     .run = runConnect}) &&
    registerCommand(
        {.name = QStringLiteral("imap"),
         .usage = QStringLiteral("EMAIL HOST [--backend URL]"),
         .description = QStringLiteral("adds an IMAP inbox (app password on stdin)"),
         .example = QStringLiteral("tessary-inspect imap me@fastmail.com imap.fastmail.com < password.txt"),
         .group = QStringLiteral("backend"),
         .needs = Needs::core,
         .run = runImap}) &&
    registerCommand({.name = QStringLiteral("remove"),
                     .usage = QStringLiteral("ACCOUNT_ID [--backend URL]"),
                     .description = QStringLiteral("removes an inbox"),
                     .example = QStringLiteral("tessary-inspect remove a1"),
                     .group = QStringLiteral("backend"),
                     .needs = Needs::core,
                     .run = runRemove});

} // namespace

} // namespace tessary::inspect
