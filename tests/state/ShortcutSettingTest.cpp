#include "state/ShortcutSetting.h"
#include "fakes/FakeSettingsStore.h"
#include "state/QSettingsStore.h"
#include "state/SettingValues.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QVariantMap>

#include <tuple>

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

} // namespace

TEST(ShortcutLoading, AWellFormedRecordOffOrElseTheDefault)
{
    FakeSettingsStore empty;
    EXPECT_EQ(loadShortcut(empty), Shortcut::defaultShortcut());
    const std::optional<Shortcut> fallback = Shortcut::defaultShortcut();
    const QList<std::tuple<const char*, QVariant, std::optional<Shortcut>>> rows = {
        {"no modifiers", QVariantMap({{"keyCode", 5}}), fallback},
        {"no key", QVariantMap({{"keyCode", 40}, {"modifiers", 256}}), fallback},
        {"key code as text", QVariantMap({{"keyCode", "40"}, {"modifiers", 256}, {"key", "K"}}), fallback},
        {"fractional key code", QVariantMap({{"keyCode", 40.5}, {"modifiers", 256}, {"key", "K"}}), fallback},
        {"displayed form", QStringLiteral("⌘K"), fallback},
        {"off", QVariantMap({{"off", true}}), std::nullopt},
        {"not off", QVariantMap({{"off", false}, {"keyCode", 40}, {"modifiers", 256}, {"key", "K"}}),
         Shortcut{40, 256, "K"}},
        {"off as text", QVariantMap({{"off", "true"}}), fallback},
        {"off as number", QVariantMap({{"off", 1}}), fallback},
        {"negative", QVariantMap({{"keyCode", -1}, {"modifiers", 256}, {"key", "K"}}), fallback},
        {"beyond 32 bits", QVariantMap({{"keyCode", 40}, {"modifiers", qint64(1) << 32}, {"key", "K"}}),
         fallback},
        {"largest", QVariantMap({{"keyCode", qlonglong(4294967295LL)}, {"modifiers", 256}, {"key", "K"}}),
         Shortcut{4294967295LL, 256, "K"}},
    };
    for (const auto& [rule, stored, expected] : rows)
        EXPECT_EQ(loadFrom(stored), expected) << rule;
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
        settings.setValue(QStringLiteral("deleteAfterUse"), true);
        settings.remove(QStringLiteral("deleteAfterUse")); // changes land in the order made
        EXPECT_FALSE(settings.contains(QStringLiteral("deleteAfterUse")));
        // Written while the store lives, not when it goes away.
        QByteArray written;
        for (QDeadlineTimer deadline(10'000);
             !written.contains("autoFillOnMatch=") && !deadline.hasExpired();) {
            QThread::msleep(10);
            QFile file(path);
            written = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }
        EXPECT_TRUE(written.contains("autoFillOnMatch="));
    }
    QSettingsStore reopened(path);
    EXPECT_FALSE(reopened.contains(QStringLiteral("deleteAfterUse")));
    EXPECT_EQ(loadShortcut(reopened), (Shortcut{49, 6144, "Space"}));
    EXPECT_EQ(settingBool(reopened.value(QStringLiteral("autoFillOnMatch"))), false);

    storeShortcut(reopened, std::nullopt);
    EXPECT_EQ(loadShortcut(QSettingsStore(path)), std::nullopt);
}
