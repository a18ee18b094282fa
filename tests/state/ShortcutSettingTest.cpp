#include "state/ShortcutSetting.h"
#include "fakes/FakeSettingsStore.h"
#include "state/QSettingsStore.h"
#include "state/SettingValues.h"

#include <QTemporaryDir>
#include <QVariantMap>

#include <gtest/gtest.h>

using namespace tessary;
using tessary::test::FakeSettingsStore;

namespace {

std::optional<Shortcut> loadFrom(const QVariant& stored)
{
    FakeSettingsStore settings;
    settings.values.insert(QStringLiteral("shortcut"), stored);
    return loadShortcut(settings);
}

QVariantMap record(std::initializer_list<std::pair<QString, QVariant>> fields)
{
    QVariantMap map;
    for (const auto& [key, value] : fields)
        map.insert(key, value);
    return map;
}

} // namespace

TEST(ShortcutLoading, AbsentOrMalformedGivesTheDefault)
{
    FakeSettingsStore empty;
    EXPECT_EQ(loadShortcut(empty), Shortcut::defaultShortcut());
    EXPECT_EQ(loadFrom(record({{"keyCode", 5}})), Shortcut::defaultShortcut());
    EXPECT_EQ(loadFrom(record({{"keyCode", 40}, {"modifiers", 256}})), Shortcut::defaultShortcut());
    EXPECT_EQ(loadFrom(record({{"keyCode", "40"}, {"modifiers", 256}, {"key", "K"}})),
              Shortcut::defaultShortcut());
    EXPECT_EQ(loadFrom(record({{"keyCode", 40.5}, {"modifiers", 256}, {"key", "K"}})),
              Shortcut::defaultShortcut());
    EXPECT_EQ(loadFrom(QStringLiteral("⌘K")), Shortcut::defaultShortcut());
}

TEST(ShortcutLoading, OffOnlyWhenTheBooleanTrue)
{
    EXPECT_EQ(loadFrom(record({{"off", true}})), std::nullopt);
    EXPECT_EQ(loadFrom(record({{"off", false}, {"keyCode", 40}, {"modifiers", 256}, {"key", "K"}})),
              (Shortcut{40, 256, "K"}));
    EXPECT_EQ(loadFrom(record({{"off", "true"}})), Shortcut::defaultShortcut());
    EXPECT_EQ(loadFrom(record({{"off", 1}})), Shortcut::defaultShortcut());
}

TEST(ShortcutLoading, ValuesBeyondUnsigned32AreMalformed)
{
    EXPECT_EQ(loadFrom(record({{"keyCode", -1}, {"modifiers", 256}, {"key", "K"}})),
              Shortcut::defaultShortcut());
    EXPECT_EQ(loadFrom(record({{"keyCode", 40}, {"modifiers", qint64(1) << 32}, {"key", "K"}})),
              Shortcut::defaultShortcut());
    EXPECT_EQ(loadFrom(record({{"keyCode", qlonglong(4294967295LL)}, {"modifiers", 256}, {"key", "K"}})),
              (Shortcut{4294967295LL, 256, "K"}));
}

TEST(ShortcutStoring, RecordOrOff)
{
    FakeSettingsStore settings;
    storeShortcut(settings, Shortcut{40, 6144, "K"});
    const QVariantMap stored = settings.values.value("shortcut").toMap();
    EXPECT_EQ(stored.value("keyCode").toLongLong(), 40);
    EXPECT_EQ(stored.value("modifiers").toLongLong(), 6144);
    EXPECT_EQ(stored.value("key").toString(), QStringLiteral("K"));
    EXPECT_FALSE(stored.contains("off"));

    storeShortcut(settings, std::nullopt);
    EXPECT_EQ(settings.values.value("shortcut").toMap(), record({{"off", true}}));
}

// The real store keeps settings in an INI file, which gives Booleans back as text; what the app
// writes must read back as it was written.
TEST(SettingsFileRoundTrip, ShortcutsAndBooleansSurviveTheFile)
{
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString path = directory.filePath(QStringLiteral("settings.conf"));
    {
        QSettingsStore settings(path);
        storeShortcut(settings, Shortcut{49, 6144, "Space"});
        settings.setValue(QStringLiteral("autoFillOnMatch"), false);
    }
    QSettingsStore reopened(path);
    EXPECT_EQ(loadShortcut(reopened), (Shortcut{49, 6144, "Space"}));
    EXPECT_EQ(settingBool(reopened.value(QStringLiteral("autoFillOnMatch"))), false);

    storeShortcut(reopened, std::nullopt);
    EXPECT_EQ(loadShortcut(QSettingsStore(path)), std::nullopt);
}

TEST(SettingBool, OnlyBooleansCount)
{
    EXPECT_EQ(settingBool(true), true);
    EXPECT_EQ(settingBool(QStringLiteral("false")), false);
    EXPECT_EQ(settingBool(QStringLiteral("yes")), std::nullopt);
    EXPECT_EQ(settingBool(1), std::nullopt);
    EXPECT_EQ(settingBool(QVariant()), std::nullopt);
}
