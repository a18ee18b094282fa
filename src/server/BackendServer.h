#pragma once

#include "common/Expected.h"
#include "server/ServerConfig.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace tessary::server {

class Storage;
class CredentialCipher;
class MessageCache;
class MailService;
class InboxAssignment;
class PostgresNews;
class PeerMessages;
class HttpApi;
class HttpServer;

// The whole backend: storage in the data folder (or a PostgreSQL database), a watcher per active inbox
// (with a database, per inbox this instance holds the lease of), and the HTTP API on its own
// threads. Stopping it (or destroying it) ends every thread it started.
class BackendServer {
public:
    // Opens the data folder, starts watching the stored inboxes and begins to serve. Plain http
    // is served only on a loopback address; anywhere else needs a certificate and key.
    static Expected<std::unique_ptr<BackendServer>, QString> start(ServerConfig config);
    // The same, except that only the folder and the port are ready on return: the storage and the
    // credential key (which a keyring may take seconds to give) are opened, and serving begins, on
    // a thread of the server's own. Requests made meanwhile wait in the listen queue.
    static Expected<std::unique_ptr<BackendServer>, QString> startInBackground(ServerConfig config);
    ~BackendServer();
    BackendServer(const BackendServer&) = delete;
    BackendServer& operator=(const BackendServer&) = delete;

    QString url() const; // "http://127.0.0.1:PORT", what the client's backendURL would hold
    uint16_t port() const { return m_port; }

private:
    BackendServer() = default;
    static Expected<std::unique_ptr<BackendServer>, QString> bind(ServerConfig config);
    // Opens the storage and the credential key, starts the watchers and serves; an error says why
    // it could not. With `waitForKeyring`, a keyring that holds the key but does not give it yet
    // is asked again until it does or the server stops, and requests meanwhile are told why.
    QString serve(bool waitForKeyring);
    void startAnswering(); // once: the API when ready, else the reason it is not
    void answerMeanwhile(const QString& why);
    bool stopsWithin(std::chrono::milliseconds wait); // true: the server is being destroyed

    ServerConfig m_config;
    std::unique_ptr<Storage> m_storage;
    std::unique_ptr<CredentialCipher> m_cipher;
    std::unique_ptr<MessageCache> m_cache;
    std::unique_ptr<MailService> m_mail;
    std::unique_ptr<InboxAssignment> m_inboxes;
    std::unique_ptr<PeerMessages> m_peers; // with a database: the other instances' records of their mail
    std::unique_ptr<PostgresNews> m_news;  // with a database: what their watchers find; uses m_peers
    std::unique_ptr<HttpApi> m_api;
    std::unique_ptr<HttpServer> m_http;
    uint16_t m_port = 0;
    std::thread m_serving;                   // finishes a start in the background
    bool m_answering = false;                // the listener started; used by the serving thread alone
    std::atomic<HttpApi*> m_ready = nullptr; // m_api once everything it uses is there
    struct {
        std::mutex mutex;
        std::condition_variable asked;
        bool requested = false;
    } m_stop;
    QString m_unready; // under m_stop.mutex: what a request is told before m_ready
};

// The backend inside the app: on 127.0.0.1 at a port the system picks, keeping its data (and its
// backend.json) in `dataDir`, and its credential key in `keyring` when one is given. The app
// points its client at url() when no backendURL is set.
Expected<std::unique_ptr<BackendServer>, QString>
startEmbeddedBackend(const QString& dataDir, std::shared_ptr<KeyVault> keyring = {});

} // namespace tessary::server
