#include "server/CredentialKeys.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary::server {

namespace {

struct KeyFile {
    enum class State { absent, read, unusable } state = State::absent;
    QByteArray key;
    QString problem;
};

KeyFile readKeyFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {KeyFile::State::unusable, {}, QStringLiteral("Can't read the key file %1").arg(path)};
    struct stat info {};
    if (::fstat(file.handle(), &info) == 0 && (info.st_mode & 077) != 0)
        return {KeyFile::State::unusable,
                {},
                QStringLiteral("The key file %1 is readable by others; make it mode 0600").arg(path)};
    const QByteArray key = file.readAll();
    if (key.size() != CredentialCipher::keySize)
        return {KeyFile::State::unusable, {}, QStringLiteral("The key file %1 is damaged").arg(path)};
    return {KeyFile::State::read, key, {}};
}

bool writeKeyFile(const QString& path, const QByteArray& key)
{
    const QByteArray name = QFile::encodeName(path);
    const int created = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (created < 0)
        return false;
    const bool written = ::write(created, key.constData(), size_t(key.size())) == key.size();
    const bool synced = ::fsync(created) == 0;
    ::close(created);
    if (!written || !synced)
        QFile::remove(path);
    return written && synced;
}

// Held for the whole decision, so a second process on the same folder (the app and
// tessary-inspect) waits and then finds the key the first one settled on.
class FolderLock {
public:
    explicit FolderLock(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX);
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd;
};

// Seals again under the current key whatever an older key sealed; true when nothing is left
// that only an older key opens.
bool resealAll(Storage& storage, const CredentialCipher& cipher)
{
    bool all = true;
    for (const auto& [accountId, sealed] : storage.credentials())
        if (const auto again = cipher.resealed(sealed, accountId.toUtf8()))
            all = storage.updateCredential(accountId, *again) && all;
    return all;
}

// A key that opens every stored credential may stand in for a keyring's that is not given now.
bool opensEvery(Storage& storage, const CredentialCipher& cipher)
{
    const auto stored = storage.credentials();
    return std::all_of(stored.begin(), stored.end(), [&cipher](const auto& credential) {
        return cipher.open(credential.second, credential.first.toUtf8()).has_value();
    });
}

// The keyring took `key` if it gives the same key back: only then may the file go.
bool keptInKeyring(KeyVault& keyring, const QString& dataDir, const QByteArray& key)
{
    if (!keyring.store(dataDir, key))
        return false;
    const KeyVault::Lookup again = keyring.load(dataDir);
    return again.answer == KeyVault::Answer::found && again.key == key;
}

} // namespace

Expected<CredentialCipher, KeyProblem> openCredentialKeys(const QString& dataDir, KeyVault* keyring,
                                                          Storage& storage)
{
    const QDir folder(dataDir);
    const FolderLock lock(folder.filePath(QStringLiteral("credentials.lock")));
    const QString path = folder.filePath(QStringLiteral("credentials.key"));
    const KeyFile file = readKeyFile(path);
    if (file.state == KeyFile::State::unusable)
        return Unexpected{KeyProblem{file.problem}};
    const bool inFile = file.state == KeyFile::State::read;

    KeyVault::Lookup kept = keyring ? keyring->load(dataDir) : KeyVault::Lookup{};
    if (kept.answer == KeyVault::Answer::found && kept.key.size() != CredentialCipher::keySize)
        kept.answer = KeyVault::Answer::unavailable; // not ours to overwrite, not usable either

    if (kept.answer == KeyVault::Answer::found) {
        if (!inFile || file.key == kept.key) {
            if (inFile)
                QFile::remove(path);
            return CredentialCipher(kept.key);
        }
        // The file's key sealed credentials while the keyring could not be reached.
        CredentialCipher cipher(kept.key, {file.key});
        if (resealAll(storage, cipher))
            QFile::remove(path);
        return cipher;
    }

    const QByteArray key = inFile ? file.key : randomBytes(CredentialCipher::keySize);
    const bool withheld = kept.answer == KeyVault::Answer::locked || kept.answer == KeyVault::Answer::silent;
    if (withheld && !opensEvery(storage, CredentialCipher(key)))
        return Unexpected{KeyProblem{
            kept.answer == KeyVault::Answer::locked
                ? QStringLiteral("The keyring is locked; unlock it to reach your inboxes")
                : QStringLiteral("The keyring has not answered yet; your inboxes appear once it does"),
            true}};
    if (kept.answer == KeyVault::Answer::absent && keptInKeyring(*keyring, dataDir, key)) {
        if (inFile)
            QFile::remove(path);
        return CredentialCipher(key);
    }
    if (!inFile && !writeKeyFile(path, key))
        return Unexpected{KeyProblem{QStringLiteral("Can't write the key file %1").arg(path)}};
    return CredentialCipher(key);
}

Expected<CredentialCipher, QString> openSharedCredentialKey(const QString& keyFile, const QByteArray& key,
                                                            Storage& storage)
{
    QByteArray shared = key;
    if (!keyFile.isEmpty()) {
        const KeyFile file = readKeyFile(keyFile);
        if (file.state != KeyFile::State::read)
            return Unexpected{file.state == KeyFile::State::absent
                                  ? QStringLiteral("The key file %1 does not exist").arg(keyFile)
                                  : file.problem};
        shared = file.key;
    }
    if (shared.isEmpty())
        return Unexpected{QStringLiteral("A shared database needs the key every instance seals with: give "
                                         "--key-file FILE or set TESSARY_CREDENTIAL_KEY")};
    if (shared.size() != CredentialCipher::keySize)
        return Unexpected{
            QStringLiteral("The credential key must be %1 bytes").arg(CredentialCipher::keySize)};
    CredentialCipher cipher(shared);
    const auto stored = storage.credentials();
    const bool opensAny = std::any_of(stored.begin(), stored.end(), [&cipher](const auto& credential) {
        return cipher.open(credential.second, credential.first.toUtf8()).has_value();
    });
    if (!stored.isEmpty() && !opensAny)
        return Unexpected{
            QStringLiteral("The credential key opens none of the inboxes in the database: every "
                           "instance needs the key they were sealed with")};
    return cipher;
}

} // namespace tessary::server
