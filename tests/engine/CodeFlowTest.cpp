#include "engine/ControllerFixture.h"

namespace tessary::test {
namespace {

QStringList burstLines; // what the burst log said while a test listened

using CodeBurst = ControllerTest;

// Typed at once though the focus could not be read while the mail was fetched; the mail is trashed.
TEST_F(CodeBurst, AMatchingCodeOnTheFirstFetchIsTypedAtOnceAndTheChipShowsFilled)
{
    state->setDeleteAfterUse(true);
    backend.messagesScript.replies = {QList<Message>{mail("m1", "482913", "example.com")}};
    backend.messagesScript.onCall = [&](int) { accessibility->setFocus(std::nullopt); };
    focusAndTick("code");
    accessibility->setFocus(at("code"));
    clock.advance(1s); // the typing waits
    EXPECT_EQ(keyboard.typed(), "482913");
    EXPECT_EQ(clipboard.texts, QStringList{"482913"});
    EXPECT_TRUE(chipAs<ChipModel::Filled>());
    EXPECT_EQ(state->recent().first().code, "482913");
    EXPECT_EQ(backend.trashed, QStringList{"m1"});
    clock.advance(900ms);
    EXPECT_FALSE(chip.visible);
}

// A character the layout lacks (known before typing: no key pressed) or that reached no application
// (known after): the code stays on the clipboard and the chip says to paste it.
TEST_F(CodeBurst, AnUntypableCharacterEndsInAdviceToPaste)
{
    for (const bool lacking : {true, false}) {
        SCOPED_TRACE(lacking ? "the layout lacks it" : "it reached no application");
        EngineHarness h;
        h.make();
        lacking ? h.keyboard.lack("9") : void(h.keyboard.untyped = "9");
        h.backend.messagesScript.replies = {QList<Message>{h.mail("m1", "482913", "example.com")}};
        h.focusAndTick("code");
        h.clock.advance(1s);
        EXPECT_EQ(h.clipboard.texts, QStringList{"482913"});
        const auto* failed = h.chipAs<ChipModel::Failed>();
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->message, QStringLiteral("Can't type \u201c9\u201d: paste with Ctrl+V"));
        EXPECT_EQ(h.keyboard.typed(), lacking ? "" : "482913");
    }
}

TEST_F(CodeBurst, NewMailIsNoticedByItsIdAndAskedForOnceASecondAtMostAndLoggedWithItsInbox)
{
    state->setAccounts({Account{"g1", "gmail", {}, "active"}, Account{"i1", "imap", {}, "active"}});
    const QtMessageHandler before =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& text) {
            if (QLatin1String(context.category) == QLatin1String(TESSARY_APP_ID ".burst"))
                burstLines.append(text);
        });
    Inbox inbox(backend);
    focusAndTick("code");
    clock.advance(10s);
    EXPECT_EQ(backend.messageIdsScript.calls, 12) << "twice at the start, then once a second";
    EXPECT_TRUE(chipAs<ChipModel::Searching>());
    inbox.messages.append(mail("i1.7.2", "551903", "other.org", 0));
    clock.advance(10s);
    qInstallMessageHandler(before);
    ASSERT_TRUE(chipAs<ChipModel::Found>());
    EXPECT_EQ(chipAs<ChipModel::Found>()->code.code, "551903");
    EXPECT_EQ(backend.messagesScript.calls, 2);
    ASSERT_EQ(burstLines.size(), 1);
    EXPECT_TRUE(burstLines[0].startsWith("found 551903: in IMAP→noticed ")) << burstLines[0];
}

TEST_F(CodeBurst, AfterTheSitesCodeWasTypedACodeFromAnotherSenderIsStillOffered)
{
    for (const bool arrivesWhilePolling : {false, true}) {
        SCOPED_TRACE(arrivesWhilePolling ? "arrives while polling" : "there at the first fetch");
        EngineHarness h;
        h.make();
        Inbox inbox(h.backend);
        inbox.messages = {h.mail("m1", "482913", "example.com")};
        h.focusAndTick("code");
        h.clock.advance(5s);
        ASSERT_EQ(h.keyboard.typed(), "482913");

        if (!arrivesWhilePolling)
            inbox.messages.append(h.mail("m2", "551903", "other.org", 0));
        h.focusAndTick("search");
        h.focusAndTick("code");
        h.clock.advance(2s);
        if (arrivesWhilePolling) {
            inbox.messages.append(h.mail("m2", "551903", "other.org", 0));
            h.clock.advance(2s);
        }
        ASSERT_TRUE(h.chipAs<ChipModel::Found>());
        EXPECT_EQ(h.chipAs<ChipModel::Found>()->code.code, "551903");
        h.clock.advance(90s);
        EXPECT_TRUE(h.chipAs<ChipModel::Found>()) << "the offer outlasts the burst's end";
    }
}

TEST_F(CodeBurst, TheSitesOwnCodeArrivingAfterAnotherSendersReplacesItsOffer)
{
    const struct {
        const char *name, *focusWhenItArrives, *typed, *chipShows;
    } rows[] = {{"the field keeps the focus", "code", "222333", "filled"},
                {"the focus is in our own window", "own", "", "found"}};
    for (const auto& c : rows) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        h.make();
        Inbox inbox(h.backend);
        inbox.messages = {h.mail("m1", "111999", "other.org")};
        h.focusAndTick("code");
        ASSERT_EQ(h.chipAs<ChipModel::Found>()->code.code, "111999");
        h.clock.advance(3s);
        h.focusAndTick(c.focusWhenItArrives);
        inbox.messages.append(h.mail("m2", "222333", "example.com", 0));
        h.clock.advance(3s);
        EXPECT_EQ(h.keyboard.typed(), c.typed);
        EXPECT_EQ(stateName(h.chipState()), c.chipShows);
        EXPECT_EQ(h.state->recent().first().code, "222333");
        const int polls = h.backend.messageIdsScript.calls;
        h.clock.advance(5s);
        EXPECT_EQ(h.backend.messageIdsScript.calls, polls) << "the site's code ends the watch";
    }
}

TEST_F(CodeBurst, MailArrivingWhileTheFirstFetchRunsIsNotMissed)
{
    const Message late = mail("m1", "482913", "other.org", 0);
    backend.messagesScript.onCall = [&](int call) {
        backend.messagesScript.replies = {call == 1 ? QList<Message>{} : QList<Message>{late}};
        backend.messageIdsScript.replies = {QSet<QString>{"m1"}};
    };
    focusAndTick("code");
    ASSERT_TRUE(chipAs<ChipModel::Found>()) << "the ids are asked again at once after the first look";
    EXPECT_EQ(chipAs<ChipModel::Found>()->code.code, "482913");
}

TEST_F(CodeBurst, EndsWithAFailureAfterNinetySecondsOrAtTheFirstErrorAndSilentlyWhenDismissed)
{
    focusAndTick("code");
    clock.advance(89s);
    EXPECT_TRUE(chipAs<ChipModel::Searching>());
    clock.advance(2s);
    ASSERT_TRUE(chipAs<ChipModel::Failed>());
    EXPECT_EQ(chipAs<ChipModel::Failed>()->message, "No code arrived");
    clock.advance(4s);

    backend.messageIdsScript.replies = {Unexpected{BackendError{500, "Server error 500"}}};
    focusAndTick("search");
    focusAndTick("code");
    clock.advance(1s);
    EXPECT_EQ(chipAs<ChipModel::Failed>()->message, "Server error 500");

    backend.messageIdsScript.replies = {QSet<QString>{}};
    const int before = backend.messageIdsScript.calls;
    focusAndTick("search");
    focusAndTick("code");
    const int polls = backend.messageIdsScript.calls;
    ASSERT_GT(polls, before) << "a new burst runs";
    controller->dismiss();
    clock.advance(120s);
    EXPECT_TRUE(chipAs<ChipModel::Searching>());
    EXPECT_EQ(backend.messageIdsScript.calls, polls);
}

using RecentCodes = ControllerTest;

TEST_F(RecentCodes, AFreshCodeOfTheSiteIsReusedOnceAndNeverForAFieldWithoutDomain)
{
    FoundCode recent{"123456", "x", "example.com", clock.now() - 100, 0, "m0"};
    state->setRecent({recent});
    state->setAutoFillOnMatch(false);
    focusAndTick("code");
    ASSERT_TRUE(chipAs<ChipModel::Found>());
    EXPECT_EQ(backend.messagesScript.calls, 0);
    start();
    chip.model().onFill();
    clock.advance(5s);
    focusAndTick("search");
    focusAndTick("code");
    EXPECT_TRUE(chipAs<ChipModel::Searching>()) << "a used code is not offered again";

    QList<FoundCode> many;
    for (int i = 0; i < 10; ++i)
        many.append(FoundCode{QString::number(100000 + i), "x", "a.org", clock.now(), 0, {}});
    for (const FoundCode& code : many)
        controller->codes().remember(code);
    controller->codes().remember(many[3]);
    EXPECT_EQ(state->recent().size(), 8);
    EXPECT_EQ(state->recent().first().code, "100003");
    EXPECT_EQ(state->recent().count(many[3]), 1);
}

// A field that gets a recent code at once ends the burst of the field focused before: that
// burst's late find is not offered under the new field.
TEST_F(RecentCodes, AReusedCodeEndsTheBurstOfTheFieldBefore)
{
    state->setAutoFillOnMatch(false);
    Inbox inbox(backend);
    focusAndTick("practice");
    ASSERT_TRUE(chipAs<ChipModel::Searching>());
    state->setRecent({FoundCode{"123456", "x", "example.com", clock.now() - 100, 0, "m0"}});
    focusAndTick("code");
    ASSERT_TRUE(chipAs<ChipModel::Found>());
    inbox.messages.append(mail("m2", "551903", "other.org", 0));
    clock.advance(3s);
    ASSERT_TRUE(chipAs<ChipModel::Found>()) << stateName(chipState()).toStdString();
    EXPECT_EQ(chipAs<ChipModel::Found>()->code.code, "123456");
}

using HotKeyFill = ControllerTest;

TEST_F(HotKeyFill, TypesTheChipsCodeElseSearchesTenMinutesEvenForAUsedCode)
{
    start();
    hotKey.registerShortcut(Shortcut{31, 768, "O"});
    backend.messagesScript.replies = {QList<Message>{mail("m1", "482913", "other.org", 500)}};
    accessibility->setFocus(at("search"));
    hotKey.press();
    QCoreApplication::processEvents();
    // Pressed again, and Fill clicked, while the code is being typed: still typed once.
    hotKey.press();
    chip.model().onFill();
    QCoreApplication::processEvents();
    clock.advance(1s);
    EXPECT_EQ(keyboard.typed(), "482913");
    EXPECT_NEAR(backend.messagesSince.last(), clock.now() - 601, 1);

    hotKey.press();
    QCoreApplication::processEvents();
    clock.advance(1s);
    EXPECT_EQ(keyboard.typed(), "482913482913");

    backend.messagesScript.replies = {QList<Message>{}};
    hotKey.press();
    QCoreApplication::processEvents();
    EXPECT_EQ(chipAs<ChipModel::Failed>()->message, "No code in the last 10 min");
}

// The focus loop may look at the focus while the hot key's search waits for its mail: neither the
// field itself (no code field) nor a focus read elsewhere ends that search.
TEST_F(HotKeyFill, AFocusLoopTickDuringTheSearchDoesNotEndIt)
{
    start();
    hotKey.registerShortcut(Shortcut::defaultShortcut());
    backend.messagesScript.replies = {QList<Message>{mail("m1", "482913", "other.org", 500)}};
    for (const char* seenDuringSearch : {"search", "button"}) {
        SCOPED_TRACE(seenDuringSearch);
        const QString before = keyboard.typed();
        backend.messagesScript.onCall = [&](int) { focusAndTick(seenDuringSearch); };
        accessibility->setFocus(at("search"));
        hotKey.press();
        QCoreApplication::processEvents();
        clock.advance(1s);
        EXPECT_EQ(keyboard.typed(), before + "482913");
        clock.advance(5s); // past the rest after a fill, so the next tick looks at the focus
    }
}

TEST_F(HotKeyFill, ThePracticeFieldInOurOwnWindowGetsADemoCodeAndNothingIsDeleted)
{
    state->setDemoMode(true);
    state->setDeleteAfterUse(true);
    focusAndTick("practice");
    ASSERT_TRUE(chipAs<ChipModel::Found>());
    const QString code = chipAs<ChipModel::Found>()->code.code;
    EXPECT_EQ(code.size(), 6);
    EXPECT_EQ(backend.messagesScript.calls, 0);
    start();
    chip.model().onFill();
    clock.advance(3s);
    EXPECT_EQ(keyboard.typed(), code);
    EXPECT_TRUE(backend.trashed.isEmpty());
}

} // namespace
} // namespace tessary::test
