#pragma once

#include "server/CredentialCipher.h"
#include "server/MailService.h"
#include "server/ServerConfig.h"
#include "server/Storage.h"

#include <QHash>

#include <chrono>
#include <mutex>

namespace tessary::server {

// The browser sign-in of Gmail and Outlook inboxes: `begin` adds the inbox as "pending" and gives
// the provider's sign-in page; the provider sends the browser back to `finish` on this backend,
// which trades the code (with the PKCE verifier that never left the backend) for tokens, keeps the
// refresh token encrypted, marks the inbox "active" and starts watching it. Signing in again to an
// inbox already connected (its grant revoked or expired) replaces the old entry with the new one.
// A sign-in not finished within its window is dropped with its pending inbox, and so is every one
// a restart interrupted.
class OAuthSignIn {
public:
    struct Started {
        QString url;
        QString accountId;
    };
    struct Page {
        int status = 200;
        QString text; // shown in the browser tab
    };

    OAuthSignIn(Storage& storage, const CredentialCipher& cipher, MailService& mail,
                const ServerConfig& config);

    static inline const QString callbackPath = QStringLiteral("/v1/oauth/callback");

    Expected<Started, QString> begin(const QString& installId, const QString& provider);
    Page finish(const QString& code, const QString& state, const QString& error);
    // Drops the sign-ins whose window has passed, with their pending inboxes.
    void expire();

private:
    struct Pending {
        QString installId;
        QString accountId;
        QString provider;
        QByteArray verifier;
        std::chrono::steady_clock::time_point expires;
    };
    QString redirectUri() const;
    void dropEarlierEntries(const Pending& signedIn, const QString& email);

    Storage& m_storage;
    const CredentialCipher& m_cipher;
    MailService& m_mail;
    const ServerConfig& m_config;
    std::mutex m_mutex;
    QHash<QString, Pending> m_pending; // by the state sent through the browser
};

} // namespace tessary::server
