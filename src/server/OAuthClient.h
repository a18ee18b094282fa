#pragma once

#include "common/Expected.h"
#include "server/Wakeup.h"

#include <QHash>
#include <QString>
#include <QUrl>

namespace tessary::server {

// A provider whose inboxes are added by signing in in the browser (Gmail, Outlook): the
// backend's own client registration and the provider's endpoints. Only the client id has to
// be configured; the rest defaults to the provider's public values.
struct OAuthProvider {
    QString clientId;
    QString clientSecret; // Google issues one even to desktop clients; empty when none
    QString authorizeUrl;
    QString tokenUrl;
    QString scope;
    QString imapHost;
    QString caFile; // extra trust for the token endpoint, like imapCAFile for IMAP
};

// The public endpoints of "gmail" and "outlook"; nothing for other names.
std::optional<OAuthProvider> knownProvider(const QString& name);

// A proof key (RFC 7636): the verifier stays in the backend, its S256 challenge goes to the browser.
struct Pkce {
    QByteArray verifier;
    QByteArray challenge;
};
Pkce makePkce();
QByteArray pkceChallenge(const QByteArray& verifier);

// The sign-in page the user's browser opens.
QUrl authorizeUrl(const OAuthProvider& provider, const QString& redirectUri, const QString& state,
                  const QByteArray& challenge);

struct OAuthTokens {
    QString accessToken;
    QString refreshToken; // empty when the provider kept the old one
    QString email;        // from the ID token, when one came with the reply
};

// Why the token endpoint gave no tokens, in words the user can act on. `revoked`: the grant itself
// is gone (withdrawn by the user or the provider, or expired), so asking again cannot help.
struct OAuthError {
    QString message;
    bool revoked = false;
};

// Exchanges the code the browser brought back for tokens, proving the verifier.
Expected<OAuthTokens, OAuthError> exchangeCode(const OAuthProvider& provider, const QString& code,
                                               const QByteArray& verifier, const QString& redirectUri);
// A fresh access token for a connection. A refresh token the user or the provider revoked is
// reported in words the user can act on. Raising `stop` ends the wait for the provider at once.
Expected<OAuthTokens, OAuthError> refreshAccess(const OAuthProvider& provider, const QString& refreshToken,
                                                const WakeFlag* stop = nullptr);

} // namespace tessary::server
