#include "app/FormerIdMove.h"
#include "backend/Backend.h"
#include "backend/FileSecretStore.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeSettingsStore.h"
#include "platform/freedesktop/XdgAutostart.h"
#include "state/QSettingsStore.h"
#include "support/RunTask.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tessary::test {
namespace {

const QString former = QStringLiteral("com.tessary.mac");
const QString current = QStringLiteral("com.tessary.Tessary");
const QString token = Backend::installTokenKey;

// A home as the former id left it: settings, an autostart entry that is on, and a token file.
class FormerHome : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const QString& folder : {move.settingsFolder, move.autostartFolder, move.tokenFolder})
            QDir().mkpath(folder);
        QSettingsStore(move.settingsFolder + "/" + former + ".conf")
            .setValue("backendURL", "https://b.example");
        ASSERT_TRUE(XdgAutostart(former, {"/usr/bin/tessary"}, move.autostartFolder).setEnabledNow(true));
        ASSERT_TRUE(FileSecretStore(move.tokenFolder, former).write(token, "former token"));
    }

    QTemporaryDir home;
    FormerIdMove move{former,
                      current,
                      home.filePath("config/tessary"),
                      home.filePath("config/autostart"),
                      home.filePath("data/tessary"),
                      {"/opt/tessary/tessary"}};
};

TEST_F(FormerHome, EveryFileMovesOnceAndTheEntryStaysOn)
{
    move.moveFiles();
    const QSettingsStore settings(move.settingsFolder + "/" + current + ".conf");
    EXPECT_EQ(settings.value("backendURL"), "https://b.example");
    EXPECT_TRUE(settings.contains("formerKeyringToken")); // the keyring's copy is still to move
    EXPECT_FALSE(QFile::exists(move.settingsFolder + "/" + former + ".conf"));

    const XdgAutostart entry(current, {"/opt/tessary/tessary"}, move.autostartFolder);
    EXPECT_TRUE(entry.isEnabled());
    EXPECT_TRUE(entry.entry().contains("Exec=/opt/tessary/tessary"));
    EXPECT_FALSE(QFile::exists(XdgAutostart(former, {}, move.autostartFolder).filePath()));

    EXPECT_EQ(FileSecretStore(move.tokenFolder, current).read(token), "former token");
    EXPECT_EQ(FileSecretStore(move.tokenFolder, former).read(token), std::nullopt);

    // Files that turn up under the former id later do not replace the current ones.
    QSettingsStore(move.settingsFolder + "/" + former + ".conf")
        .setValue("backendURL", "https://old.example");
    move.moveFiles();
    EXPECT_EQ(QSettingsStore(move.settingsFolder + "/" + current + ".conf").value("backendURL"),
              "https://b.example");
}

TEST_F(FormerHome, AnEntryThatWasOffIsNotTurnedOn)
{
    QFile hidden(XdgAutostart(former, {}, move.autostartFolder).filePath());
    ASSERT_TRUE(hidden.open(QIODevice::WriteOnly));
    hidden.write("[Desktop Entry]\nType=Application\nName=Tessary\nExec=tessary\nHidden=true\n");
    hidden.close();
    move.moveFiles();
    EXPECT_FALSE(XdgAutostart(current, {}, move.autostartFolder).isEnabled());
    EXPECT_FALSE(hidden.exists());
}

TEST(FormerKeyringToken, MovesUnlessANewerOneIsKeptAndWaitsForALockedKeyring)
{
    struct Row {
        const char* rule;
        QString former;              // the former keyring "answers", is "gone", "locked" or "silent"
        std::optional<QString> kept; // already in the current secrets (from the token file)
        QString expected;
        bool formerItemLeft;
        bool stillToMove;
    };
    const QList<Row> rows = {
        {"moved", "answers", std::nullopt, "former token", false, false},
        {"the token file's is newer", "answers", QString("file token"), "file token", false, false},
        {"former keyring gone", "gone", std::nullopt, QString(), true, true},
        {"former keyring locked", "locked", std::nullopt, QString(), true, true},
        {"former keyring not answering yet", "silent", std::nullopt, QString(), true, true},
    };
    for (const Row& row : rows) {
        FakeSettingsStore settings;
        settings.setValue("formerKeyringToken", true);
        FakeSecretStore formerKeyring;
        formerKeyring.values.insert(token, "former token");
        formerKeyring.available = row.former != "gone";
        formerKeyring.locked = row.former == "locked";
        formerKeyring.silent = row.former == "silent";
        FakeSecretStore secrets;
        if (row.kept)
            secrets.values.insert(token, *row.kept);
        runTask(moveKeyringToken(settings, formerKeyring, secrets));
        EXPECT_EQ(secrets.values.value(token), row.expected) << row.rule;
        EXPECT_EQ(formerKeyring.values.contains(token), row.formerItemLeft) << row.rule;
        EXPECT_EQ(settings.contains("formerKeyringToken"), row.stillToMove) << row.rule;
    }
}

} // namespace
} // namespace tessary::test
