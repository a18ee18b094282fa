#pragma once

#include "server/AddressRateLimit.h"
#include "server/BlockingPool.h"
#include "server/HttpMessage.h"
#include "server/MailService.h"
#include "server/MessageCache.h"
#include "server/OAuthSignIn.h"
#include "server/PeerMessages.h"
#include "server/ServerConfig.h"
#include "server/Storage.h"

#include <mutex>

namespace tessary::server {

// The client's JSON API: installs, accounts (list, connect, imap, remove) and messages (list, ids,
// trash). Every call but installs carries "Authorization: Bearer <token>"; only the token's
// SHA-256 is ever stored or compared. Failures answer {"error": "..."} in words the user can act
// on. Nothing here logs a token, a password or any part of a message.
class HttpApi {
public:
    // `peers`: with other instances on one database, where their watchers' messages are fetched.
    HttpApi(Storage& storage, const CredentialCipher& cipher, MailService& mail, InboxAssignment& inboxes,
            MessageCache& cache, const ServerConfig& config, const PeerMessages* peers = nullptr);
    // Answers one request, at once or (a held poll, a mail server's answer) later; runs where
    // blocking briefly, on the database, is allowed.
    void handle(const HttpRequest& request, const HttpRespond& respond);
    // Finishes the requests that wait on mail servers; call after MailService::stop.
    void stop();

private:
    struct MailQuery {
        QString install;
        double since = 0;
        QSet<QString> accounts; // the install's active inboxes
    };
    struct Route {
        void (HttpApi::*answer)(const HttpRequest&, const HttpRespond&) = nullptr;
        bool waitsLong = false; // on a mail server or a sign-in service
    };
    static Route routeFor(const std::string& method, const std::string& path);

    std::optional<QString> authorized(const HttpRequest& request, const HttpRespond& respond);
    std::optional<MailQuery> mailQuery(const HttpRequest& request, const HttpRespond& respond);
    void registerInstall(const HttpRequest& request, const HttpRespond& respond);
    void listAccounts(const HttpRequest& request, const HttpRespond& respond);
    void connectAccount(const HttpRequest& request, const HttpRespond& respond);
    void finishSignIn(const HttpRequest& request, const HttpRespond& respond);
    void addImapAccount(const HttpRequest& request, const HttpRespond& respond);
    // A client on another machine adds an inbox: private addresses are out of reach from now on.
    void servesAnotherMachine();
    void removeAccount(const HttpRequest& request, const HttpRespond& respond);
    void listMessages(const HttpRequest& request, const HttpRespond& respond);
    // The list of `found`, with the records other instances hold taken from `elsewhere`.
    void respondWithMessages(const QSet<QString>& accounts, const QList<CachedMessage>& found,
                             const QHash<QString, QJsonObject>& elsewhere, const HttpRespond& respond);
    void holdForIds(const HttpRequest& request, const HttpRespond& respond);
    void trashMessage(const HttpRequest& request, const HttpRespond& respond);
    void serveHeldMessages(const HttpRequest& request, const HttpRespond& respond);

    Storage& m_storage;
    const CredentialCipher& m_cipher;
    MailService& m_mail;
    InboxAssignment& m_inboxes;
    MessageCache& m_cache;
    const ServerConfig& m_config;
    const PeerMessages* m_peers;
    OAuthSignIn m_signIn;
    std::mutex m_adding; // an IMAP inbox's last look at the list and its save
    // Each registration leaves a row for good, so one client may not make them without end.
    AddressRateLimit m_registrations;
    // Requests that wait long have threads of their own, so the quick ones never queue behind them.
    BlockingPool m_longWork;
};

} // namespace tessary::server
