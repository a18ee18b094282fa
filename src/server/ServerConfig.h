#pragma once

#include "common/Expected.h"
#include "server/HttpMessage.h"
#include "server/InboxLeases.h"
#include "server/KeyVault.h"
#include "server/OAuthClient.h"

#include <QHash>
#include <QLoggingCategory>
#include <QString>

#include <cstdint>
#include <memory>

namespace tessary::server {

Q_DECLARE_LOGGING_CATEGORY(logServer)

// Where an IMAP host is really reached. The certificate is still checked against the host name
// the user typed, so a mapping never weakens the check.
struct ImapRoute {
    QString address;
    uint16_t port = 993;
};

// How the backend reaches IMAP servers: extra trust and host mappings from its configuration
// file, for private mail servers and for tests.
struct ImapSettings {
    QString trustedCaFile;               // added to the system's authorities, never replacing them
    QHash<QString, ImapRoute> routes;    // lower-case host name → address and port
    int connectTimeoutMs = 10000;        // connecting, the TLS handshake and the greeting together
    int commandTimeoutMs = 30000;        // for the answer to one command
    QHash<QString, OAuthProvider> oauth; // "gmail", "outlook": only those with a client id
    // Hosts on this machine and private networks are reached only by a backend that this machine
    // alone reaches, or through a route above: one open to others would let strangers probe them.
    bool privateHosts = false;

    ImapRoute routeFor(const QString& host) const;
};

struct ServerConfig {
    QString listenHost = QStringLiteral("127.0.0.1");
    uint16_t listenPort = 0; // 0: the system picks one
    QString dataDir;
    QString databaseUrl; // PostgreSQL, shared by the instances of a hosted backend; none: SQLite in dataDir
    // With a database: the key all its instances seal credentials with, from a file or else as bytes.
    QString keyFile;
    QByteArray sharedKey;
    QString tlsCert;
    QString tlsKey;
    QString publicUrl; // where browsers reach this backend; its own address when empty
    QString
        instanceUrl; // with a database: where the other instances reach this one; its own address when empty
    std::shared_ptr<KeyVault> keyring; // the credential key's home; none: the key file alone
    ImapSettings imap;
    int maxHeldPolls = 16384;   // polls and first-read waits held at once: each costs memory only, no thread
    int pollHoldMs = 10000;     // an ids poll is answered after at most this long
    int installsPerHour = 30;   // computers one client address may register in an hour; 0: no limit
    int inboxesPerInstall = 20; // each one watched over a connection of its own; sign-ins under way count
    HttpLimits http;
    LeaseTimings leases; // with a database: how the instances share the inboxes out
};

// Reads "backend.json" in the data folder when present:
//   {"imapCAFile": "/path/ca.pem", "imapHosts": {"imap.example.com": "127.0.0.1:10993"},
//    "oauth": {"gmail": {"clientId": "…", "clientSecret": "…"}, "outlook": {"clientId": "…"}}}
// An "oauth" entry may also set "authorizeUrl", "tokenUrl", "scope", "imapHost" and "caFile".
// A missing file is no error; an unreadable or malformed one is, with a message saying why.
Expected<ImapSettings, QString> loadImapSettings(const QString& dataDir);

// Once a client on another machine has added an inbox, the backend serves others for good: a mark
// in the data folder keeps private addresses out of reach after a restart too, for every inbox.
bool hasServedAnotherMachine(const QString& dataDir);
void markServedAnotherMachine(const QString& dataDir);

} // namespace tessary::server
