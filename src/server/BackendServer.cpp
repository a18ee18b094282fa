#include "server/BackendServer.h"

#include "server/CredentialKeys.h"
#include "server/HttpApi.h"
#include "server/HttpServer.h"
#include "server/InboxAssignment.h"
#include "server/MailService.h"
#include "server/MessageCache.h"
#include "server/PeerMessages.h"
#include "server/PostgresLeases.h"
#include "server/PostgresNews.h"
#include "server/PostgresStorage.h"
#include "server/SqliteStorage.h"

#include <QDir>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

namespace tessary::server {

namespace {

constexpr auto keyringRetry = std::chrono::seconds(5);

bool isLoopback(const QString& host)
{
    return host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
}

} // namespace

Expected<std::unique_ptr<BackendServer>, QString> BackendServer::start(ServerConfig config)
{
    auto server = bind(std::move(config));
    if (!server)
        return server;
    if (QString error = (*server)->serve(false); !error.isEmpty())
        return Unexpected{error};
    return server;
}

Expected<std::unique_ptr<BackendServer>, QString> BackendServer::startInBackground(ServerConfig config)
{
    auto server = bind(std::move(config));
    if (!server)
        return server;
    BackendServer* bound = server->get();
    bound->m_serving = std::thread([bound] {
        // Requests wait in the listen queue meanwhile; the client gives each one 15 s.
        if (const QString error = bound->serve(true); !error.isEmpty()) {
            qCWarning(logServer).noquote() << "the built-in backend could not start:" << error;
            bound->answerMeanwhile(error); // requests say why rather than wait for nothing
        }
    });
    return server;
}

Expected<std::unique_ptr<BackendServer>, QString> BackendServer::bind(ServerConfig config)
{
    const bool tls = !config.tlsCert.isEmpty() || !config.tlsKey.isEmpty();
    if (!tls && !isLoopback(config.listenHost))
        return Unexpected{QStringLiteral("Plain http is served only on this computer (127.0.0.1); give "
                                         "--tls-cert and --tls-key to listen on %1")
                              .arg(config.listenHost)};
    if (config.dataDir.isEmpty() || !QDir().mkpath(config.dataDir))
        return Unexpected{QStringLiteral("Can't create the data folder \"%1\"").arg(config.dataDir)};
    QFile::setPermissions(config.dataDir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    auto imap = loadImapSettings(config.dataDir);
    if (!imap)
        return Unexpected{imap.error()};
    config.imap = *imap;
    // Instances sharing a database serve other machines, though each may listen on a loopback
    // address behind their proxy.
    config.imap.privateHosts = isLoopback(config.listenHost) && config.databaseUrl.isEmpty() &&
                               !hasServedAnotherMachine(config.dataDir);

    std::unique_ptr<BackendServer> server(new BackendServer);
    server->m_config = config;
    auto http = HttpServer::create(config.tlsCert, config.tlsKey, config.http);
    if (!http)
        return Unexpected{http.error()};
    server->m_http = std::move(*http);
    const auto port = server->m_http->bind(config.listenHost, config.listenPort);
    if (!port)
        return Unexpected{port.error()};
    server->m_port = *port;
    if (server->m_config.publicUrl.isEmpty())
        server->m_config.publicUrl =
            server->url(); // the embedded backend: what the browser beside it reaches
    return server;
}

QString BackendServer::serve(bool waitForKeyring)
{
    // Opening (on a first start, making) the database waits for the disk, which a busy machine
    // kept from answering for up to 85 ms: that is why it is done here rather than in bind().
    std::unique_ptr<LeaseBoard> leases;
    std::shared_ptr<PostgresLeaseBoard> instances; // where the other instances are reached
    if (m_config.databaseUrl.isEmpty()) {
        auto storage =
            SqliteStorage::open(QDir(m_config.dataDir).filePath(QStringLiteral("tessary-backend.sqlite")));
        if (!storage)
            return storage.error();
        m_storage = std::move(*storage);
    } else {
        auto storage = PostgresStorage::open(m_config.databaseUrl);
        if (!storage)
            return storage.error();
        leases = std::make_unique<PostgresLeaseBoard>((*storage)->database());
        instances = std::make_shared<PostgresLeaseBoard>((*storage)->database());
        m_storage = std::move(*storage);
    }
    // The credential key may come from a keyring, which can take seconds to answer.
    const auto openKey = [this]() -> Expected<CredentialCipher, KeyProblem> {
        if (m_config.databaseUrl.isEmpty())
            return openCredentialKeys(m_config.dataDir, m_config.keyring.get(), *m_storage);
        auto shared = openSharedCredentialKey(m_config.keyFile, m_config.sharedKey, *m_storage);
        if (!shared)
            return Unexpected{KeyProblem{shared.error()}};
        return std::move(*shared);
    };
    auto cipher = openKey();
    // A keyring that holds the key but does not give it now (locked, or not answering yet at
    // login) is asked again: a key of our own would open none of the inboxes sealed under its.
    while (!cipher && cipher.error().passing && waitForKeyring) {
        answerMeanwhile(cipher.error().message);
        if (stopsWithin(keyringRetry))
            return {};
        cipher = openKey();
    }
    if (!cipher)
        return cipher.error().message;
    m_cipher = std::make_unique<CredentialCipher>(std::move(*cipher));
    m_cache = std::make_unique<MessageCache>(std::chrono::minutes(15), m_config.maxHeldPolls);
    m_mail = std::make_unique<MailService>(*m_storage, *m_cipher, m_config.imap, *m_cache);
    const QString instance = newStorageId();
    const QString instanceUrl = m_config.instanceUrl.isEmpty() ? url() : m_config.instanceUrl;
    if (instances) {
        m_peers = std::make_unique<PeerMessages>(
            *m_cache, m_cipher->derivedSecret("tessary-backend instances"),
            [instances](const QString& holder) { return instances->addressOf(holder); });
        // Once listening, at the start and after the database was away: what the others took meanwhile.
        m_news = std::make_unique<PostgresNews>(m_config.databaseUrl, instance, *m_cache,
                                                [peers = m_peers.get(), instances, instance] {
                                                    peers->catchUp(instances->othersThan(instance));
                                                });
        m_news->start();
    }
    m_inboxes = std::make_unique<InboxAssignment>(*m_storage, *m_mail, std::move(leases), instance,
                                                  instanceUrl, m_config.leases);
    m_api = std::make_unique<HttpApi>(*m_storage, *m_cipher, *m_mail, *m_inboxes, *m_cache, m_config,
                                      m_peers.get());
    m_inboxes->start();
    m_ready.store(m_api.get());
    startAnswering();
    return {};
}

void BackendServer::startAnswering()
{
    if (std::exchange(m_answering, true))
        return;
    m_http->start([this](const HttpRequest& request, const HttpRespond& respond) {
        if (HttpApi* api = m_ready.load()) {
            api->handle(request, respond);
            return;
        }
        const std::lock_guard lock(m_stop.mutex);
        HttpReply reply{503,
                        "application/json",
                        {{"Retry-After", "5"}},
                        QJsonDocument(QJsonObject{{"error", m_unready}}).toJson(QJsonDocument::Compact)};
        respond(std::move(reply));
    });
}

void BackendServer::answerMeanwhile(const QString& why)
{
    {
        const std::lock_guard lock(m_stop.mutex);
        m_unready = why;
    }
    startAnswering();
}

bool BackendServer::stopsWithin(std::chrono::milliseconds wait)
{
    std::unique_lock lock(m_stop.mutex);
    return m_stop.asked.wait_for(lock, wait, [this] { return m_stop.requested; });
}

BackendServer::~BackendServer()
{
    {
        const std::lock_guard lock(m_stop.mutex);
        m_stop.requested = true;
    }
    m_stop.asked.notify_all();
    if (m_serving.joinable())
        m_serving.join();
    // Every wait ends first (on mail servers, then held polls), so their replies leave before the
    // server's threads end.
    if (m_mail)
        m_mail->stop();
    if (m_inboxes)
        m_inboxes->stop(); // gives the leases back, so the other instances take over at once
    if (m_news)
        m_news->stop();
    if (m_cache)
        m_cache->shutDown();
    if (m_api)
        m_api->stop();
    if (m_http)
        m_http->stop();
    m_api.reset();
    m_inboxes.reset();
    m_mail.reset(); // watchers stop before the cache and storage they use go away
}

QString BackendServer::url() const
{
    const bool tls = !m_config.tlsCert.isEmpty();
    QString host = m_config.listenHost;
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("%1://%2:%3").arg(tls ? "https" : "http", host).arg(m_port);
}

Expected<std::unique_ptr<BackendServer>, QString> startEmbeddedBackend(const QString& dataDir,
                                                                       std::shared_ptr<KeyVault> keyring)
{
    ServerConfig config;
    config.dataDir = dataDir;
    config.keyring = std::move(keyring);
    return BackendServer::startInBackground(std::move(config));
}

} // namespace tessary::server
