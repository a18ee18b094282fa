#pragma once

#include "common/Expected.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>
#include <utility>

namespace tessary::server {

// A connected inbox as the backend keeps it. The credential lives apart, encrypted.
struct StoredAccount {
    QString id;
    QString installId;
    QString provider; // "imap", "gmail", "outlook"
    QString email;
    QString host;
    QString status; // "active" or "pending"
};

// What the backend keeps on disk: installs (by token hash only), accounts and their encrypted
// credentials. Messages are never stored. Implementations are safe to call from any thread:
// SQLite for one machine, PostgreSQL for the instances of a hosted backend.
// The id of a new install or inbox.
inline QString newStorageId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

class Storage {
public:
    virtual ~Storage() = default;

    virtual Expected<QString, QString> createInstall(const QByteArray& tokenHash) = 0;
    // The install a token stands for; nothing when it stands for none; an error when the storage
    // cannot tell (its database out of reach), which must never read as an unknown token.
    virtual Expected<std::optional<QString>, QString> installForToken(const QByteArray& tokenHash) = 0;

    virtual Expected<Done, QString> addAccount(const StoredAccount& account,
                                               const QByteArray& sealedCredential) = 0;
    virtual QList<StoredAccount> accounts(const QString& installId) = 0;
    virtual QList<StoredAccount> activeAccounts() = 0; // of every install, for the watchers
    virtual std::optional<QByteArray> credential(const QString& accountId) = 0;
    // Every sealed credential with its account id, for sealing them all again under a new key.
    virtual QList<std::pair<QString, QByteArray>> credentials() = 0;
    // A pending sign-in completed: the account becomes active with its address and credential.
    virtual bool activateAccount(const QString& accountId, const QString& email,
                                 const QByteArray& sealedCredential) = 0;
    // Replaces an account's sealed credential (a refresh token the provider rotated).
    virtual bool updateCredential(const QString& accountId, const QByteArray& sealedCredential) = 0;
    // Deletes the account and its credential; false when the install holds no such account.
    virtual bool removeAccount(const QString& installId, const QString& accountId) = 0;
    // Deletes every inbox still waiting for its browser sign-in: what the sign-in needs to finish
    // lives in memory only, so after a restart it never can.
    virtual void removePendingAccounts() = 0;
};

} // namespace tessary::server
