#include "server/BackendServer.h"

#include "server/CredentialKeys.h"
#include "server/HttpApi.h"
#include "server/MailService.h"
#include "server/MessageCache.h"
#include "server/SqliteStorage.h"

#include <QDir>
#include <QHostAddress>

#include <httplib.h>

namespace tessary::server {

namespace {

bool isLoopback(const QString& host)
{
    return host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
}

} // namespace

Expected<std::unique_ptr<BackendServer>, QString> BackendServer::start(ServerConfig config)
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
    const QDir data(config.dataDir);
    auto imap = loadImapSettings(config.dataDir);
    if (!imap)
        return Unexpected{imap.error()};
    config.imap = *imap;
    auto storage = SqliteStorage::open(data.filePath(QStringLiteral("tessary-backend.sqlite")));
    if (!storage)
        return Unexpected{storage.error()};
    auto cipher = openCredentialKeys(config.dataDir, config.keyring.get(), **storage);
    if (!cipher)
        return Unexpected{cipher.error()};

    std::unique_ptr<BackendServer> server(new BackendServer);
    server->m_config = config;
    server->m_storage = std::move(*storage);
    server->m_cipher = std::make_unique<CredentialCipher>(std::move(*cipher));
    server->m_cache = std::make_unique<MessageCache>(std::chrono::minutes(15), config.maxHeldPolls);
    server->m_mail =
        std::make_unique<MailService>(*server->m_storage, *server->m_cipher, config.imap, *server->m_cache);
    server->m_api = std::make_unique<HttpApi>(*server->m_storage, *server->m_cipher, *server->m_mail,
                                              *server->m_cache, server->m_config);
    if (tls)
        server->m_http = std::make_unique<httplib::SSLServer>(config.tlsCert.toLocal8Bit().constData(),
                                                              config.tlsKey.toLocal8Bit().constData());
    else
        server->m_http = std::make_unique<httplib::Server>();
    if (!server->m_http->is_valid())
        return Unexpected{QStringLiteral("Can't use the TLS certificate \"%1\" with the key \"%2\"")
                              .arg(config.tlsCert, config.tlsKey)};
    // Every held ids poll and every TLS handshake occupies a worker, so the pool is larger than
    // the polls allowed to wait at once.
    const int workers = config.maxHeldPolls + 16;
    server->m_http->new_task_queue = [workers] { return new httplib::ThreadPool(size_t(workers)); };
    server->m_api->install(*server->m_http);

    const std::string host = config.listenHost.toStdString();
    if (config.listenPort == 0) {
        const int port = server->m_http->bind_to_any_port(host);
        server->m_port = port > 0 ? uint16_t(port) : 0;
    } else if (server->m_http->bind_to_port(host, config.listenPort)) {
        server->m_port = config.listenPort;
    }
    if (server->m_port == 0)
        return Unexpected{
            QStringLiteral("Can't listen on %1:%2").arg(config.listenHost).arg(config.listenPort)};
    if (server->m_config.publicUrl.isEmpty())
        server->m_config.publicUrl =
            server->url(); // the embedded backend: what the browser beside it reaches
    server->m_mail->watchStoredAccounts();
    server->m_listener = std::thread([http = server->m_http.get()] { http->listen_after_bind(); });
    return server;
}

BackendServer::~BackendServer()
{
    if (m_cache)
        m_cache->shutDown();
    if (m_http)
        m_http->stop();
    if (m_listener.joinable())
        m_listener.join();
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
    return BackendServer::start(std::move(config));
}

} // namespace tessary::server
