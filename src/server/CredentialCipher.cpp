#include "server/CredentialCipher.h"

#include <QFile>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary::server {

namespace {
constexpr int keySize = 32;
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

Expected<CredentialCipher, QString> CredentialCipher::fromKeyFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    // O_EXCL: two starts racing on a fresh folder must not each write their own key.
    const int created = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (created >= 0) {
        const QByteArray key = randomBytes(keySize);
        const bool written = ::write(created, key.constData(), keySize) == keySize;
        ::close(created);
        if (!written)
            return Unexpected{QStringLiteral("Can't write the key file %1").arg(path)};
        return CredentialCipher(key);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Unexpected{QStringLiteral("Can't read the key file %1").arg(path)};
    struct stat info {};
    if (::fstat(file.handle(), &info) == 0 && (info.st_mode & 077) != 0)
        return Unexpected{
            QStringLiteral("The key file %1 is readable by others; make it mode 0600").arg(path)};
    const QByteArray key = file.readAll();
    if (key.size() != keySize)
        return Unexpected{QStringLiteral("The key file %1 is damaged").arg(path)};
    return CredentialCipher(key);
}

CredentialCipher::CredentialCipher(QByteArray key)
    : m_key(std::move(key))
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
    const QByteArray raw = QByteArray::fromBase64(sealed);
    if (raw.size() < nonceSize + tagSize)
        return std::nullopt;
    const QByteArray nonce = raw.left(nonceSize);
    const QByteArray body = raw.mid(nonceSize, raw.size() - nonceSize - tagSize);
    QByteArray tag = raw.right(tagSize);
    QByteArray plain(body.size() + 16, '\0');
    CipherContext context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int length = 0;
    EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, bytesOf(m_key), bytesOf(nonce));
    EVP_DecryptUpdate(context.get(), nullptr, &length, bytesOf(accountId), int(accountId.size()));
    EVP_DecryptUpdate(context.get(), bytesOf(plain), &length, bytesOf(body), int(body.size()));
    const int total = length;
    EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, tagSize, bytesOf(tag));
    if (EVP_DecryptFinal_ex(context.get(), bytesOf(plain) + total, &length) != 1)
        return std::nullopt;
    plain.truncate(total + length);
    return plain;
}

} // namespace tessary::server
