#include "server/CredentialKeys.h"
#include "server/SecretServiceKeyVault.h"
#include "server/SqliteStorage.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessary::server;

namespace {

struct Folder {
    QTemporaryDir dir;
    std::unique_ptr<SqliteStorage> storage = SqliteStorage::open(dir.filePath("db.sqlite")).value();
    QString keyFile() const { return QDir(dir.path()).filePath("credentials.key"); }
};

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
    Folder folder;
    const QString install = folder.storage->createInstall("hash").value();
    const auto before = openCredentialKeys(folder.dir.path(), nullptr, *folder.storage);
    ASSERT_TRUE(before);
    ASSERT_TRUE(folder.storage->addAccount({"a1", install, "imap", "a@b", "h", "active"},
                                           before->seal("app password", "a1")));
    ASSERT_TRUE(QFile::exists(folder.keyFile()));

    SecretServiceKeyVault keyring;
    const auto after = openCredentialKeys(folder.dir.path(), &keyring, *folder.storage);
    ASSERT_TRUE(after) << after.error().toStdString();
    EXPECT_FALSE(QFile::exists(folder.keyFile()));
    const KeyVault::Lookup kept = SecretServiceKeyVault().load(folder.dir.path());
    ASSERT_EQ(kept.answer, KeyVault::Answer::found);
    EXPECT_EQ(CredentialCipher(kept.key).open(folder.storage->credential("a1").value(), "a1"),
              "app password");
}

// On a private bus where this test owns the Secret Service's name and never answers: the start
// goes on with the key file once the keyring's time is up.
TEST(KeyringVaultStuck, ASilentKeyringLeavesTheFileInCharge)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected());
    SilentSecretService silent;
    ASSERT_TRUE(bus.registerVirtualObject("/", &silent, QDBusConnection::SubPath));
    ASSERT_TRUE(bus.registerService("org.freedesktop.secrets"));

    Folder folder;
    SecretServiceKeyVault keyring(std::chrono::milliseconds(300));
    EXPECT_EQ(keyring.load(folder.dir.path()).answer, KeyVault::Answer::unavailable);
    const auto cipher = openCredentialKeys(folder.dir.path(), &keyring, *folder.storage);
    ASSERT_TRUE(cipher) << cipher.error().toStdString();
    EXPECT_TRUE(QFile::exists(folder.keyFile()));
    bus.unregisterService("org.freedesktop.secrets");
    bus.unregisterObject("/", QDBusConnection::UnregisterTree);
}
