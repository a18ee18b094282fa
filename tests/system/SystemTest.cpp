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

class EndToEnd : public SystemDesktop {
protected:
    void SetUp() override { ASSERT_TRUE(dovecot->isReady()) << dovecot->error().toStdString(); }

    std::string seen(TessaryApp& app) { return app.texts(*accessibility).join(" | ").toStdString(); }
};

TEST_F(EndToEnd, CodeFromTheSiteIsTypedWithoutAClickAndListedInThePopover)
{
    const auto app = startApp(1);
    ASSERT_TRUE(app);
    const std::optional<Element> field = focusField(codePage, codeField);
    ASSERT_TRUE(field);
    ASSERT_TRUE(shows(*app, "Waiting for a code")) << app->log();
    settle(1s); // past the burst's first look, so the mail is news to its polls
    ASSERT_TRUE(deliver(1, mailFrom(siteSender, "Sign-in code", "Your sign-in code is 551902.")));
    EXPECT_TRUE(app->waitForLine("found 551902", 15s)) << app->log();
    EXPECT_TRUE(holds(*field, "551902")) << valueOf(*field).toStdString();

    ASSERT_TRUE(clickTray());
    EXPECT_TRUE(shows(*app, "551 902")) << seen(*app);
    xdotool({"key", "Escape"});
}

TEST_F(EndToEnd, CodeFromAnotherSenderWaitsOnTheChipAndItsMailGoesToTheTrashAfterFill)
{
    const auto app = startApp(2, true);
    ASSERT_TRUE(app);
    const std::optional<Element> field = focusField(codePage, codeField);
    ASSERT_TRUE(field);
    ASSERT_TRUE(shows(*app, "Waiting for a code")) << app->log();
    settle(1s);
    ASSERT_TRUE(deliver(2, mailFrom(otherSender, "Your code", "Your verification code is 482913.")));
    ASSERT_TRUE(app->waitForLine("found 482913", 15s)) << app->log();
    EXPECT_TRUE(shows(*app, "482 913")) << seen(*app);
    EXPECT_EQ(valueOf(*field), QString()) << "typed without a click";
    EXPECT_EQ(accessibility->focusedElement(), field);

    ASSERT_TRUE(clickButton(*app, "Fill"));
    EXPECT_TRUE(holds(*field, "482913")) << valueOf(*field).toStdString();
    const QString user = DovecotServer::user(2);
    // Moved, not copied: the copy lands in the Trash a moment before the inbox lets go of it.
    EXPECT_TRUE(waitUntil(
        [&] {
            return dovecot->mailFiles(user, "Trash").size() == 1 &&
                   dovecot->mailFiles(user, QString()).isEmpty();
        },
        15s))
        << dovecot->logTail().toStdString();
}

TEST_F(EndToEnd, HotKeyInAPlainFieldTypesTheNewestCode)
{
    ASSERT_TRUE(deliver(3, mailFrom(otherSender, "Your code", "Your code is 100200.")));
    settle(1100ms); // dovecot dates mail to the second: the second mail is the newer one
    ASSERT_TRUE(deliver(3, mailFrom(otherSender, "Your code", "Your code is 300400.")));
    const auto app = startApp(3);
    ASSERT_TRUE(app);
    const std::optional<Element> field = focusField("typing.html", "free");
    ASSERT_TRUE(field);
    // The grab is taken once the start reaches the engine, after the keyring has answered, which
    // nothing shows from outside; a press before it goes to the browser. The shortcut is pressed
    // until the application answers, with its chip or the code typed; a second press that crosses
    // a slow first answer only restarts the search.
    ASSERT_TRUE(waitUntil(
        [&] {
            return xdotool({"key", "super+shift+o"}) &&
                   waitUntil(
                       [&] { return !valueOf(*field).isEmpty() || shows(*app, "Waiting for a code", 0s); },
                       2s);
        },
        30s))
        << app->log();
    EXPECT_TRUE(holds(*field, "300400")) << valueOf(*field).toStdString() << app->log();
}

TEST_F(EndToEnd, MailServerStoppedMidBurstIsAClearFailureAndTheNextFieldWorksOnceItIsBack)
{
    const auto app = startApp(5);
    ASSERT_TRUE(app);
    ASSERT_TRUE(focusField(codePage, codeField));
    ASSERT_TRUE(shows(*app, "Waiting for a code")) << app->log();
    dovecot->stop();
    EXPECT_TRUE(shows(*app, "Can't reach " + DovecotServer::hostName, 20s)) << seen(*app);
    ASSERT_TRUE(dovecot->start()) << dovecot->error().toStdString();
    EXPECT_TRUE(app->running()) << app->log();

    // The backend reconnects after a pause of its own; until then a new field fails the same way.
    std::optional<Element> field;
    const bool waiting = waitUntil(
        [&] {
            field = focusField(codePage, codeField);
            return field && shows(*app, "Waiting for a code", 5s) && !shows(*app, "Can't reach", 2s);
        },
        60s);
    ASSERT_TRUE(waiting) << app->log();
    ASSERT_TRUE(deliver(5, mailFrom(siteSender, "Sign-in code", "Your sign-in code is 770044.")));
    EXPECT_TRUE(holds(*field, "770044")) << valueOf(*field).toStdString() << app->log();
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
    TessaryApp app(*dovecot);
    // Every category of ours at debug level: the app password typed below must reach no line.
    ASSERT_TRUE(app.start({"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1", "QT_LOGGING_RULES=tessary.*.debug=true"}));
    const QString user = DovecotServer::user(6);
    ASSERT_TRUE(shows(app, "Never copy a verification code again")) << app.log();
    ASSERT_TRUE(clickButton(app, "Continue"));
    ASSERT_TRUE(clickButton(app, "Other…"));
    // Qt leaves a popup menu out of the accessibility tree: its last entry, "Other (IMAP)", is
    // picked with the keyboard.
    ASSERT_TRUE(xdotool({"key", "--delay", "100", "Up", "Return"}));
    for (const auto& [label, text, role] :
         {std::tuple{QStringLiteral("Email"), user, textField},
          std::tuple{QStringLiteral("App password"), DovecotServer::password, Role::passwordText},
          std::tuple{QStringLiteral("Server"), DovecotServer::hostName, textField}}) {
        ASSERT_TRUE(waitUntil([&] { return app.click(*accessibility, label, role); }, 10s))
            << label.toStdString() << seen(app);
        ASSERT_TRUE(xdotool({"type", "--delay", "5", text}));
    }
    ASSERT_TRUE(clickButton(app, "Add"));
    ASSERT_TRUE(shows(app, user)) << seen(app);
    // Continue is enabled once the backend has signed in to the inbox, which under load comes a
    // moment after its row.
    ASSERT_TRUE(waitUntil(
        [&] { return app.click(*accessibility, "Continue") && shows(app, "Allow Accessibility", 1s); }, 20s))
        << seen(app);
    // Tessary turns the session's switch on as it starts (Firefox in front asks for it), so the
    // step may have nothing left to do; its button is pressed when it is still shown.
    app.click(*accessibility, "Turn On Accessibility");
    ASSERT_TRUE(shows(app, "Access granted")) << seen(app);
    ASSERT_TRUE(clickButton(app, "Continue"));

    const QString practiceField = "Code";
    ASSERT_TRUE(waitUntil([&] { return app.click(*accessibility, practiceField, textField); }, 10s));
    ASSERT_TRUE(clickButton(app, "Fill")) << seen(app);
    const std::optional<Element> practice = app.find(*accessibility, practiceField, textField);
    ASSERT_TRUE(practice);
    EXPECT_TRUE(waitUntil([&] { return valueOf(*practice).size() == 6; }, 10s)) << seen(app);
    EXPECT_TRUE(shows(app, "That's it. On real sites, the code comes from your inbox."));
    // The accessibility bus may still hold the button's earlier name, "Continue".
    ASSERT_TRUE(waitUntil(
        [&] { return app.click(*accessibility, "Done") || app.click(*accessibility, "Continue"); }, 10s));
    EXPECT_TRUE(waitUntil([&] { return !shows(app, "See how it works", 0s); }, 10s)) << seen(app);
    EXPECT_TRUE(waitUntil([&] { return app.setting(settingKey::onboarded).toBool(); }, 5s));
    EXPECT_TRUE(app.running()) << app.log();
    EXPECT_FALSE(QString::fromStdString(app.log()).contains(DovecotServer::password))
        << "a log holds the password";
}

// Last: the link opens as a new tab, which the other cases' pages would share the window with.
TEST_F(EndToEnd, SignInLinkFromTheMailOpensInTheFirefoxThatShowedThePage)
{
    const auto app = startApp(4);
    ASSERT_TRUE(app);
    ASSERT_TRUE(focusField("magic-link.html", {}));
    ASSERT_TRUE(shows(*app, "Waiting for the")) << seen(*app);
    settle(1s);
    const QString link = pages->url("single-code.html?token=7f3a9");
    ASSERT_TRUE(deliver(4, linkMailFrom(siteSender, "Your sign-in link", link, "Sign in")));
    ASSERT_TRUE(app->waitForLine("link from 127.0.0.1", 15s)) << app->log();
    // A link it trusts opens at once; any other waits for Open on the chip. Either way the page
    // shows in the browser that showed the sign-in page, through the browser's own command.
    EXPECT_TRUE(waitUntil(
        [&] {
            app->click(*accessibility, "Open");
            return accessibility->frontmostApplication().value_or(RunningApplication{}).pid ==
                       browser->pid() &&
                   showing(link);
        },
        30s))
        << app->log() << pages->requested().join(QLatin1Char(' ')).toStdString();
}

} // namespace
} // namespace tessary::test
