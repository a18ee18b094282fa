#pragma once

#include "server/CredentialCipher.h"
#include "server/InboxAssignment.h"
#include "server/ServerConfig.h"
#include "server/Storage.h"

namespace tessary::server {

// The browser sign-in of Gmail and Outlook inboxes: `begin` adds the inbox as "pending" and gives
// the provider's sign-in page; the provider sends the browser back to `finish` on this backend,
// which trades the code (with the PKCE verifier that never left the backend) for tokens, keeps the
// refresh token encrypted, marks the inbox "active" and starts watching it. Signing in again to an
// inbox already connected (its grant revoked or expired) replaces the old entry with the new one.
// What finishing needs is kept in the storage, so with a shared database any instance finishes a
// sign-in another began. A sign-in not finished within its window is dropped with its pending
// inbox, and so is every one whose record a restart lost.
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

    OAuthSignIn(Storage& storage, const CredentialCipher& cipher, InboxAssignment& inboxes,
                const ServerConfig& config);

    static inline const QString callbackPath = QStringLiteral("/v1/oauth/callback");

    Expected<Started, QString> begin(const QString& installId, const QString& provider);
    Page finish(const QString& code, const QString& state, const QString& error);
    // Drops the sign-ins whose window has passed, with their pending inboxes.
    void expire();

private:
    QString redirectUri() const;
    void dropEarlierEntries(const PendingSignIn& signedIn, const QString& email);

    Storage& m_storage;
    const CredentialCipher& m_cipher;
    InboxAssignment& m_inboxes;
    const ServerConfig& m_config;
};

} // namespace tessary::server
