#include "server/CredentialKeys.h"
#include "server/SecretServiceKeyVault.h"
#include "server/SqliteStorage.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessary::server;

namespace {

// A Secret Service that takes every call and never answers, as a stuck keyring daemon does.
class SilentSecretService : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
};

} // namespace

// Beside a real, unlocked GNOME Keyring (tests/backend/with-keyring): a key file left by an
// earlier version moves into the keyring, and what it sealed still opens.
TEST(KeyringVault, TheKeyFileMovesIntoTheKeyring)
{
    QTemporaryDir dir;
    auto storage = SqliteStorage::open(dir.filePath("db.sqlite")).value();
    const QString install = storage->createInstall("hash").value();
    const auto before = openCredentialKeys(dir.path(), nullptr, *storage);
    ASSERT_TRUE(before && QFile::exists(dir.filePath("credentials.key")));
    ASSERT_TRUE(storage->addAccount({"a1", install, "imap", "a@b", "h", "active"}, before->seal("pw", "a1")));

    SecretServiceKeyVault keyring;
    ASSERT_TRUE(openCredentialKeys(dir.path(), &keyring, *storage));
    EXPECT_FALSE(QFile::exists(dir.filePath("credentials.key")));
    const KeyVault::Lookup kept = SecretServiceKeyVault().load(dir.path());
    ASSERT_EQ(kept.answer, KeyVault::Answer::found);
    EXPECT_EQ(CredentialCipher(kept.key).open(storage->credential("a1").value(), "a1"), "pw");
}

// On a private bus where this test owns the Secret Service's name and never answers: once the
// keyring's time is up, the start goes on with the key file while that opens every inbox, and
// otherwise waits for the key the keyring holds.
TEST(KeyringVaultStuck, ASilentKeyringIsWaitedForOnlyWhenItHoldsTheKey)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    SilentSecretService silent;
    ASSERT_TRUE(bus.registerVirtualObject("/", &silent, QDBusConnection::SubPath));
    ASSERT_TRUE(bus.registerService("org.freedesktop.secrets"));
    QTemporaryDir dir;
    auto storage = SqliteStorage::open(dir.filePath("db.sqlite")).value();
    SecretServiceKeyVault keyring(std::chrono::milliseconds(300));
    EXPECT_TRUE(openCredentialKeys(dir.path(), &keyring, *storage));
    EXPECT_TRUE(QFile::exists(dir.filePath("credentials.key")));

    const QString install = storage->createInstall("hash").value();
    const CredentialCipher keyringKey(randomBytes(CredentialCipher::keySize));
    ASSERT_TRUE(
        storage->addAccount({"a1", install, "imap", "a@b", "h", "active"}, keyringKey.seal("pw", "a1")));
    const auto waiting = openCredentialKeys(dir.path(), &keyring, *storage);
    ASSERT_FALSE(waiting);
    EXPECT_TRUE(waiting.error().passing);
    bus.unregisterService("org.freedesktop.secrets");
    bus.unregisterObject("/", QDBusConnection::UnregisterTree);
}
