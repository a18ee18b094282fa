#include "server/HttpApi.h"

#include "server/HttpConnection.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <httplib.h>

namespace tessary::server {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto settleWait = std::chrono::seconds(5);
// The app takes at most 16 MB in one reply; the newest messages fill it up to here.
constexpr qsizetype maxMessagesReply = 15 * 1024 * 1024;
// When a refused client may try again: a held poll or a check of a mail server ends by then.
constexpr auto retryAfterSeconds = "5";

void reply(httplib::Response& response, const QJsonObject& body, int status = 200)
{
    response.status = status;
    response.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                         "application/json");
}

void fail(httplib::Response& response, int status, const QString& message)
{
    reply(response, QJsonObject{{"error", message}}, status);
}

void busy(httplib::Response& response, const QString& message)
{
    response.set_header("Retry-After", retryAfterSeconds);
    fail(response, 503, message);
}

QString statusText(int status)
{
    switch (status) {
    case 404:
        return QStringLiteral("This backend has no such service; check the backend address");
    case 413:
        return QStringLiteral("The request was too large");
    case 405:
        return QStringLiteral("This backend has no such service; check the backend address");
    default:
        return QStringLiteral("The backend could not answer (error %1)").arg(status);
    }
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

HttpApi::HttpApi(Storage& storage, const CredentialCipher& cipher, MailService& mail, MessageCache& cache,
                 const ServerConfig& config)
    : m_storage(storage)
    , m_cipher(cipher)
    , m_mail(mail)
    , m_cache(cache)
    , m_config(config)
    , m_signIn(storage, cipher, mail, config)
{
}

void HttpApi::install(httplib::Server& server)
{
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty())
            fail(response, response.status, statusText(response.status));
    });
    // A body declared too large is refused before any of it is read.
    server.set_pre_routing_handler(
        [limit = m_config.http.maxBodyBytes](const httplib::Request& request, httplib::Response& response) {
            if (request.get_header_value<uint64_t>("Content-Length") <= limit)
                return httplib::Server::HandlerResponse::Unhandled;
            closeConnectionAfterReply();
            response.set_header("Connection", "close");
            fail(response, 413, statusText(413));
            return httplib::Server::HandlerResponse::Handled;
        });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            fail(response, 500, QStringLiteral("The backend ran into a problem; please try again"));
        });

    // The install behind the request's token, or a 401 (the client then drops its token and
    // registers again on its next call). Storage that cannot tell answers 503 instead: a 401 then
    // would cost every client its token and its inboxes.
    auto authorized = [this](const httplib::Request& request,
                             httplib::Response& response) -> std::optional<QString> {
        const std::string header = request.get_header_value("Authorization");
        const std::string prefix = "Bearer ";
        if (header.rfind(prefix, 0) == 0 && header.size() > prefix.size()) {
            const auto install =
                m_storage.installForToken(sha256(QByteArray::fromStdString(header.substr(prefix.size()))));
            if (!install) {
                busy(response, QStringLiteral("The backend cannot reach its database; please try again"));
                return std::nullopt;
            }
            if (*install)
                return *install;
        }
        fail(response, 401,
             QStringLiteral("This computer is not signed in to the backend; please try again"));
        return std::nullopt;
    };
    // What a request for mail asks: the install behind its token, since when, and which of its
    // inboxes can be read; a 401 or a 400 when the token or "since" is missing.
    struct MailQuery {
        QString install;
        double since = 0;
        QSet<QString> accounts; // the install's active inboxes
    };
    auto mailQuery = [this, authorized](const httplib::Request& request, const QByteArray& content,
                                        httplib::Response& response) -> std::optional<MailQuery> {
        const auto install = authorized(request, response);
        if (!install)
            return std::nullopt;
        const auto body = bodyObject(content);
        if (!body || !body->value("since").isDouble()) {
            fail(response, 400, QStringLiteral("The request did not say since when to look for mail"));
            return std::nullopt;
        }
        MailQuery query{*install, body->value("since").toDouble(), {}};
        for (const StoredAccount& account : m_storage.accounts(*install))
            if (account.status == QLatin1String("active"))
                query.accounts.insert(account.id);
        return query;
    };

    // Every body is read here, as it arrives and within the limit once decompressed too, and only
    // then handed on. A body cut short leaves the rest unread, so the connection ends after the reply.
    using BodyHandler = std::function<void(const httplib::Request&, const QByteArray&, httplib::Response&)>;
    const auto post = [&server, limit = m_config.http.maxBodyBytes](const std::string& path,
                                                                    BodyHandler handler) {
        server.Post(path, [handler, limit](const httplib::Request& request, httplib::Response& response,
                                           const httplib::ContentReader& read) {
            QByteArray body;
            bool tooLarge = false;
            const bool whole = read([&](const char* data, size_t size) {
                tooLarge = size_t(body.size()) + size > limit;
                if (!tooLarge)
                    body.append(data, qsizetype(size));
                return !tooLarge;
            });
            if (!whole) {
                closeConnectionAfterReply();
                response.set_header("Connection", "close");
                if (tooLarge || response.status == 413)
                    return fail(response, 413, statusText(413));
                return fail(response, 400,
                            QStringLiteral("The request arrived incomplete; please try again"));
            }
            handler(request, body, response);
        });
    };

    post("/v1/installs", [this](const httplib::Request&, const QByteArray&, httplib::Response& response) {
        const QByteArray token =
            randomBytes(32).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
        if (!m_storage.createInstall(sha256(token)))
            return fail(response, 500, QStringLiteral("The backend could not register this computer"));
        reply(response, QJsonObject{{"token", QString::fromLatin1(token)}});
    });

    server.Get("/v1/accounts", [=, this](const httplib::Request& request, httplib::Response& response) {
        const auto install = authorized(request, response);
        if (!install)
            return;
        m_signIn.expire();
        QJsonArray accounts;
        for (const StoredAccount& account : m_storage.accounts(*install))
            accounts.append(accountJson(account, m_mail.problem(account.id)));
        reply(response, QJsonObject{{"accounts", accounts}});
    });

    post("/v1/accounts/connect", [=, this](const httplib::Request& request, const QByteArray& content,
                                           httplib::Response& response) {
        const auto install = authorized(request, response);
        if (!install)
            return;
        const QString provider = bodyObject(content).value_or(QJsonObject{}).value("provider").toString();
        if (provider != QLatin1String("gmail") && provider != QLatin1String("outlook"))
            return fail(response, 400,
                        QStringLiteral("Add this inbox through Other… with its address and an app password"));
        const auto started = m_signIn.begin(*install, provider);
        if (!started)
            return fail(response, 400, started.error());
        reply(response, QJsonObject{{"url", started->url}, {"accountId", started->accountId}});
    });

    // Where the provider sends the browser back after the sign-in; the answer is a page for people.
    server.Get(OAuthSignIn::callbackPath.toStdString(), [this](const httplib::Request& request,
                                                               httplib::Response& response) {
        const auto param = [&request](const char* name) {
            return QString::fromStdString(request.get_param_value(name));
        };
        const OAuthSignIn::Page page = m_signIn.finish(param("code"), param("state"), param("error"));
        response.status = page.status;
        response.set_content(page.text.toStdString(), "text/plain; charset=utf-8");
    });

    post("/v1/accounts/imap", [=, this](const httplib::Request& request, const QByteArray& content,
                                        httplib::Response& response) {
        const auto install = authorized(request, response);
        if (!install)
            return;
        const QJsonObject body = bodyObject(content).value_or(QJsonObject{});
        const QString email = body.value("email").toString().trimmed();
        const QString password = body.value("password").toString();
        const QString host = body.value("host").toString().trimmed().toLower();
        if (email.isEmpty() || password.isEmpty() || host.isEmpty())
            return fail(response, 400,
                        QStringLiteral("Enter the email address, the app password and the IMAP server"));
        if (body.value("port").toInt(993) != 993)
            return fail(response, 400, QStringLiteral("Only IMAP over TLS on port 993 is supported"));
        if (auto verified = m_mail.verify(host, email, password); !verified) {
            if (verified.error().kind == ImapError::Kind::busy)
                return busy(response, verified.error().message);
            const bool login = verified.error().kind == ImapError::Kind::login;
            return fail(response, login ? 400 : 502, verified.error().message);
        }
        // The same inbox again (a new app password after the old one was refused) keeps its id.
        for (const StoredAccount& known : m_storage.accounts(*install)) {
            if (known.provider != QLatin1String("imap") || known.host != host ||
                known.email.compare(email, Qt::CaseInsensitive) != 0 ||
                known.status != QLatin1String("active"))
                continue;
            if (!m_storage.updateCredential(known.id, m_cipher.seal(password.toUtf8(), known.id.toUtf8())))
                return fail(response, 500, QStringLiteral("The backend could not save this inbox"));
            m_mail.watch(known, password);
            return reply(response, QJsonObject{{"account", accountJson(known)}});
        }
        const StoredAccount account{
            QUuid::createUuid().toString(QUuid::WithoutBraces), *install, "imap", email, host, "active"};
        if (!m_storage.addAccount(account, m_cipher.seal(password.toUtf8(), account.id.toUtf8())))
            return fail(response, 500, QStringLiteral("The backend could not save this inbox"));
        m_mail.watch(account, password);
        reply(response, QJsonObject{{"account", accountJson(account)}});
    });

    post("/v1/accounts/remove", [=, this](const httplib::Request& request, const QByteArray& content,
                                          httplib::Response& response) {
        const auto install = authorized(request, response);
        if (!install)
            return;
        const QString accountId = bodyObject(content).value_or(QJsonObject{}).value("accountId").toString();
        if (!m_storage.removeAccount(*install, accountId))
            return fail(response, 404, QStringLiteral("This inbox is not connected"));
        m_mail.unwatch(accountId);
        reply(response, QJsonObject{{"ok", true}});
    });

    post("/v1/messages",
         [=, this](const httplib::Request& request, const QByteArray& content, httplib::Response& response) {
             const auto query = mailQuery(request, content, response);
             if (!query)
                 return;
             QJsonArray messages;
             qsizetype size = 0;
             for (const CachedMessage& message :
                  m_cache.since(query->accounts, query->since, Clock::now() + settleWait))
                 if ((size += message.size) <= maxMessagesReply)
                     messages.append(message.json);
             // An empty list would read as "no mail yet" while no mail can come.
             if (const auto problem = m_cache.problem(query->accounts); messages.isEmpty() && problem)
                 return fail(response, 502, *problem);
             reply(response, QJsonObject{{"messages", messages}});
         });

    post("/v1/messages/ids", [=, this](const httplib::Request& request, const QByteArray& content,
                                       httplib::Response& response) {
        const auto query = mailQuery(request, content, response);
        if (!query)
            return;
        const auto ids = m_cache.waitForIds(query->install, query->accounts, query->since,
                                            Clock::now() + std::chrono::milliseconds(m_config.pollHoldMs));
        // Not an empty list: that would read as "no mail" while mail may be waiting.
        if (!ids)
            return busy(response, QStringLiteral("The backend is busy; please try again in a moment"));
        if (const auto problem = m_cache.problem(query->accounts); ids->isEmpty() && problem)
            return fail(response, 502, *problem);
        reply(response, QJsonObject{{"ids", QJsonArray::fromStringList(*ids)}});
    });

    post("/v1/messages/trash",
         [=, this](const httplib::Request& request, const QByteArray& content, httplib::Response& response) {
             const auto install = authorized(request, response);
             if (!install)
                 return;
             const auto message =
                 parseMessageId(bodyObject(content).value_or(QJsonObject{}).value("id").toString());
             std::optional<StoredAccount> owner;
             for (const StoredAccount& account : m_storage.accounts(*install))
                 if (message && account.id == message->accountId)
                     owner = account;
             if (!owner)
                 return fail(response, 404, QStringLiteral("This message is no longer available"));
             if (auto trashed = m_mail.trash(*owner, *message); !trashed)
                 return fail(response, 502, trashed.error());
             reply(response, QJsonObject{{"ok", true}});
         });
}

} // namespace tessary::server
