#include "state/AppStateTestSupport.h"

#include "fakes/FakeHotKey.h"
#include "state/QSettingsStore.h"
#include "state/SettingValues.h"
#include "state/ShortcutSetting.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QVariantMap>

#include <tuple>

using namespace tessary;
using namespace std::chrono_literals;
using tessary::test::AppStateTest;
using tessary::test::FakeHotKey;
using tessary::test::FakeSettingsStore;

namespace {

const Shortcut commandK{40, modifier::command, "K"};
const Shortcut controlOptionK{40, modifier::control | modifier::option, "K"};
const Shortcut commandOptionK{40, modifier::command | modifier::option, "K"};

QVariantMap storedRecord(const Shortcut& shortcut)
{
    return {{"keyCode", shortcut.keyCode}, {"modifiers", shortcut.modifiers}, {"key", shortcut.key}};
}

std::optional<Shortcut> loadFrom(const QVariant& stored)
{
    FakeSettingsStore settings;
    settings.values.insert(QStringLiteral("shortcut"), stored);
    return loadShortcut(settings);
}

} // namespace

using FillingOptions = AppStateTest;

TEST_F(FillingOptions, DefaultsWhenAbsentOrNotBooleanAssignmentsAreStoredAndUsedMailIsTrashed)
{
    settings.values.insert("autoFillOnMatch", "maybe");
    settings.values.insert("deleteAfterUse", 1); // only Booleans count
    AppState& s = make();
    EXPECT_TRUE(s.autoFillOnMatch());
    EXPECT_FALSE(s.deleteAfterUse());
    s.setAutoFillOnMatch(false);
    s.setDeleteAfterUse(true);
    EXPECT_EQ(settings.values.value("autoFillOnMatch"), QVariant(false));
    EXPECT_EQ(settings.values.value("deleteAfterUse"), QVariant(true));
    EXPECT_FALSE(make().autoFillOnMatch()); // read back at the next start
    EXPECT_TRUE(state->deleteAfterUse());

    // Used mail is trashed only when enabled and given an id.
    backend.trashScript.replies = {Done{}};
    state->deleteIfEnabled(std::nullopt);
    state->deleteIfEnabled(QStringLiteral("m2"));
    state->setDeleteAfterUse(false);
    state->deleteIfEnabled(QStringLiteral("m3"));
    EXPECT_EQ(backend.trashed, QStringList{"m2"});
}

using ShortcutChange = AppStateTest;

// An accepted change or off is registered (when there is a hot key), stored and clears an earlier
// error; a refused one, also late, keeps the stored shortcut and says why.
TEST_F(ShortcutChange, AcceptedChangeOrOffIsRegisteredAndStoredARefusedOneKeepsTheOld)
{
    const QString altSuperKHeld = "Alt+Super+K is already used by another app.";
    const QString ctrlAltKHeld = "Ctrl+Alt+K is already used by another app.";
    const struct {
        const char* name;
        bool withHotKey;
        std::optional<Shortcut> wanted;
        QList<bool> lateAnswers; // granted or not, one after the other
        std::optional<Shortcut> kept;
        std::optional<QString> error;
        std::optional<Shortcut> registered;
        int changes;
    } rows[] = {
        {"a new shortcut", true, controlOptionK, {}, controlOptionK, std::nullopt, controlOptionK, 1},
        {"off", true, std::nullopt, {}, std::nullopt, std::nullopt, std::nullopt, 1},
        {"without a hot key", false, controlOptionK, {}, controlOptionK, std::nullopt, std::nullopt, 1},
        {"held by another app", true, commandOptionK, {}, commandK, altSuperKHeld, commandK, 0},
        {"refused late", true, controlOptionK, {false}, commandK, ctrlAltKHeld, commandK, 2},
        {"later refusal", true, controlOptionK, {true, false}, controlOptionK, ctrlAltKHeld, std::nullopt, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        settings.values = {{"shortcut", storedRecord(commandK)}};
        AppState& s = make();
        FakeHotKey hotKey;
        hotKey.heldByOthers.append(commandOptionK);
        if (row.withHotKey) {
            s.setRegisterShortcut(
                [&](const std::optional<Shortcut>& wanted) { return hotKey.claim(wanted); });
            hotKey.setAnswerHandler(
                [&](const std::optional<QString>& refusal) { s.shortcutAnswered(refusal); });
            hotKey.registerShortcut(s.shortcut());
        }
        s.setShortcutError(QStringLiteral("Include Ctrl, Alt or Super."));
        QSignalSpy changed(&s, &AppState::shortcutChanged);
        s.setShortcut(row.wanted);
        for (const bool granted : row.lateAnswers)
            hotKey.answer(granted);
        EXPECT_EQ(s.shortcutError(), row.error);
        EXPECT_EQ(s.shortcut(), row.kept);
        EXPECT_EQ(hotKey.registered, row.registered);
        EXPECT_EQ(settings.values.value("shortcut").toMap(),
                  row.kept ? storedRecord(*row.kept) : QVariantMap({{"off", true}}));
        EXPECT_EQ(changed.count(), row.changes);
    }
}

using Polls = AppStateTest;

// Paused only while the moment lies ahead: the polls end a pause once it has passed, and go on while
// the one accessibility check asked waits for its answer.
TEST_F(Polls, EndAnExpiredPauseAndCheckAccessibilityOneAtATimeAnnouncingOnlyChangesNoneBlocking)
{
    accessibility->trusted = false;
    accessibility->trustAnswers = false;
    AppState& s = make();
    EXPECT_FALSE(s.isPaused());
    s.setPausedUntil(clock.now() + 10);
    QSignalSpy paused(&s, &AppState::pausedUntilChanged);
    QSignalSpy changed(&s, &AppState::accessibilityChanged);
    QTest::qWait(50); // several polls run while the pause lasts; none ends it
    EXPECT_TRUE(s.isPaused());
    EXPECT_EQ(paused.count(), 0);
    clock.advance(10s);
    EXPECT_FALSE(s.isPaused()); // at the very moment, before any poll
    ASSERT_TRUE(QTest::qWaitFor([&] { return !s.pausedUntil(); }));
    EXPECT_EQ(paused.count(), 1);
    ASSERT_EQ(accessibility->pendingTrustChecks.size(), 1);

    accessibility->pendingTrustChecks.takeFirst()(true);
    EXPECT_TRUE(s.accessibility());
    // Answered, the next poll asks again; the same answer is no news.
    ASSERT_TRUE(QTest::qWaitFor([&] { return accessibility->pendingTrustChecks.size() == 1; }));
    accessibility->pendingTrustChecks.takeFirst()(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return accessibility->pendingTrustChecks.size() == 1; }));
    EXPECT_EQ(changed.count(), 1);

    // An answer that arrives after the state is gone reaches nothing.
    inbox.reset();
    state.reset();
    accessibility->pendingTrustChecks.takeFirst()(false);
}

using InboxPresence = AppStateTest;

TEST_F(InboxPresence, ARememberedAddressOrAnActiveAccountCountsAndTheSummaryNamesOneOrCountsThem)
{
    EXPECT_FALSE(make().hasInbox());
    settings.values.insert("email", "me@example.com");
    EXPECT_TRUE(state->hasInbox());
    EXPECT_EQ(state->inboxSummary(), QStringLiteral("me@example.com")); // the list not yet fetched
    settings.values.remove("email");
    state->setAccounts({account("a1", "pending", "a@example.com")});
    EXPECT_FALSE(state->hasInbox());
    state->setAccounts({account("a1", "pending"), account("a2", "active")});
    EXPECT_TRUE(state->hasInbox());

    // The summary names the one active inbox and counts several.
    AppState& s = make();
    s.setAccounts({account("a1", "active", "a@example.com"), account("a2", "active", "b@example.com")});
    EXPECT_EQ(s.inboxSummary(), QStringLiteral("2 inboxes"));
    s.setAccounts({account("a1", "error", "a@example.com"), account("a2", "active", std::nullopt, "imap")});
    EXPECT_EQ(s.inboxSummary(), QStringLiteral("IMAP"));
    s.setAccounts({account("a1", "pending", "a@example.com")});
    EXPECT_EQ(s.inboxSummary(), QStringLiteral("0 inboxes"));
    s.setAccounts({account("a1", "active", QString(), "fastmail")}); // a provider without a display name
    EXPECT_EQ(s.inboxSummary(), QStringLiteral("fastmail"));
}

using LaunchAtLogin = AppStateTest;

// The first start turns opening at login on, once: never again after the user turned it off, and
// not at all when it is on already (noted as done all the same) or in a developer build.
TEST_F(LaunchAtLogin, DefaultTurnsItOnOnceAndNeverAgain)
{
    make().applyLaunchAtLoginDefault();
    EXPECT_TRUE(loginItem.enabled);
    EXPECT_TRUE(state->launchAtLogin());
    EXPECT_EQ(settings.values.value("launchAtLoginDefaultApplied"), QVariant(true));
    state->setLaunchAtLogin(false);
    make().applyLaunchAtLoginDefault(); // the next start of the app
    EXPECT_FALSE(loginItem.enabled);
    EXPECT_FALSE(state->launchAtLogin());
    EXPECT_EQ(loginItem.changes, 2);

    loginItem.enabled = true;
    settings.values.clear();
    make().applyLaunchAtLoginDefault();
    EXPECT_EQ(loginItem.changes, 2);
    EXPECT_EQ(settings.values.value("launchAtLoginDefaultApplied"), QVariant(true));

    loginItem.enabled = false;
    settings.values.clear();
    make(/*developerBuild=*/true).applyLaunchAtLoginDefault();
    EXPECT_FALSE(loginItem.enabled);
    EXPECT_FALSE(settings.values.contains("launchAtLoginDefaultApplied"));
}

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
