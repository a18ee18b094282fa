// Tessary end to end, with nothing faked between a mail and the field: the real `tessary` with
// its embedded backend, a dovecot of the test's own reached over TLS, Firefox ESR on pages from
// 127.0.0.1, all under scripts/desktop-session --tray. Mail arrives through dovecot-lda. Each
// case starts the application in a fresh home folder with a mailbox of its own; the browser and
// the mail server serve every case.

#include "state/ShortcutSetting.h"
#include "system/SystemDesktop.h"

#include <QScopeGuard>

#include <gtest/gtest.h>

#include <tuple>

namespace tessary::test {
namespace {

using namespace std::chrono_literals;

const QString siteSender = "Sign-in <no-reply@127.0.0.1>";
const QString otherSender = "Accounts <no-reply@mailer.example.com>";
const QString codePage = "single-code.html";
const QString codeField = "entry";
const Role textField = Role::entry;

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { desktop = new SystemDesktop; }
    static void TearDownTestSuite() { delete desktop; }
    void SetUp() override { ASSERT_TRUE(d.dovecot.isReady()) << d.dovecot.error().toStdString(); }

    std::string seen(TessaryApp& app) { return app.texts(d.accessibility).join(" | ").toStdString(); }

    // The desktop every case shares, made once for the suite.
    static inline SystemDesktop* desktop = nullptr;
    SystemDesktop& d = *desktop;
};

TEST_F(EndToEnd, CodeFromTheSiteIsTypedWithoutAClickAndListedInThePopover)
{
    const auto app = d.startApp(1);
    ASSERT_TRUE(app);
    const std::optional<Element> field = d.focusField(codePage, codeField);
    ASSERT_TRUE(field);
    ASSERT_TRUE(d.shows(*app, "Waiting for a code")) << app->log();
    settle(1s); // past the burst's first look, so the mail is news to its polls
    ASSERT_TRUE(d.deliver(1, mailFrom(siteSender, "Sign-in code", "Your sign-in code is 551902.")));
    EXPECT_TRUE(app->waitForLine("found 551902", 15s)) << app->log();
    EXPECT_TRUE(d.holds(*field, "551902")) << d.valueOf(*field).toStdString();

    ASSERT_TRUE(SystemDesktop::clickTray());
    EXPECT_TRUE(d.shows(*app, "551 902")) << seen(*app);
    xdotool({"key", "Escape"});
}

TEST_F(EndToEnd, CodeFromAnotherSenderWaitsOnTheChipAndItsMailGoesToTheTrashAfterFill)
{
    const auto app = d.startApp(2, true);
    ASSERT_TRUE(app);
    const std::optional<Element> field = d.focusField(codePage, codeField);
    ASSERT_TRUE(field);
    ASSERT_TRUE(d.shows(*app, "Waiting for a code")) << app->log();
    settle(1s);
    ASSERT_TRUE(d.deliver(2, mailFrom(otherSender, "Your code", "Your verification code is 482913.")));
    ASSERT_TRUE(app->waitForLine("found 482913", 15s)) << app->log();
    EXPECT_TRUE(d.shows(*app, "482 913")) << seen(*app);
    EXPECT_EQ(d.valueOf(*field), QString()) << "typed without a click";
    EXPECT_EQ(d.accessibility.focusedElement(), field);

    ASSERT_TRUE(d.clickButton(*app, "Fill"));
    EXPECT_TRUE(d.holds(*field, "482913")) << d.valueOf(*field).toStdString();
    const QString user = DovecotServer::user(2);
    // Moved, not copied: the copy lands in the Trash a moment before the inbox lets go of it.
    EXPECT_TRUE(waitUntil(
        [&] {
            return d.dovecot.mailFiles(user, "Trash").size() == 1 &&
                   d.dovecot.mailFiles(user, QString()).isEmpty();
        },
        15s))
        << d.dovecot.logTail().toStdString();
}

TEST_F(EndToEnd, HotKeyInAPlainFieldTypesTheNewestCode)
{
    ASSERT_TRUE(d.deliver(3, mailFrom(otherSender, "Your code", "Your code is 100200.")));
    settle(1100ms); // dovecot dates mail to the second: the second mail is the newer one
    ASSERT_TRUE(d.deliver(3, mailFrom(otherSender, "Your code", "Your code is 300400.")));
    const auto app = d.startApp(3);
    ASSERT_TRUE(app);
    const std::optional<Element> field = d.focusField("typing.html", "free");
    ASSERT_TRUE(field);
    settle(1500ms); // the grab is taken on the engine's first ticks
    ASSERT_TRUE(xdotool({"key", "super+shift+o"}));
    EXPECT_TRUE(d.holds(*field, "300400")) << d.valueOf(*field).toStdString() << app->log();
}

TEST_F(EndToEnd, MailServerStoppedMidBurstIsAClearFailureAndTheNextFieldWorksOnceItIsBack)
{
    const auto app = d.startApp(5);
    ASSERT_TRUE(app);
    ASSERT_TRUE(d.focusField(codePage, codeField));
    ASSERT_TRUE(d.shows(*app, "Waiting for a code")) << app->log();
    d.dovecot.stop();
    EXPECT_TRUE(d.shows(*app, "Can't reach " + DovecotServer::hostName, 20s)) << seen(*app);
    ASSERT_TRUE(d.dovecot.start()) << d.dovecot.error().toStdString();
    EXPECT_TRUE(app->running()) << app->log();

    // The backend reconnects after a pause of its own; until then a new field fails the same way.
    std::optional<Element> field;
    const bool waiting = waitUntil(
        [&] {
            field = d.focusField(codePage, codeField);
            return field && d.shows(*app, "Waiting for a code", 5s) && !d.shows(*app, "Can't reach", 2s);
        },
        60s);
    ASSERT_TRUE(waiting) << app->log();
    ASSERT_TRUE(d.deliver(5, mailFrom(siteSender, "Sign-in code", "Your sign-in code is 770044.")));
    EXPECT_TRUE(d.holds(*field, "770044")) << d.valueOf(*field).toStdString() << app->log();
}

TEST_F(EndToEnd, NewUserAddsTheInboxAllowsAccessibilityAndTriesThePracticeField)
{
    // A desktop whose accessibility was never on. Qt's bridge is forced on, so that Tessary's own
    // window can be read from outside whatever the switch says.
    const auto accessibilityOn = [](bool on) {
        QProcess::execute("dbus-send",
                          {"--session", "--dest=org.a11y.Bus", "/org/a11y/bus",
                           "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                           "string:IsEnabled", on ? "variant:boolean:true" : "variant:boolean:false"});
    };
    accessibilityOn(false);
    const auto restore = qScopeGuard([&] { accessibilityOn(true); });
    TessaryApp app(d.dovecot);
    // Every category of ours at debug level: the app password typed below must reach no line.
    ASSERT_TRUE(app.start({"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1", "QT_LOGGING_RULES=tessary.*.debug=true"}));
    const QString user = DovecotServer::user(6);
    ASSERT_TRUE(d.shows(app, "Never copy a verification code again")) << app.log();
    ASSERT_TRUE(d.clickButton(app, "Continue"));
    ASSERT_TRUE(d.clickButton(app, "Other…"));
    // Qt leaves a popup menu out of the accessibility tree: its last entry, "Other (IMAP)", is
    // picked with the keyboard.
    ASSERT_TRUE(xdotool({"key", "--delay", "100", "Up", "Return"}));
    for (const auto& [label, text, role] :
         {std::tuple{QStringLiteral("Email"), user, textField},
          std::tuple{QStringLiteral("App password"), DovecotServer::password, Role::passwordText},
          std::tuple{QStringLiteral("Server"), DovecotServer::hostName, textField}}) {
        ASSERT_TRUE(waitUntil([&] { return app.click(d.accessibility, label, role); }, 10s))
            << label.toStdString() << seen(app);
        ASSERT_TRUE(xdotool({"type", "--delay", "5", text}));
    }
    ASSERT_TRUE(d.clickButton(app, "Add"));
    ASSERT_TRUE(d.shows(app, user)) << seen(app);
    // Continue is enabled once the backend has signed in to the inbox, which under load comes a
    // moment after its row.
    ASSERT_TRUE(waitUntil(
        [&] { return app.click(d.accessibility, "Continue") && d.shows(app, "Allow Accessibility", 1s); },
        20s))
        << seen(app);
    // Tessary turns the session's switch on as it starts (Firefox in front asks for it), so the
    // step may have nothing left to do; its button is pressed when it is still shown.
    app.click(d.accessibility, "Turn On Accessibility");
    ASSERT_TRUE(d.shows(app, "Access granted")) << seen(app);
    ASSERT_TRUE(d.clickButton(app, "Continue"));

    const QString practiceField = "Code";
    ASSERT_TRUE(waitUntil([&] { return app.click(d.accessibility, practiceField, textField); }, 10s));
    ASSERT_TRUE(d.clickButton(app, "Fill")) << seen(app);
    const std::optional<Element> practice = app.find(d.accessibility, practiceField, textField);
    ASSERT_TRUE(practice);
    EXPECT_TRUE(waitUntil([&] { return d.valueOf(*practice).size() == 6; }, 10s)) << seen(app);
    EXPECT_TRUE(d.shows(app, "That's it. On real sites, the code comes from your inbox."));
    // The accessibility bus may still hold the button's earlier name, "Continue".
    ASSERT_TRUE(waitUntil(
        [&] { return app.click(d.accessibility, "Done") || app.click(d.accessibility, "Continue"); }, 10s));
    EXPECT_TRUE(waitUntil([&] { return !d.shows(app, "See how it works", 0s); }, 10s)) << seen(app);
    EXPECT_TRUE(waitUntil([&] { return app.setting(settingKey::onboarded).toBool(); }, 5s));
    EXPECT_TRUE(app.running()) << app.log();
    EXPECT_FALSE(QString::fromStdString(app.log()).contains(DovecotServer::password))
        << "a log holds the password";
}

// Last: the link opens as a new tab, which the other cases' pages would share the window with.
TEST_F(EndToEnd, SignInLinkFromTheMailOpensInTheFirefoxThatShowedThePage)
{
    const auto app = d.startApp(4);
    ASSERT_TRUE(app);
    ASSERT_TRUE(d.focusField("magic-link.html", {}));
    ASSERT_TRUE(d.shows(*app, "Waiting for the")) << seen(*app);
    settle(1s);
    const QString link = d.pages.url("single-code.html?token=7f3a9");
    ASSERT_TRUE(d.deliver(4, linkMailFrom(siteSender, "Your sign-in link", link, "Sign in")));
    ASSERT_TRUE(app->waitForLine("link from 127.0.0.1", 15s)) << app->log();
    // A link it trusts opens at once; any other waits for Open on the chip. Either way the page
    // shows in the browser that showed the sign-in page, through the browser's own command.
    EXPECT_TRUE(waitUntil(
        [&] {
            app->click(d.accessibility, "Open");
            return d.accessibility.frontmostApplication().value_or(RunningApplication{}).pid ==
                       d.browser.pid() &&
                   d.pageShowing(link).has_value();
        },
        30s))
        << app->log() << d.pages.requested().join(QLatin1Char(' ')).toStdString();
}

} // namespace
} // namespace tessary::test
