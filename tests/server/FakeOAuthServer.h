#pragma once

#include "server/OAuthClient.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUrl>
#include <QUrlQuery>

#include <httplib.h>

#include <mutex>
#include <thread>

namespace tessary::test {

// A provider's sign-in service in the test program, on 127.0.0.1 and a port the system picks:
// "authorize" (the user agrees at once and is sent back with a code), "token" (the code with its
// PKCE verifier, or a refresh token) and "introspect" (which dovecot's oauth2 passdb asks).
class FakeOAuthServer {
public:
    static inline const QString clientId = QStringLiteral("tessary-test-client");

    explicit FakeOAuthServer(QString email)
        : m_email(std::move(email))
    {
        m_server.Get("/authorize", [this](const httplib::Request& request, httplib::Response& response) {
            if (param(request, "client_id") != clientId || param(request, "response_type") != "code" ||
                param(request, "code_challenge_method") != "S256" ||
                param(request, "code_challenge").isEmpty())
                return json(response, 400, {{"error", "invalid_request"}});
            std::lock_guard lock(m_mutex);
            const QString code = QStringLiteral("code-%1").arg(++m_issued);
            m_codes.insert(code, {param(request, "redirect_uri"), param(request, "code_challenge")});
            QUrl back(param(request, "redirect_uri"));
            back.setQuery(QUrlQuery{{"code", code}, {"state", param(request, "state")}});
            response.set_redirect(back.toString(QUrl::FullyEncoded).toStdString());
        });
        m_server.Post("/token", [this](const httplib::Request& request, httplib::Response& response) {
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
            } else if (grant != "refresh_token" ||
                       !m_refreshTokens.contains(param(request, "refresh_token"))) {
                return json(response, 400, {{"error", "invalid_grant"}});
            }
            const QString access = QStringLiteral("access-%1").arg(++m_issued);
            m_newestRefresh = QStringLiteral("refresh-%1").arg(m_issued);
            m_accessTokens.insert(access);
            m_refreshTokens.insert(m_newestRefresh);
            const QByteArray claims =
                QJsonDocument(QJsonObject{{"email", m_email}}).toJson(QJsonDocument::Compact);
            const QString idToken = QString::fromLatin1(
                "e30." + claims.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals) +
                ".sig");
            json(response, 200,
                 {{"access_token", access},
                  {"refresh_token", m_newestRefresh},
                  {"token_type", "Bearer"},
                  {"expires_in", 3600},
                  {"id_token", idToken}});
        });
        m_server.Post("/introspect", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(m_mutex);
            const bool active = m_accessTokens.contains(param(request, "token"));
            json(response, 200, {{"active", active ? "true" : "false"}, {"email", m_email}});
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~FakeOAuthServer()
    {
        m_server.stop();
        m_thread.join();
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    // The backend.json entries that make this service Gmail's sign-in, for mail on `imapHost`.
    QJsonObject backendConfig(const QString& imapHost) const
    {
        return {{"oauth", QJsonObject{{"gmail", QJsonObject{{"clientId", clientId},
                                                            {"authorizeUrl", url() + "/authorize"},
                                                            {"tokenUrl", url() + "/token"},
                                                            {"imapHost", imapHost}}}}}};
    }
    // The user withdraws the app's access: refresh tokens and access tokens stop working.
    void revokeAll()
    {
        std::lock_guard lock(m_mutex);
        m_refreshTokens.clear();
        m_accessTokens.clear();
    }
    // Only the refresh token handed out last still works, as after a provider's rotation.
    void revokeAllButNewest()
    {
        std::lock_guard lock(m_mutex);
        m_refreshTokens = {m_newestRefresh};
    }
    // What the user's browser does with the sign-in page `page`: this service agrees at once and
    // redirects back; the backend's page is the last stop. Returns that page's status, 0 for none.
    static int signInInBrowser(const QUrl& page)
    {
        const auto get = [](const QUrl& url) {
            httplib::Client client(
                url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toString().toStdString());
            return client.Get((url.path() + '?' + url.query(QUrl::FullyEncoded)).toStdString());
        };
        const auto redirect = get(page);
        if (!redirect || redirect->status != 302)
            return 0;
        const auto answer = get(QUrl(QString::fromStdString(redirect->get_header_value("Location"))));
        return answer ? answer->status : 0;
    }

private:
    struct Grant {
        QString redirectUri;
        QString challenge;
    };
    static void json(httplib::Response& response, int status, const QJsonObject& body)
    {
        response.status = status;
        response.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                             "application/json");
    }
    static QString param(const httplib::Request& request, const char* name)
    {
        return QString::fromStdString(request.get_param_value(name));
    }

    const QString m_email;
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_mutex;
    QHash<QString, Grant> m_codes;
    QSet<QString> m_refreshTokens;
    QSet<QString> m_accessTokens;
    QString m_newestRefresh;
    int m_issued = 0;
};

} // namespace tessary::test
