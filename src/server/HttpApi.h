#pragma once

#include "server/MailService.h"
#include "server/MessageCache.h"
#include "server/OAuthSignIn.h"
#include "server/ServerConfig.h"
#include "server/Storage.h"

namespace httplib {
class Server;
}

namespace tessary::server {

// The client's JSON API: installs, accounts (list, connect, imap, remove) and messages (list, ids,
// trash). Every call but installs carries "Authorization: Bearer <token>"; only the token's
// SHA-256 is ever stored or compared. Failures answer {"error": "..."} in words the user can act
// on. Nothing here logs a token, a password or any part of a message.
class HttpApi {
public:
    HttpApi(Storage& storage, const CredentialCipher& cipher, MailService& mail, MessageCache& cache,
            const ServerConfig& config);
    void install(httplib::Server& server);

private:
    Storage& m_storage;
    const CredentialCipher& m_cipher;
    MailService& m_mail;
    MessageCache& m_cache;
    const ServerConfig& m_config;
    OAuthSignIn m_signIn;
};

} // namespace tessary::server
