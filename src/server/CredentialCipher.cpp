#include "server/CredentialCipher.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <memory>

namespace tessary::server {

namespace {
constexpr int nonceSize = 12;
constexpr int tagSize = 16;

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

unsigned char* bytesOf(QByteArray& data)
{
    return reinterpret_cast<unsigned char*>(data.data());
}
const unsigned char* bytesOf(const QByteArray& data)
{
    return reinterpret_cast<const unsigned char*>(data.constData());
}

std::optional<QByteArray> openWith(const QByteArray& key, const QByteArray& sealed,
                                   const QByteArray& accountId)
{
    const QByteArray raw = QByteArray::fromBase64(sealed);
    if (key.size() != CredentialCipher::keySize || raw.size() < nonceSize + tagSize)
        return std::nullopt;
    const QByteArray nonce = raw.left(nonceSize);
    const QByteArray body = raw.mid(nonceSize, raw.size() - nonceSize - tagSize);
    QByteArray tag = raw.right(tagSize);
    QByteArray plain(body.size() + 16, '\0');
    CipherContext context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int length = 0;
    EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, bytesOf(key), bytesOf(nonce));
    EVP_DecryptUpdate(context.get(), nullptr, &length, bytesOf(accountId), int(accountId.size()));
    EVP_DecryptUpdate(context.get(), bytesOf(plain), &length, bytesOf(body), int(body.size()));
    const int total = length;
    EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, tagSize, bytesOf(tag));
    if (EVP_DecryptFinal_ex(context.get(), bytesOf(plain) + total, &length) != 1)
        return std::nullopt;
    plain.truncate(total + length);
    return plain;
}

} // namespace

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, '\0');
    if (RAND_bytes(bytesOf(bytes), count) != 1)
        qFatal("the system's random source failed"); // no safe way on without randomness
    return bytes;
}

QByteArray sha256(const QByteArray& data)
{
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    EVP_Digest(data.constData(), size_t(data.size()), bytesOf(digest), &length, EVP_sha256(), nullptr);
    digest.truncate(int(length));
    return digest;
}

CredentialCipher::CredentialCipher(QByteArray key, QList<QByteArray> olderKeys)
    : m_key(std::move(key))
    , m_olderKeys(std::move(olderKeys))
{
}

QByteArray CredentialCipher::seal(const QByteArray& plain, const QByteArray& accountId) const
{
    const QByteArray nonce = randomBytes(nonceSize);
    QByteArray out(plain.size() + tagSize, '\0');
    CipherContext context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int length = 0;
    int total = 0;
    EVP_EncryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, bytesOf(m_key), bytesOf(nonce));
    EVP_EncryptUpdate(context.get(), nullptr, &length, bytesOf(accountId), int(accountId.size()));
    EVP_EncryptUpdate(context.get(), bytesOf(out), &length, bytesOf(plain), int(plain.size()));
    total = length;
    EVP_EncryptFinal_ex(context.get(), bytesOf(out) + total, &length);
    total += length;
    EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, tagSize, bytesOf(out) + total);
    out.truncate(total + tagSize);
    return (nonce + out).toBase64();
}

std::optional<QByteArray> CredentialCipher::open(const QByteArray& sealed, const QByteArray& accountId) const
{
    if (auto plain = openWith(m_key, sealed, accountId))
        return plain;
    for (const QByteArray& key : m_olderKeys)
        if (auto plain = openWith(key, sealed, accountId))
            return plain;
    return std::nullopt;
}

std::optional<QByteArray> CredentialCipher::resealed(const QByteArray& sealed,
                                                     const QByteArray& accountId) const
{
    if (openWith(m_key, sealed, accountId))
        return std::nullopt;
    const auto plain = open(sealed, accountId);
    if (!plain)
        return std::nullopt;
    return seal(*plain, accountId);
}

QByteArray CredentialCipher::derivedSecret(const QByteArray& purpose) const
{
    QByteArray secret(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    HMAC(EVP_sha256(), m_key.constData(), int(m_key.size()), bytesOf(purpose), size_t(purpose.size()),
         bytesOf(secret), &length);
    secret.truncate(int(length));
    return secret;
}

} // namespace tessary::server
