#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace tessary::server {

// Seals inbox credentials with AES-256-GCM before they reach the database; the account id is
// bound in as associated data, so a sealed credential copied to another row does not open.
// Where the key lives is CredentialKeys' business. Older keys only open: what they sealed stays
// readable until it is sealed again under the current key.
class CredentialCipher {
public:
    static constexpr int keySize = 32;

    explicit CredentialCipher(QByteArray key, QList<QByteArray> olderKeys = {});

    QByteArray seal(const QByteArray& plain, const QByteArray& accountId) const; // base64 text
    std::optional<QByteArray> open(const QByteArray& sealed, const QByteArray& accountId) const;
    // The credential sealed under the current key when only an older key opens it; nothing when
    // it is current already or no key opens it.
    std::optional<QByteArray> resealed(const QByteArray& sealed, const QByteArray& accountId) const;
    // A secret for `purpose` that only holders of the current key can make (HMAC-SHA256 of the
    // purpose under the key), so instances sharing the key can prove it without sending it.
    QByteArray derivedSecret(const QByteArray& purpose) const;

private:
    QByteArray m_key;
    QList<QByteArray> m_olderKeys;
};

QByteArray randomBytes(int count);
QByteArray sha256(const QByteArray& data);

} // namespace tessary::server
