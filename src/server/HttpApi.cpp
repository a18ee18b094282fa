#include "server/HttpApi.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <map>

namespace tessary::server {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto settleWait = std::chrono::seconds(5);
// The app takes at most 16 MB in one reply; the newest messages fill it up to here.
constexpr qsizetype maxMessagesReply = 15 * 1024 * 1024;
// When a refused client may try again: a held poll or a check of a mail server ends by then.
constexpr auto retryAfterSeconds = "5";
// Checks of new inboxes (MailService allows 8 at once, and turns more away itself), moves to the
// Trash and sign-ins, each of which may wait seconds.
constexpr int longWorkThreads = 10;
constexpr std::size_t maxLongWorkQueued = 64;

HttpReply json(const QJsonObject& body, int status = 200)
{
    return HttpReply{status, "application/json", {}, QJsonDocument(body).toJson(QJsonDocument::Compact)};
}

HttpReply failure(int status, const QString& message)
{
    return json(QJsonObject{{"error", message}}, status);
}

HttpReply unknownService()
{
    return failure(404, QStringLiteral("This backend has no such service; check the backend address"));
}

// Each inbox is watched over a connection of its own, and a sign-in under way holds a place too.
HttpReply tooManyInboxes(int limit)
{
    return failure(400, QStringLiteral("This computer has as many inboxes as this backend allows (%1); "
                                       "remove one to add another")
                            .arg(limit));
}

HttpReply busy(const QString& message)
{
    HttpReply reply = failure(503, message);
    reply.headers.emplace_back("Retry-After", retryAfterSeconds);
    return reply;
}

// An inbox that cannot be read says so: status "error" and, beside it, why in the user's words.
// The client counts every status but "active" as not usable.
QJsonObject accountJson(const StoredAccount& account, const std::optional<QString>& problem = {})
{
    QJsonObject json{{"id", account.id}, {"provider", account.provider}, {"status", account.status}};
    if (!account.email.isEmpty())
        json.insert("email", account.email);
    if (problem && account.status == QLatin1String("active")) {
        json.insert("status", "error");
        json.insert("error", *problem);
    }
    return json;
}

std::optional<QJsonObject> bodyObject(const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

// A message id names its account, the mailbox's UIDVALIDITY and the UID: enough to find the
// message in the mailbox after it has left the cache.
std::optional<CachedMessage> parseMessageId(const QString& id)
{
    const QStringList parts = id.split(QLatin1Char('.'));
    bool validityOk = false;
    bool uidOk = false;
    CachedMessage message;
    if (parts.size() != 3)
        return std::nullopt;
    message.id = id;
    message.accountId = parts[0];
    message.uidValidity = parts[1].toUInt(&validityOk);
    message.uid = parts[2].toUInt(&uidOk);
    if (!validityOk || !uidOk || message.uid == 0)
        return std::nullopt;
    return message;
}

} // namespace

HttpApi::HttpApi(Storage& storage, const CredentialCipher& cipher, MailService& mail,
                 InboxAssignment& inboxes, MessageCache& cache, const ServerConfig& config,
                 const PeerMessages* peers)
    : m_storage(storage)
    , m_cipher(cipher)
    , m_mail(mail)
    , m_inboxes(inboxes)
    , m_cache(cache)
    , m_config(config)
    , m_peers(peers)
    , m_signIn(storage, cipher, inboxes, config)
    , m_registrations(config.installsPerHour)
    , m_longWork(longWorkThreads, maxLongWorkQueued)
{
}

void HttpApi::stop()
{
    m_longWork.stop();
}

HttpApi::Route HttpApi::routeFor(const std::string& method, const std::string& path)
{
    static const std::map<std::pair<std::string, std::string>, Route> routes = {
        {{"POST", "/v1/installs"}, {&HttpApi::registerInstall}},
        {{"GET", "/v1/accounts"}, {&HttpApi::listAccounts}},
        {{"POST", "/v1/accounts/connect"}, {&HttpApi::connectAccount}},
        {{"GET", OAuthSignIn::callbackPath.toStdString()}, {&HttpApi::finishSignIn, true}},
        {{"POST", "/v1/accounts/imap"}, {&HttpApi::addImapAccount, true}},
        {{"POST", "/v1/accounts/remove"}, {&HttpApi::removeAccount, true}},
        {{"POST", "/v1/messages"}, {&HttpApi::listMessages}},
        {{"POST", "/v1/messages/ids"}, {&HttpApi::holdForIds}},
        {{"POST", "/v1/messages/trash"}, {&HttpApi::trashMessage, true}},
        {{"POST", PeerMessages::path}, {&HttpApi::serveHeldMessages}},
    };
    const auto route = routes.find({method, path});
    return route == routes.end() ? Route{} : route->second;
}

void HttpApi::handle(const HttpRequest& request, const HttpRespond& respond)
{
    const Route route = routeFor(request.method, request.path);
    if (!route.answer)
        return respond(unknownService());
    const auto answer = [this, route, request, respond] {
        try {
            (this->*route.answer)(request, respond);
        } catch (...) {
            respond(failure(500, QStringLiteral("The backend ran into a problem; please try again")));
        }
    };
    if (!route.waitsLong)
        return answer();
    if (!m_longWork.submit(answer))
        respond(busy(QStringLiteral("The backend is busy; please try again in a moment")));
}

// The install behind the request's token, or a 401 (the client then drops its token and registers
// again on its next call). Storage that cannot tell answers 503 instead: a 401 then would cost
// every client its token and its inboxes.
std::optional<QString> HttpApi::authorized(const HttpRequest& request, const HttpRespond& respond)
{
    const std::string header = request.header("Authorization");
    const std::string prefix = "Bearer ";
    if (header.rfind(prefix, 0) == 0 && header.size() > prefix.size()) {
        const auto install =
            m_storage.installForToken(sha256(QByteArray::fromStdString(header.substr(prefix.size()))));
        if (!install) {
            respond(busy(QStringLiteral("The backend cannot reach its database; please try again")));
            return std::nullopt;
        }
        if (*install)
            return *install;
    }
    respond(failure(401, QStringLiteral("This computer is not signed in to the backend; please try again")));
    return std::nullopt;
}

// What a request for mail asks: the install behind its token, since when, and which of its inboxes
// can be read; a 401 or a 400 when the token or "since" is missing.
std::optional<HttpApi::MailQuery> HttpApi::mailQuery(const HttpRequest& request, const HttpRespond& respond)
{
    const auto install = authorized(request, respond);
    if (!install)
        return std::nullopt;
    const auto body = bodyObject(request.body);
    if (!body || !body->value("since").isDouble()) {
        respond(failure(400, QStringLiteral("The request did not say since when to look for mail")));
        return std::nullopt;
    }
    MailQuery query{*install, body->value("since").toDouble(), {}};
    for (const StoredAccount& account : m_storage.accounts(*install))
        if (account.status == QLatin1String("active"))
            query.accounts.insert(account.id);
    return query;
}

void HttpApi::registerInstall(const HttpRequest& request, const HttpRespond& respond)
{
    if (const auto wait = m_registrations.take(clientAddress(request))) {
        const auto minutes = (wait->count() + 59) / 60;
        HttpReply reply = failure(
            429,
            minutes <= 1
                ? QStringLiteral("Too many computers were registered from this network lately; please try "
                                 "again in a minute")
                : QStringLiteral("Too many computers were registered from this network lately; please try "
                                 "again in %1 minutes")
                      .arg(minutes));
        reply.headers.emplace_back("Retry-After", std::to_string(wait->count()));
        return respond(std::move(reply));
    }
    const QByteArray token =
        randomBytes(32).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    if (!m_storage.createInstall(sha256(token)))
        return respond(failure(500, QStringLiteral("The backend could not register this computer")));
    respond(json(QJsonObject{{"token", QString::fromLatin1(token)}}));
}

void HttpApi::listAccounts(const HttpRequest& request, const HttpRespond& respond)
{
    const auto install = authorized(request, respond);
    if (!install)
        return;
    m_signIn.expire();
    QJsonArray accounts;
    for (const StoredAccount& account : m_storage.accounts(*install))
        accounts.append(accountJson(account, m_mail.problem(account.id)));
    respond(json(QJsonObject{{"accounts", accounts}}));
}

void HttpApi::connectAccount(const HttpRequest& request, const HttpRespond& respond)
{
    const auto install = authorized(request, respond);
    if (!install)
        return;
    const QString provider = bodyObject(request.body).value_or(QJsonObject{}).value("provider").toString();
    if (provider != QLatin1String("gmail") && provider != QLatin1String("outlook"))
        return respond(failure(
            400, QStringLiteral("Add this inbox through Other… with its address and an app password")));
    m_signIn.expire();
    if (m_storage.accounts(*install).size() >= m_config.inboxesPerInstall)
        return respond(tooManyInboxes(m_config.inboxesPerInstall));
    const auto started = m_signIn.begin(*install, provider);
    if (!started)
        return respond(failure(400, started.error()));
    respond(json(QJsonObject{{"url", started->url}, {"accountId", started->accountId}}));
}

// Where the provider sends the browser back after the sign-in; the answer is a page for people.
void HttpApi::finishSignIn(const HttpRequest& request, const HttpRespond& respond)
{
    const auto param = [&request](const char* name) { return QString::fromStdString(request.param(name)); };
    const OAuthSignIn::Page page = m_signIn.finish(param("code"), param("state"), param("error"));
    respond(HttpReply{page.status, "text/plain; charset=utf-8", {}, page.text.toUtf8()});
}

void HttpApi::servesAnotherMachine()
{
    if (m_mail.refusePrivateHosts())
        markServedAnotherMachine(m_config.dataDir);
}

void HttpApi::addImapAccount(const HttpRequest& request, const HttpRespond& respond)
{
    const auto install = authorized(request, respond);
    if (!install)
        return;
    const QJsonObject body = bodyObject(request.body).value_or(QJsonObject{});
    const QString email = body.value("email").toString().trimmed();
    const QString password = body.value("password").toString();
    const QString host = body.value("host").toString().trimmed().toLower();
    if (email.isEmpty() || password.isEmpty() || host.isEmpty())
        return respond(
            failure(400, QStringLiteral("Enter the email address, the app password and the IMAP server")));
    if (body.value("port").toInt(993) != 993)
        return respond(failure(400, QStringLiteral("Only IMAP over TLS on port 993 is supported")));
    // The same inbox again (a new app password after the old one was refused) keeps its id.
    const auto same = [&host, &email](const StoredAccount& known) {
        return known.provider == QLatin1String("imap") && known.host == host &&
               known.email.compare(email, Qt::CaseInsensitive) == 0 &&
               known.status == QLatin1String("active");
    };
    const auto full = [&](const QList<StoredAccount>& known) {
        return known.size() >= m_config.inboxesPerInstall && std::none_of(known.cbegin(), known.cend(), same);
    };
    m_signIn.expire();
    if (full(m_storage.accounts(*install)))
        return respond(tooManyInboxes(m_config.inboxesPerInstall));
    // A client behind a proxy here is on another machine, however this backend listens.
    if (!QHostAddress(QString::fromStdString(clientAddress(request))).isLoopback())
        servesAnotherMachine();
    if (auto verified = m_mail.verify(host, email, password); !verified) {
        const ImapError::Kind kind = verified.error().kind;
        if (kind == ImapError::Kind::busy)
            return respond(busy(verified.error().message));
        const bool theirs = kind == ImapError::Kind::login || kind == ImapError::Kind::privateAddress;
        return respond(failure(theirs ? 400 : 502, verified.error().message));
    }
    // Adds sent together all passed the first look while their mail servers answered: from a
    // second look to the saved row they take turns, so none passes the limit or saves an inbox twice.
    std::unique_lock adding(m_adding);
    const QList<StoredAccount> known = m_storage.accounts(*install);
    const auto again = std::find_if(known.cbegin(), known.cend(), same);
    const StoredAccount account =
        again != known.cend() ? *again
                              : StoredAccount{newStorageId(), *install, "imap", email, host, "active"};
    if (full(known))
        return respond(tooManyInboxes(m_config.inboxesPerInstall));
    const QByteArray sealed = m_cipher.seal(password.toUtf8(), account.id.toUtf8());
    if (again != known.cend() ? !m_storage.updateCredential(account.id, sealed)
                              : !m_storage.addAccount(account, sealed))
        return respond(failure(500, QStringLiteral("The backend could not save this inbox")));
    adding.unlock();
    m_inboxes.watchNow(account, password);
    respond(json(QJsonObject{{"account", accountJson(account)}}));
}

void HttpApi::removeAccount(const HttpRequest& request, const HttpRespond& respond)
{
    const auto install = authorized(request, respond);
    if (!install)
        return;
    const QString accountId = bodyObject(request.body).value_or(QJsonObject{}).value("accountId").toString();
    if (!m_storage.removeAccount(*install, accountId))
        return respond(failure(404, QStringLiteral("This inbox is not connected")));
    m_inboxes.unwatch(accountId);
    respond(json(QJsonObject{{"ok", true}}));
}

// Inboxes still being read for the first time are waited for a few seconds, parked: no thread is
// held meanwhile.
void HttpApi::listMessages(const HttpRequest& request, const HttpRespond& respond)
{
    const auto query = mailQuery(request, respond);
    if (!query)
        return;
    m_cache.whenSettled(
        query->accounts, Clock::now() + settleWait, [this, respond, query = *query](bool admitted) {
            if (!admitted)
                return respond(busy(QStringLiteral("The backend is busy; please try again in a moment")));
            QList<CachedMessage> found = m_cache.since(query.accounts, query.since);
            const bool elsewhere =
                m_peers && std::any_of(found.cbegin(), found.cend(),
                                       [](const auto& message) { return !message.holder.isEmpty(); });
            if (!elsewhere)
                return respondWithMessages(query.accounts, found, {}, respond);
            // Another instance's watcher took some of these: their records are fetched from it, on
            // a thread that may wait, never on the one that brought the news.
            const auto fetch = [this, respond, accounts = query.accounts, found] {
                respondWithMessages(accounts, found, m_peers->fetch(found), respond);
            };
            if (!m_longWork.submit(fetch))
                respond(busy(QStringLiteral("The backend is busy; please try again in a moment")));
        });
}

void HttpApi::respondWithMessages(const QSet<QString>& accounts, const QList<CachedMessage>& found,
                                  const QHash<QString, QJsonObject>& elsewhere, const HttpRespond& respond)
{
    QJsonArray messages;
    qsizetype size = 0;
    for (const CachedMessage& message : found) {
        const QJsonObject record = message.holder.isEmpty() ? message.json : elsewhere.value(message.id);
        if (record.isEmpty())
            continue;
        size += message.holder.isEmpty() ? message.size
                                         : QJsonDocument(record).toJson(QJsonDocument::Compact).size();
        if (size <= maxMessagesReply)
            messages.append(record);
    }
    // An empty list would read as "no mail yet" while no mail can come.
    if (const auto problem = m_cache.problem(accounts); messages.isEmpty() && problem)
        return respond(failure(502, *problem));
    respond(json(QJsonObject{{"messages", messages}}));
}

// The poll is parked, not waited for: no thread is held while it waits for mail.
void HttpApi::holdForIds(const HttpRequest& request, const HttpRespond& respond)
{
    const auto query = mailQuery(request, respond);
    if (!query)
        return;
    m_cache.parkForIds(query->install, query->accounts, query->since,
                       Clock::now() + std::chrono::milliseconds(m_config.pollHoldMs),
                       [this, respond, accounts = query->accounts](std::optional<QStringList> ids) {
                           // Not an empty list: that would read as "no mail" while mail may be waiting.
                           if (!ids)
                               return respond(
                                   busy(QStringLiteral("The backend is busy; please try again in a moment")));
                           if (const auto problem = m_cache.problem(accounts); ids->isEmpty() && problem)
                               return respond(failure(502, *problem));
                           respond(json(QJsonObject{{"ids", QJsonArray::fromStringList(*ids)}}));
                       });
}

void HttpApi::trashMessage(const HttpRequest& request, const HttpRespond& respond)
{
    const auto install = authorized(request, respond);
    if (!install)
        return;
    const auto message =
        parseMessageId(bodyObject(request.body).value_or(QJsonObject{}).value("id").toString());
    std::optional<StoredAccount> owner;
    for (const StoredAccount& account : m_storage.accounts(*install))
        if (message && account.id == message->accountId)
            owner = account;
    if (!owner)
        return respond(failure(404, QStringLiteral("This message is no longer available")));
    if (auto trashed = m_mail.trash(*owner, *message); !trashed)
        return respond(failure(502, trashed.error()));
    respond(json(QJsonObject{{"ok", true}}));
}

// Another instance asks for the records of messages this one's watchers took.
void HttpApi::serveHeldMessages(const HttpRequest& request, const HttpRespond& respond)
{
    const auto reply = m_peers ? m_peers->serve(request) : std::nullopt;
    respond(reply ? *reply : unknownService());
}

} // namespace tessary::server
