#pragma once

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
}

namespace tessary::test {

// A provider's sign-in service in the test program, on 127.0.0.1 and a port the system picks:
// "authorize" (the user agrees at once and is sent back with a code), "token" (the code with its
// PKCE verifier, or a refresh token) and "introspect" (which dovecot's oauth2 passdb asks).
class FakeOAuthServer {
public:
    static inline const QString clientId = QStringLiteral("tessary-test-client");

    explicit FakeOAuthServer(QString email);
    ~FakeOAuthServer();

    QString url() const; // "http://127.0.0.1:PORT"
    // The backend.json entries that make this service Gmail's sign-in, for mail on `imapHost`.
    QJsonObject backendConfig(const QString& imapHost) const;
    // The user withdraws the app's access: refresh tokens and access tokens stop working.
    void revokeAll();
    // Only the refresh token handed out last still works, as after a provider's rotation.
    void revokeAllButNewest();
    // What the user's browser does with the sign-in page `page`: this service agrees at once and
    // redirects back; the backend's page is the last stop. Returns that page's status, 0 for none.
    static int signInInBrowser(const QUrl& page);

private:
    struct Grant {
        QString redirectUri;
        QString challenge;
    };

    const QString m_email;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    QHash<QString, Grant> m_codes;
    QSet<QString> m_refreshTokens;
    QSet<QString> m_accessTokens;
    QString m_newestRefresh;
    int m_issued = 0;
};

} // namespace tessary::test
