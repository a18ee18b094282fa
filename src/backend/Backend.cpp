#include "backend/Backend.h"

#include "backend/BackendUrl.h"
#include "backend/RecordDecoding.h"
#include "backend/ReplyRecords.h"

#include <QCoro/QCoroSignal>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>

#include <algorithm>
#include <utility>

namespace tessary {

namespace {

const QString installsPath = QStringLiteral("v1/installs");

// Parses any JSON value, scalars included, with the parser's own nesting limit. Wrapping the
// text in an array lets one reader take every kind of value; more than one value fails.
std::optional<QJsonValue> parseJson(const QByteArray& data, QString* problem = nullptr)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson('[' + data + ']', &error);
    if (error.error != QJsonParseError::NoError || document.array().size() != 1) {
        if (problem)
            *problem = error.error != QJsonParseError::NoError ? error.errorString()
                                                               : QStringLiteral("not a single value");
        return std::nullopt;
    }
    return document.array().at(0);
}

// Only visible ASCII can travel in the "Authorization" header; anything else (a line break
// above all) would let a reply smuggle headers into later requests.
bool isUsableToken(const QString& token)
{
    if (token.isEmpty() || token.size() > 4096)
        return false;
    return std::all_of(token.begin(), token.end(),
                       [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; });
}

BackendError serverError(const HttpReply& reply)
{
    if (auto value = parseJson(reply.body); value && value->isObject()) {
        const QJsonValue message = value->toObject().value(QStringLiteral("error"));
        if (message.isString())
            return {reply.status, message.toString()};
    }
    return {reply.status, QStringLiteral("Server error ") + QString::number(reply.status)};
}

// The reply of "remove" and "trash": any JSON value will do.
BackendResult<Done> acceptAnything(const QJsonValue&)
{
    return Done{};
}

} // namespace

Backend::Backend(SettingsStore& settings, SecretStore& secrets, BackendOptions options)
    : m_settings(settings)
    , m_secrets(secrets)
    , m_options(std::move(options))
    , m_network(std::make_unique<QNetworkAccessManager>())
{
}

Backend::~Backend() = default;

QString Backend::backendName(const QUrl& base) const
{
    const auto hostAndPort = [](const QUrl& url) {
        const QString host = url.host(QUrl::FullyEncoded);
        const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
        return (host.contains(QLatin1Char(':')) ? '[' + host + ']' : host) + ':' + QString::number(port);
    };
    const QString name = hostAndPort(base);
    return m_options.inProcess && name == hostAndPort(*m_options.inProcess) ? QStringLiteral("local") : name;
}

QString Backend::tokenKey(const QUrl& base) const
{
    const QString name = backendName(base);
    const QVariant owner = m_settings.value(tokenOwnerKey);
    const bool owns = owner.isValid() ? owner.toString() == name : m_options.claimsUnownedToken;
    return owns ? installTokenKey : installTokenKey + '@' + name;
}

QString Backend::tokenKey() const
{
    const auto base = backendBaseURL(m_settings);
    return base ? tokenKey(*base) : installTokenKey;
}

QCoro::Task<BackendResult<QJsonValue>> Backend::request(QString method, QString path,
                                                        std::optional<QJsonObject> body, CancelToken cancel)
{
    const auto base = backendBaseURL(m_settings);
    if (!base)
        co_return Unexpected{base.error()};
    co_return co_await exchange(*base, std::move(method), std::move(path), std::move(body),
                                std::move(cancel));
}

// The token and the request go to the same base URL, though the setting may change meanwhile.
QCoro::Task<BackendResult<QJsonValue>> Backend::exchange(QUrl base, QString method, QString path,
                                                         std::optional<QJsonObject> body, CancelToken cancel)
{
    QNetworkRequest request(endpointURL(base, path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    // A redirect to another origin would carry the token there.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    QSslConfiguration tls = m_options.tls.value_or(QSslConfiguration::defaultConfiguration());
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    request.setSslConfiguration(tls);

    std::optional<QString> sentToken;
    const QString key = tokenKey(base);
    if (path != installsPath) {
        auto token = co_await installToken(base, key, cancel);
        if (!token)
            co_return Unexpected{token.error()};
        request.setRawHeader("Authorization", "Bearer " + token->toLatin1());
        sentToken = std::move(token).value();
    }
    const QByteArray data = body ? QJsonDocument(*body).toJson(QJsonDocument::Compact) : QByteArray();

    const auto reply = co_await exchangeHttp(*m_network, request, method.toLatin1(), data, m_options.limits,
                                             std::move(cancel));
    if (!reply)
        co_return Unexpected{reply.error()};

    if (reply->status != 200) {
        // A 401 condemns the token this request sent, not one another request registered while
        // this one was under way: deleting that would orphan the inboxes connected under it.
        if (reply->status == 401 && sentToken) {
            const auto stored = co_await m_secrets.keychainGet(key);
            if (stored == sentToken)
                co_await m_secrets.keychainDelete(key);
        }
        co_return Unexpected{serverError(*reply)};
    }
    // The body is read as JSON whatever the Content-Type says: a backend that labels its JSON
    // otherwise, or not at all, still answered, and a body that is not JSON fails below anyway.
    QString problem;
    auto value = parseJson(reply->body, &problem);
    if (!value)
        co_return Unexpected{decoding::decodingError(QStringLiteral("the reply"),
                                                     QStringLiteral("is not valid JSON (%1)").arg(problem))};
    co_return *value;
}

QCoro::Task<BackendResult<QString>> Backend::installToken(QUrl base, QString key, CancelToken cancel)
{
    // The first backend asked owns the plain key, and with it a token stored before there were more.
    if (key == installTokenKey && !m_settings.contains(tokenOwnerKey))
        m_settings.setValue(tokenOwnerKey, backendName(base));
    // One registration at a time. Requests that find no token while one is under way wait for it
    // and read the store again: each registering on its own made installs of which only the last
    // stored one was kept, and an inbox connected under another was lost with it.
    for (;;) {
        const quint64 finishedBefore = m_registrationsFinished;
        const auto stored = co_await m_secrets.keychainGet(key);
        if (stored && isUsableToken(*stored))
            co_return *stored;
        if (m_registration) {
            const CancelToken registration = m_registration;
            co_await qCoro(registration.get(), &CancelFlag::cancelled);
            continue;
        }
        // A registration that ended while the store was read may have stored a token since.
        if (finishedBefore == m_registrationsFinished)
            break;
    }
    // A keyring locked at login, or not answering yet (a slow one at login), holds the token the
    // inboxes were connected under: one registered now would be a new install without them, so
    // requests fail until the keyring gives it.
    const bool withheld = co_await m_secrets.isWithheld(key);
    if (withheld)
        co_return Unexpected{BackendError{
            0, m_secrets.isSilent()
                   ? QStringLiteral("The keyring has not answered yet; your inboxes appear once it does")
                   : QStringLiteral("The keyring is locked; unlock it to reach your inboxes")}};
    m_registration = makeCancelToken();
    auto token = co_await registerInstall(std::move(base), std::move(key), std::move(cancel));
    const CancelToken registration = std::exchange(m_registration, nullptr);
    ++m_registrationsFinished;
    registration->cancel(); // wakes the requests waiting for it
    co_return token;
}

QCoro::Task<BackendResult<QString>> Backend::registerInstall(QUrl base, QString key, CancelToken cancel)
{
    const auto reply = co_await exchange(std::move(base), QStringLiteral("POST"), installsPath, std::nullopt,
                                         std::move(cancel));
    if (!reply)
        co_return Unexpected{reply.error()};
    auto token = decodeInstall(*reply);
    if (!token)
        co_return token;
    if (!isUsableToken(*token))
        co_return Unexpected{
            decoding::decodingError(QStringLiteral("token"), QStringLiteral("is not a usable token"))};
    co_await m_secrets.keychainSet(key, *token);
    co_return token;
}

template <class T>
QCoro::Task<BackendResult<T>> Backend::call(QString method, QString path, std::optional<QJsonObject> body,
                                            BackendResult<T> (*decode)(const QJsonValue&), CancelToken cancel)
{
    const auto reply =
        co_await request(std::move(method), std::move(path), std::move(body), std::move(cancel));
    if (!reply)
        co_return Unexpected{reply.error()};
    co_return decode(*reply);
}

QCoro::Task<BackendResult<QList<Account>>> Backend::accounts(CancelToken cancel)
{
    return call<QList<Account>>(QStringLiteral("GET"), QStringLiteral("v1/accounts"), std::nullopt,
                                decodeAccountsReply, std::move(cancel));
}

QCoro::Task<BackendResult<ConnectLink>> Backend::connect(QString provider, CancelToken cancel)
{
    QJsonObject body;
    body.insert(QStringLiteral("provider"), provider);
    return call<ConnectLink>(QStringLiteral("POST"), QStringLiteral("v1/accounts/connect"), body, decodeLink,
                             std::move(cancel));
}

QCoro::Task<BackendResult<Account>> Backend::addIMAP(QString email, QString password, QString host,
                                                     CancelToken cancel)
{
    QJsonObject body;
    body.insert(QStringLiteral("email"), email);
    body.insert(QStringLiteral("password"), password);
    body.insert(QStringLiteral("host"), host);
    body.insert(QStringLiteral("port"), 993); // IMAP over TLS, never the caller's choice
    return call<Account>(QStringLiteral("POST"), QStringLiteral("v1/accounts/imap"), body, decodeAdded,
                         std::move(cancel));
}

QCoro::Task<BackendResult<Done>> Backend::removeAccount(QString accountId, CancelToken cancel)
{
    QJsonObject body;
    body.insert(QStringLiteral("accountId"), accountId);
    return call<Done>(QStringLiteral("POST"), QStringLiteral("v1/accounts/remove"), body, acceptAnything,
                      std::move(cancel));
}

QCoro::Task<BackendResult<QList<Message>>> Backend::messages(TimePoint since, CancelToken cancel)
{
    QJsonObject body;
    body.insert(QStringLiteral("since"), since);
    return call<QList<Message>>(QStringLiteral("POST"), QStringLiteral("v1/messages"), body,
                                decodeMessagesReply, std::move(cancel));
}

QCoro::Task<BackendResult<QSet<QString>>> Backend::messageIds(TimePoint since, CancelToken cancel)
{
    QJsonObject body;
    body.insert(QStringLiteral("since"), since);
    return call<QSet<QString>>(QStringLiteral("POST"), QStringLiteral("v1/messages/ids"), body, decodeIds,
                               std::move(cancel));
}

QCoro::Task<BackendResult<Done>> Backend::trash(QString messageId, CancelToken cancel)
{
    QJsonObject body;
    body.insert(QStringLiteral("id"), messageId);
    return call<Done>(QStringLiteral("POST"), QStringLiteral("v1/messages/trash"), body, acceptAnything,
                      std::move(cancel));
}

} // namespace tessary
