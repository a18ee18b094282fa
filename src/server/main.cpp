// tessary-backend: the mail backend run on its own, for one machine or for several desktops.
#include "server/BackendServer.h"
#include "server/SecretServiceKeyVault.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>

#include <sys/resource.h>

using namespace tessary::server;

int main(int argc, char** argv)
{
    // Every thread started from here on inherits the blocked signals, so only the sigwait below
    // ever sees a stop request and shuts down in order.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // Every held poll is an open connection: take as many descriptors as the system allows.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessary-backend"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The Tessary mail backend"));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("listen"), QStringLiteral("Address and port to serve on."),
                      QStringLiteral("ADDR:PORT"), QStringLiteral("127.0.0.1:8025")});
    parser.addOption({QStringLiteral("data"),
                      QStringLiteral("Folder for the database, key and backend.json."),
                      QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("database"),
                      QStringLiteral("PostgreSQL database for installs and inboxes, as "
                                     "postgresql://USER@HOST/NAME (default: SQLite in DIR)."),
                      QStringLiteral("URL")});
    parser.addOption(
        {QStringLiteral("key-file"),
         QStringLiteral("With --database: the 32-byte key (mode 0600) every instance seals "
                        "inbox credentials with; else TESSARY_CREDENTIAL_KEY holds it in base64."),
         QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("tls-cert"), QStringLiteral("PEM certificate chain for https."),
                      QStringLiteral("FILE")});
    parser.addOption(
        {QStringLiteral("tls-key"), QStringLiteral("PEM private key for https."), QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("public-url"),
                      QStringLiteral("Address browsers reach this backend at, for the Gmail and Outlook "
                                     "sign-in redirect (default: the listen address)."),
                      QStringLiteral("URL")});
    parser.addOption(
        {QStringLiteral("instance-url"),
         QStringLiteral("With --database: the address the other instances reach this one at, for "
                        "the mail it watches (default: the listen address)."),
         QStringLiteral("URL")});
    parser.addOption({QStringLiteral("installs-per-hour"),
                      QStringLiteral("Computers one client address may register in an hour; 0: no limit. "
                                     "Behind a proxy on this machine, the address it adds to "
                                     "X-Forwarded-For counts."),
                      QStringLiteral("N"), QStringLiteral("30")});
    parser.addOption({QStringLiteral("no-keyring"),
                      QStringLiteral("Keep the credential key only in DIR/credentials.key, never in the "
                                     "desktop's Secret Service.")});
    parser.process(app);

    ServerConfig config;
    const QString listen = parser.value(QStringLiteral("listen"));
    const qsizetype colon = listen.lastIndexOf(QLatin1Char(':'));
    bool portOk = colon > 0;
    const uint port = portOk ? listen.mid(colon + 1).toUInt(&portOk) : 0;
    bool installsOk = false;
    const int installsPerHour = parser.value(QStringLiteral("installs-per-hour")).toInt(&installsOk);
    if (!portOk || port > 65535 || !installsOk || installsPerHour < 0 ||
        !parser.isSet(QStringLiteral("data"))) {
        std::fputs("usage: tessary-backend --listen ADDR:PORT --data DIR [--database URL] [--tls-cert FILE "
                   "--tls-key FILE] [--installs-per-hour N]\n",
                   stderr);
        return 2;
    }
    config.listenHost = listen.left(colon).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
    config.listenPort = uint16_t(port);
    config.dataDir = parser.value(QStringLiteral("data"));
    config.databaseUrl = parser.value(QStringLiteral("database"));
    config.keyFile = parser.value(QStringLiteral("key-file"));
    config.sharedKey = QByteArray::fromBase64(qgetenv("TESSARY_CREDENTIAL_KEY"));
    config.tlsCert = parser.value(QStringLiteral("tls-cert"));
    config.tlsKey = parser.value(QStringLiteral("tls-key"));
    config.publicUrl = parser.value(QStringLiteral("public-url"));
    config.instanceUrl = parser.value(QStringLiteral("instance-url"));
    config.installsPerHour = installsPerHour;
    if (!parser.isSet(QStringLiteral("no-keyring")))
        config.keyring = std::make_shared<SecretServiceKeyVault>();
    while (config.publicUrl.endsWith(QLatin1Char('/')))
        config.publicUrl.chop(1);

    auto server = BackendServer::start(config);
    if (!server) {
        std::fprintf(stderr, "tessary-backend: %s\n", qPrintable(server.error()));
        return 1;
    }
    std::printf("tessary-backend: serving %s\n", qPrintable((*server)->url()));
    std::fflush(stdout);
    int received = 0;
    sigwait(&stopSignals, &received);
    server->reset();
    return 0;
}
