#include "server/BackendServer.h"

#include "server/CredentialKeys.h"
#include "server/HttpApi.h"
#include "server/HttpServer.h"
#include "server/MailService.h"
#include "server/MessageCache.h"
#include "server/SqliteStorage.h"

#include <QDir>
#include <QHostAddress>

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
    // Every held ids poll and every TLS handshake occupies a worker, so the pool is larger than
    // the polls allowed to wait at once.
    auto http = HttpServer::create(config.tlsCert, config.tlsKey, config.http, config.maxHeldPolls + 16);
    if (!http)
        return Unexpected{http.error()};
    server->m_http = std::move(*http);
    server->m_api->install(server->m_http->routes());
    const auto port = server->m_http->bind(config.listenHost, config.listenPort);
    if (!port)
        return Unexpected{port.error()};
    server->m_port = *port;
    if (server->m_config.publicUrl.isEmpty())
        server->m_config.publicUrl =
            server->url(); // the embedded backend: what the browser beside it reaches
    server->m_mail->watchStoredAccounts();
    server->m_http->start();
    return server;
}

BackendServer::~BackendServer()
{
    // Every wait ends first (on mail servers, then held polls), so the workers can be joined.
    if (m_mail)
        m_mail->stop();
    if (m_cache)
        m_cache->shutDown();
    if (m_http)
        m_http->stop();
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
