#include "FakeOAuthServer.h"

#include "server/OAuthClient.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>

#include <httplib.h>

namespace tessary::test {

namespace {

void json(httplib::Response& response, int status, const QJsonObject& body)
{
    response.status = status;
    response.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                         "application/json");
}

QString param(const httplib::Request& request, const char* name)
{
    return QString::fromStdString(request.get_param_value(name));
}

} // namespace

FakeOAuthServer::FakeOAuthServer(QString email)
    : m_email(std::move(email))
    , m_server(std::make_unique<httplib::Server>())
{
    m_server->Get("/authorize", [this](const httplib::Request& request, httplib::Response& response) {
        if (param(request, "client_id") != clientId || param(request, "response_type") != "code" ||
            param(request, "code_challenge_method") != "S256" || param(request, "code_challenge").isEmpty())
            return json(response, 400, {{"error", "invalid_request"}});
        std::lock_guard lock(m_mutex);
        const QString code = QStringLiteral("code-%1").arg(++m_issued);
        m_codes.insert(code, {param(request, "redirect_uri"), param(request, "code_challenge")});
        QUrl back(param(request, "redirect_uri"));
        back.setQuery(QUrlQuery{{"code", code}, {"state", param(request, "state")}});
        response.set_redirect(back.toString(QUrl::FullyEncoded).toStdString());
    });
    m_server->Post("/token", [this](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        const QString grant = param(request, "grant_type");
        if (param(request, "client_id") != clientId)
            return json(response, 401, {{"error", "invalid_client"}});
        if (grant == "authorization_code") {
            const Grant issued = m_codes.take(param(request, "code"));
            const QByteArray verifier = param(request, "code_verifier").toLatin1();
            if (issued.challenge.isEmpty() || issued.redirectUri != param(request, "redirect_uri") ||
                server::pkceChallenge(verifier) != issued.challenge.toLatin1())
                return json(response, 400, {{"error", "invalid_grant"}});
        } else if (grant != "refresh_token" || !m_refreshTokens.contains(param(request, "refresh_token"))) {
            return json(response, 400, {{"error", "invalid_grant"}});
        }
        const QString access = QStringLiteral("access-%1").arg(++m_issued);
        const QString refresh = QStringLiteral("refresh-%1").arg(m_issued);
        m_accessTokens.insert(access);
        m_refreshTokens.insert(refresh);
        m_newestRefresh = refresh;
        const QByteArray claims =
            QJsonDocument(QJsonObject{{"email", m_email}}).toJson(QJsonDocument::Compact);
        const QString idToken = QString::fromLatin1(
            "e30." + claims.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals) +
            ".sig");
        json(response, 200,
             {{"access_token", access},
              {"refresh_token", refresh},
              {"token_type", "Bearer"},
              {"expires_in", 3600},
              {"id_token", idToken}});
    });
    m_server->Post("/introspect", [this](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        const bool active = m_accessTokens.contains(param(request, "token"));
        json(response, 200, {{"active", active ? "true" : "false"}, {"email", m_email}});
    });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
}

FakeOAuthServer::~FakeOAuthServer()
{
    m_server->stop();
    m_thread.join();
}

QString FakeOAuthServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QJsonObject FakeOAuthServer::backendConfig(const QString& imapHost) const
{
    return {{"oauth", QJsonObject{{"gmail", QJsonObject{{"clientId", clientId},
                                                        {"authorizeUrl", url() + "/authorize"},
                                                        {"tokenUrl", url() + "/token"},
                                                        {"imapHost", imapHost}}}}}};
}

void FakeOAuthServer::revokeAll()
{
    std::lock_guard lock(m_mutex);
    m_refreshTokens.clear();
    m_accessTokens.clear();
}

void FakeOAuthServer::revokeAllButNewest()
{
    std::lock_guard lock(m_mutex);
    m_refreshTokens = {m_newestRefresh};
}

int FakeOAuthServer::signInInBrowser(const QUrl& page)
{
    const auto get = [](const QUrl& url) {
        httplib::Client client(url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toString().toStdString());
        return client.Get((url.path() + '?' + url.query(QUrl::FullyEncoded)).toStdString());
    };
    const auto redirect = get(page);
    if (!redirect || redirect->status != 302)
        return 0;
    const auto answer = get(QUrl(QString::fromStdString(redirect->get_header_value("Location"))));
    return answer ? answer->status : 0;
}

} // namespace tessary::test
