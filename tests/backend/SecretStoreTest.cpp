#include "backend/FallbackSecretStore.h"
#include "backend/FileSecretStore.h"
#include "fakes/FakeSecretStore.h"
#include "support/RunTask.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessary;
using namespace tessary::test;

namespace {

constexpr auto ownerReadWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QFileDevice::Permissions permissionBits(const QString& path)
{
    // Qt mirrors the owner bits into the "User" ones; compare only the owner/group/other bits.
    return QFileInfo(path).permissions() &
           ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

} // namespace

TEST(TokenFile, IsKeptOwnerOnlyInAnOwnerOnlyFolderAndNotTrustedOnceOthersCanReadIt)
{
    QTemporaryDir home;
    const QString folder = home.filePath("share/tessary");
    FileSecretStore store(folder, "com.tessary.mac");
    ASSERT_TRUE(runTask(store.keychainSet("installToken", "secret-1")));

    const QString file = store.filePath("installToken");
    EXPECT_EQ(file, folder + "/com.tessary.mac.installToken");
    EXPECT_EQ(permissionBits(file), ownerReadWrite);
    EXPECT_EQ(permissionBits(folder), ownerReadWrite | QFileDevice::ExeOwner);
    EXPECT_EQ(runTask(store.keychainGet("installToken")), "secret-1");

    // A file others can read is not trusted, and the next value replaces it owner-only.
    QFile::setPermissions(file, ownerReadWrite | QFileDevice::ReadOther);
    EXPECT_EQ(runTask(store.keychainGet("installToken")), std::nullopt);
    ASSERT_TRUE(runTask(store.keychainSet("installToken", "fresh")));
    EXPECT_EQ(permissionBits(file), ownerReadWrite);
    EXPECT_EQ(runTask(store.keychainGet("installToken")), "fresh");
    EXPECT_FALSE(QFile::exists(file + ".new"));

    runTask(store.keychainDelete("installToken"));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(runTask(store.keychainGet("installToken")), std::nullopt);
}

TEST(TokenFile, AnUnwritableFolderReportsTheValueAsNotKept)
{
    QTemporaryDir home;
    QFile blocker(home.filePath("tessary"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    FileSecretStore store(home.filePath("tessary"), "app");
    EXPECT_FALSE(runTask(store.keychainSet("installToken", "x")));
}

class SecretFallback : public ::testing::Test {
protected:
    QTemporaryDir home;
    FakeSecretStore keyring;
    FileSecretStore file{home.path(), "app"};
    FallbackSecretStore store{keyring, file};
};

TEST_F(SecretFallback, TheKeyringIsUsedWhenItTakesTheValue)
{
    ASSERT_TRUE(runTask(file.keychainSet("installToken", "stale")));
    ASSERT_TRUE(runTask(store.keychainSet("installToken", "t1")));
    EXPECT_EQ(keyring.values.value("installToken"), "t1");
    EXPECT_FALSE(QFile::exists(file.filePath("installToken"))); // no stale copy stays on disk
    EXPECT_EQ(runTask(store.keychainGet("installToken")), "t1");
    EXPECT_EQ(runTask(store.holder("installToken")), &keyring);
}

// A keyring locked at login does not answer, so a token registered meanwhile goes to the file. Once
// unlocked, the keyring's own token, under which the inboxes were connected, is the one read, and
// after a 401 ends it the file's comes next; one the keyring lacks moves into it.
TEST_F(SecretFallback, ATokenKeptInTheFileWhileTheKeyringWasLockedNeverReplacesTheKeyrings)
{
    keyring.values.insert("installToken", "older");
    keyring.available = false;
    ASSERT_TRUE(runTask(store.keychainSet("installToken", "newer")));
    EXPECT_EQ(runTask(store.keychainGet("installToken")), "newer");

    keyring.available = true;
    EXPECT_EQ(runTask(store.keychainGet("installToken")), "older");
    EXPECT_EQ(runTask(store.holder("installToken")), &keyring);
    runTask(store.keychainDelete("installToken"));
    EXPECT_EQ(runTask(store.keychainGet("installToken")), "newer");
    EXPECT_EQ(keyring.values.value("installToken"), "newer");
    EXPECT_FALSE(QFile::exists(file.filePath("installToken")));
}

// A locked keyring refuses writes and reads as "not found"; an unavailable one is not asked again.
// Either way the file keeps the value, and a delete leaves nothing anywhere.
TEST_F(SecretFallback, ALockedOrUnavailableKeyringFallsBackToTheFile)
{
    for (const bool locked : {true, false}) {
        SCOPED_TRACE(locked ? "locked" : "unavailable");
        keyring.refuseWrites = locked;
        keyring.available = locked;
        const int asked = keyring.calls;
        ASSERT_TRUE(runTask(store.keychainSet("installToken", "t2")));
        EXPECT_TRUE(keyring.values.isEmpty());
        EXPECT_EQ(runTask(store.keychainGet("installToken")), "t2");
        EXPECT_EQ(runTask(store.holder("installToken")), &file);
        runTask(store.keychainDelete("installToken"));
        EXPECT_EQ(runTask(store.keychainGet("installToken")), std::nullopt);
        EXPECT_EQ(runTask(store.holder("installToken")), nullptr);
        if (!locked) {
            EXPECT_EQ(keyring.calls, asked);
        }
    }
}
