#include "state/AppStateTestSupport.h"

#include "fakes/FakeHotKey.h"

#include <QSignalSpy>
#include <QVariantMap>

using namespace tessary;
using namespace std::chrono_literals;
using tessary::test::AppStateTest;
using tessary::test::FakeHotKey;

namespace {

const Shortcut commandK{40, modifier::command, "K"};
const Shortcut controlOptionK{40, modifier::control | modifier::option, "K"};
const Shortcut commandOptionK{40, modifier::command | modifier::option, "K"};

QVariantMap storedRecord(const Shortcut& shortcut)
{
    return {{"keyCode", shortcut.keyCode}, {"modifiers", shortcut.modifiers}, {"key", shortcut.key}};
}

} // namespace

using FillingOptions = AppStateTest;

TEST_F(FillingOptions, DefaultsWhenAbsentOrNotBooleanAndAssignmentsAreStored)
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
}

using ShortcutChange = AppStateTest;

// An accepted change, or switching off, is registered (when there is a hot key), stored at once
// and clears an earlier error; one the hot key refuses keeps the stored shortcut (loaded at
// creation) and says why, also when the refusal comes late. A late refusal after the change was
// granted only says why.
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

using Pause = AppStateTest;

// Paused only while the moment lies ahead; the poller ends a pause once it has passed.
TEST_F(Pause, ThePollerEndsAnExpiredPause)
{
    AppState& s = make();
    EXPECT_FALSE(s.isPaused());
    s.setPausedUntil(clock.now() + 10);
    // Several polls run while the pause lasts; none ends it.
    QSignalSpy changed(&s, &AppState::pausedUntilChanged);
    QTest::qWait(50);
    EXPECT_TRUE(s.isPaused());
    EXPECT_EQ(changed.count(), 0);

    clock.advance(10s);
    EXPECT_FALSE(s.isPaused()); // at the very moment, before any poll
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s.pausedUntil(); }));
    EXPECT_EQ(changed.count(), 1);
}

using AccessibilityCheck = AppStateTest;

TEST_F(AccessibilityCheck, OneCheckAtATimeAnnouncingOnlyChangesAndNoneBlocks)
{
    accessibility->trusted = false;
    accessibility->trustAnswers = false;
    AppState& s = make();
    QSignalSpy changed(&s, &AppState::accessibilityChanged);
    s.setPausedUntil(clock.now() + 1);

    // The polls go on (they end the pause) while the one check asked waits for its answer.
    clock.advance(2s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !s.pausedUntil(); }));
    QTest::qWait(30);
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

using DeleteAfterUse = AppStateTest;

TEST_F(DeleteAfterUse, TrashesOnlyWhenEnabledAndGivenAnId)
{
    AppState& s = make();
    backend.trashScript.replies = {Done{}};
    s.deleteIfEnabled(QStringLiteral("m1"));
    s.setDeleteAfterUse(true);
    s.deleteIfEnabled(std::nullopt);
    s.deleteIfEnabled(QStringLiteral("m2"));
    EXPECT_EQ(backend.trashed, QStringList{"m2"});
}
