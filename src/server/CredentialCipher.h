#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tessary::server {

// Seals inbox credentials with AES-256-GCM before they reach the database; the account id is
// bound in as associated data, so a sealed credential copied to another row does not open.
// The key comes from a file beside the database created with mode 0600 — weaker than a keyring,
// since anyone who can read the data folder as this user can read both.
class CredentialCipher {
public:
    static Expected<CredentialCipher, QString> fromKeyFile(const QString& path);
    explicit CredentialCipher(QByteArray key);

    QByteArray seal(const QByteArray& plain, const QByteArray& accountId) const; // base64 text
    std::optional<QByteArray> open(const QByteArray& sealed, const QByteArray& accountId) const;

private:
    QByteArray m_key;
};

QByteArray randomBytes(int count);
QByteArray sha256(const QByteArray& data);

} // namespace tessary::server
