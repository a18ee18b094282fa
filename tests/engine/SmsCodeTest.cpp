#include "engine/ControllerFixture.h"
#include "engine/PhoneServiceText.h"

namespace tessary::test {
namespace {

using Direction = SmsMessage::Direction;

struct SmsCase {
    const char* name;
    double sentAfterFocus; // seconds; negative: before the field was focused
    Direction direction;
    std::optional<QString> mailFrom; // a mail with code 111222 already in the inbox
    QString offered;                 // the code on the chip, empty when still searching
    QString typed;                   // what was typed without a click
    bool switchedOn = true;          // "Codes from my phone's messages"
    QString boundTo = {};            // the site the text's last line binds its code to
};

class SmsCodes : public ControllerTest, public ::testing::WithParamInterface<SmsCase> {};

TEST_P(SmsCodes, AreOfferedOnTheChipRankedWithTheMailAndNeverTypedWithoutAClick)
{
    const SmsCase& c = GetParam();
    state->setDeleteAfterUse(true);
    state->setSmsCodes(c.switchedOn);
    if (c.mailFrom) {
        Message earlier = mail("m1", "111222", *c.mailFrom, 5);
        earlier.subject.clear(); // worded as the text message, so only the arrival tells them apart
        backend.messagesScript.replies = {QList<Message>{earlier}};
    }
    SmsMessage message = sms(1, "739201", c.sentAfterFocus + 0.5, c.direction);
    if (!c.boundTo.isEmpty()) // anyone can send a text that names the site: it still waits for a click
        message.body += "\n\n@" + c.boundTo + " #739201";
    focusAndTick("code");
    clock.advance(500ms);
    phone.relay(message, clock.now());
    EXPECT_EQ(phone.received(0).size(), c.switchedOn && c.direction == Direction::received ? 1 : 0);
    clock.advance(1s);
    EXPECT_EQ(keyboard.typed(), c.typed);
    if (c.typed.isEmpty()) {
        const auto* found = chipAs<ChipModel::Found>();
        ASSERT_EQ(found != nullptr, !c.offered.isEmpty()) << stateName(chipState()).toStdString();
        if (!found)
            return;
        EXPECT_EQ(found->code.code, c.offered);
        EXPECT_EQ(chipContent(chipState()).senderDomain, "SMS on Pixel 7");
        start();
        chip.model().onFill();
        clock.advance(1s);
        EXPECT_EQ(keyboard.typed(), c.offered);
        EXPECT_EQ(backend.trashScript.calls, 0) << "the phone's message stays";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Phone, SmsCodes,
    ::testing::Values(
        SmsCase{"ReceivedAfterTheFocus", 0, Direction::received, {}, "739201", ""},
        SmsCase{"FromAPhoneWhoseClockLags", -2, Direction::received, {}, "739201", ""},
        SmsCase{"DatedWellBeforeTheFocus", -60, Direction::received, {}, "", ""},
        SmsCase{"SentByThePhone", 0, Direction::sent, {}, "", ""},
        SmsCase{"LaterThanAnotherSendersMail", 0, Direction::received, "other.org", "739201", ""},
        SmsCase{"AfterTheSitesOwnMail", 0, Direction::received, "example.com", "", "111222"},
        SmsCase{"SwitchedOff", 0, Direction::received, {}, "", "", false},
        SmsCase{"BoundToTheSite", 0, Direction::received, {}, "739201", "", true, "login.example.com"}),
    [](const auto& param) { return std::string(param.param.name); });

// Anyone can send a text that names the site: its code waits on the chip, is not offered again as
// the site's recent code when the field is focused later, and the site's own mail that comes after
// it is still typed at once.
TEST_F(ControllerTest, ATextBoundToTheSiteLeavesTheBurstWaitingForTheSitesOwnMail)
{
    Inbox inbox(backend);
    focusAndTick("code");
    SmsMessage text = sms(1, "739201", 0.5);
    text.body += "\n\n@example.com #739201";
    clock.advance(1s);
    phone.relay(text, clock.now());
    ASSERT_TRUE(chipAs<ChipModel::Found>());
    focusAndTick("search");
    clock.advance(10s);
    focusAndTick("code");
    EXPECT_TRUE(chipAs<ChipModel::Searching>()) << stateName(chipState()).toStdString();
    inbox.messages.append(mail("m1", "222333", "example.com", 0));
    clock.advance(3s);
    EXPECT_EQ(keyboard.typed(), "222333");
}

TEST_F(ControllerTest, ARelayedAgainOrOldTextMessageIsNotOfferedAgainAndTheHotKeyTypesTheNewest)
{
    focusAndTick("code");
    const SmsMessage first = sms(1, "739201", 0.5);
    clock.advance(1s);
    phone.relay(first, clock.now());
    ASSERT_TRUE(chipAs<ChipModel::Found>());
    const quint64 shown = chip.model().changes();
    phone.relay(first, clock.now());                  // the phone reconnected: its threads come again
    phone.relay(sms(2, "402117", -700), clock.now()); // older than anything kept
    EXPECT_EQ(chip.model().changes(), shown);

    chip.visible = false;
    start();
    controller->hotKeyPressed();
    clock.advance(1s);
    EXPECT_EQ(keyboard.typed(), "739201");
    state->setSmsCodes(false);
    EXPECT_TRUE(phone.received(0).isEmpty()) << "their text is kept only while the switch is on";
}

// Someone whose codes all come by SMS still gets them on the chip while the mail backend fails:
// with a phone that relays, the failure stays up, and the search with it, until a text comes or
// the search's time is up. Without one, the failure hides itself as any other.
TEST_F(ControllerTest, WhileTheMailBackendFailsTheSearchGoesOnWithThePhonesMessages)
{
    enum class Phone { textComes, noTextComes, absent };
    for (const Phone row : {Phone::noTextComes, Phone::absent, Phone::textComes}) {
        SCOPED_TRACE(int(row));
        phone.setService(row == Phone::absent
                             ? PhoneService{}
                             : PhoneService{PhoneService::Daemon::running,
                                            {PairedPhone{"dev1", "Pixel 7", true, true, false}}});
        backend.messageIdsScript.replies = {
            Unexpected{BackendError{0, QStringLiteral("Backend unreachable")}}};
        focusAndTick("code");
        clock.advance(500ms);
        ASSERT_TRUE(chipAs<ChipModel::Failed>());
        EXPECT_EQ(chipAs<ChipModel::Failed>()->message, "Backend unreachable");
        clock.advance(Timings{}.failedChip + 2s);
        ASSERT_EQ(chip.visible, row != Phone::absent) << "a failure hides itself only when no phone relays";
        if (row == Phone::textComes) {
            phone.relay(sms(1, "739201", 0), clock.now());
            ASSERT_TRUE(chipAs<ChipModel::Found>());
            EXPECT_EQ(chipAs<ChipModel::Found>()->code.code, "739201");
        } else if (row == Phone::noTextComes) {
            clock.advance(Timings{}.codeBurst);
            ASSERT_TRUE(chipAs<ChipModel::Failed>());
            EXPECT_EQ(chipAs<ChipModel::Failed>()->message, "No code arrived");
            clock.advance(Timings{}.failedChip);
            EXPECT_FALSE(chip.visible);
        }
        focusAndTick("search"); // leaves the field, so the next row finds it afresh
    }
}

// No inbox at all: a field is searched only while a paired phone relays messages.
TEST_F(ControllerTest, WithoutAnInboxAPhoneThatRelaysIsEnoughToSearch)
{
    settings.values.remove("email");
    PairedPhone phoneThere{"dev1", "Pixel 7", false, true, false};
    phone.setService({PhoneService::Daemon::running, {phoneThere}});
    focusAndTick("code");
    EXPECT_FALSE(chip.visible) << "searched with no inbox and the phone away";
    phoneThere.reachable = true;
    phone.setService({PhoneService::Daemon::running, {phoneThere}});
    tick();
    ASSERT_TRUE(chip.visible && chipAs<ChipModel::Searching>()) << stateName(chipState()).toStdString();
    clock.advance(500ms);
    phone.relay(sms(1, "739201", 0), clock.now());
    ASSERT_TRUE(chipAs<ChipModel::Found>());
    EXPECT_EQ(chipAs<ChipModel::Found>()->code.code, "739201");
}

using Daemon = PhoneService::Daemon;

// The one reason no phone relays, told by how its sentence begins and ends (the full wording is the
// label's and the inspector's), and whether a phone relays all the same.
TEST(PhoneServiceSentence, SaysWhyNoPhoneRelaysAndHowToMendIt)
{
    const PairedPhone pixel{"a", "Pixel 7", true, true, true};
    const PairedPhone away{"b", "Fairphone", false, false, false};
    const PairedPhone alsoAway{"d", "Pixel 4", false, false, false};
    const PairedPhone mute{"c", "Galaxy", true, false, true};
    const PairedPhone deaf{"c", "Galaxy", true, false, false};
    const PairedPhone quiet{"c", "Galaxy", true, false, true, true}; // asked for its threads, it sent none
    const PairedPhone quietAlone{"c", "Galaxy", true, false, false, true};
    const struct {
        PhoneService service;
        const char* begins;
        const char* ends;
        bool relaying;
    } rows[] = {
        {{}, "Looking for KDE Connect", "…", false},
        {{Daemon::notInstalled, {}}, "KDE Connect is not installed.", " in KDE Connect.", false},
        {{Daemon::notRunning, {}}, "KDE Connect is not running.", " in KDE Connect.", false},
        {{Daemon::running, {}}, "No phone is paired.", " network.", false},
        {{Daemon::running, {away, alsoAway}}, "Fairphone and Pixel 4 are paired but", " computer.", false},
        {{Daemon::running, {away, pixel}}, "Pixel 7 is paired and reachable.", " and reachable.", true},
        {{Daemon::running, {mute}}, "Galaxy sends no text messages:", " notifications.", true},
        {{Daemon::running, {quiet}}, "Galaxy has sent no text messages yet.", " notifications.", true},
        {{Daemon::running, {quietAlone}}, "Galaxy has sent no text messages yet.", " allow it there.", true},
        {{Daemon::running, {deaf}}, "Galaxy sends no text messages and no", " permissions.", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.begins);
        const PhoneServiceText text = describePhoneService(row.service);
        EXPECT_TRUE(text.sentence.startsWith(QString::fromUtf8(row.begins))) << text.sentence;
        EXPECT_TRUE(text.sentence.endsWith(QString::fromUtf8(row.ends))) << text.sentence;
        EXPECT_EQ(text.relaying, row.relaying);
    }
}

} // namespace
} // namespace tessary::test
