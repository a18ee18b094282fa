#pragma once

#include "common/Expected.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <chrono>
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

// What finishing a browser sign-in needs, by the state the browser brings back: never a token.
struct PendingSignIn {
    QString state;
    QString installId;
    QString accountId;
    QString provider;
    QByteArray verifier; // the PKCE verifier, which never leaves the backend
};

// The id of a new install or inbox.
inline QString newStorageId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// What the backend keeps on disk: installs (by token hash only), accounts and their encrypted
// credentials. Messages are never stored. Implementations are safe to call from any thread:
// SQLite for one machine, PostgreSQL for the instances of a hosted backend.

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
    // Deletes the account, its credential and its sign-in; false when the install holds no such
    // account.
    virtual bool removeAccount(const QString& installId, const QString& accountId) = 0;
    // Keeps what finishing a sign-in needs until `window` has passed; false when it could not.
    virtual bool keepSignIn(const PendingSignIn& signIn, std::chrono::seconds window) = 0;
    // The sign-in the state names, taken: a state is good for one answer only. Nothing when it is
    // unknown or its window has passed.
    virtual std::optional<PendingSignIn> takeSignIn(const QString& state) = 0;
    // Deletes every inbox still waiting for a browser sign-in that can no longer finish: its
    // window has passed, or what finishing it needs is gone.
    virtual void removeStalePendingAccounts() = 0;
};

} // namespace tessary::server
