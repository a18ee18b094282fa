#include "engine/ControllerFixture.h"

namespace tessary::test {
namespace {

class LinkFlow : public ::testing::Test, public EngineHarness {
protected:
    LinkFlow()
        : EngineHarness("link-page.json")
    {
    }
    void SetUp() override { make(); }
    Message linkMail(const QString& id, const QString& url, const QString& senderDomain)
    {
        Message m = mail(id, "", senderDomain);
        m.subject = "Sign in to Notes";
        m.text = QStringLiteral("Click to sign in: %1").arg(url);
        m.links = {MessageLink{url, "Sign in"}};
        return m;
    }
};

TEST_F(LinkFlow, APageWaitsOnceThenATrustedLinkOpensInTheBrowserThatShowedIt)
{
    const QString url = "https://notes.example.net/auth/magic?token=abc";
    watch();
    ASSERT_TRUE(chipAs<ChipModel::WaitingForLink>());
    EXPECT_EQ(chipAs<ChipModel::WaitingForLink>()->domain, "example.net");

    backend.messagesScript.replies = {QList<Message>{linkMail("m1", url, "example.net")}};
    backend.messageIdsScript.replies = {QSet<QString>{"m1"}};
    clock.advance(2s);
    ASSERT_EQ(links.opened.size(), 1);
    EXPECT_EQ(links.opened[0].url, QUrl(url));
    EXPECT_EQ(links.opened[0].application, "/usr/bin/app");
    EXPECT_TRUE(chipAs<ChipModel::Opened>());
    clock.advance(1500ms);
    EXPECT_FALSE(chip.visible);

    watch();
    watch();
    EXPECT_EQ(backend.messagesScript.calls, 2) << "a handled page does not wait again in the same run";

    // A new page: the link opened for the last one does not hide the new mail's, though it ties.
    const QString next = "https://notes.example.net/auth/magic?token=def";
    backend.messagesScript.replies = {
        QList<Message>{linkMail("m1", url, "example.net"), linkMail("m2", next, "example.net")}};
    accessibility->setAttribute(at("page"), "AXURL", "https://notes.example.net/login?sent=2");
    ++accessibility->loads;
    watch();
    ASSERT_EQ(links.opened.size(), 2);
    EXPECT_EQ(links.opened[1].url, QUrl(next));
}

// The link's mail goes to the trash afterwards: its id is taken from the chip's link before the
// chip moves on to "opened" (the chip is the last holder of that id by then).
TEST_F(LinkFlow, AnUntrustedLinkWaitsForOpenAndTheHotKeyOpensIt)
{
    state->setDeleteAfterUse(true);
    backend.messagesScript.replies = {QList<Message>{
        linkMail("m1", "https://notes.example.net/auth/magic?token=abc", "mailer.example.com")}};
    start();
    watch();
    ASSERT_TRUE(chipAs<ChipModel::Link>());
    EXPECT_TRUE(links.opened.isEmpty());
    backend.messagesScript.replies = {QList<Message>{}};
    hotKey.registerShortcut(Shortcut::defaultShortcut());
    hotKey.press();
    QCoreApplication::processEvents();
    EXPECT_EQ(links.opened.size(), 1);
    clock.advance(1500ms);
    EXPECT_EQ(backend.trashed, QStringList{"m1"});
}

// Typing into the page's search box is not leaving the page, nor is another tab of the window in
// front (the user reads the mail there; a new tab whose tiles name the page) while the page's own
// tab still shows it: the wait goes on.
TEST_F(LinkFlow, AFieldFocusedOnThePageOrAnotherTabKeepsTheWait)
{
    watch();
    ASSERT_TRUE(chipAs<ChipModel::WaitingForLink>());
    for (const char* focus : {"search", "mailTab", "newTab", "page"}) {
        SCOPED_TRACE(focus);
        accessibility->setFocus(at(focus));
        watch();
        EXPECT_TRUE(chipAs<ChipModel::WaitingForLink>());
        EXPECT_TRUE(chip.visible);
    }
    // The page's tab moves on, behind another or in front: the wait ends. Firefox's page takes the
    // new address; Chromium keeps the page left, at its own, while its tab's view holds the next one.
    accessibility->setFocus(at("mailTab"));
    accessibility->setAttribute(at("page"), "AXURL", "https://notes.example.net/home");
    ++accessibility->loads;
    watch();
    EXPECT_FALSE(chip.visible);
    accessibility->setFocus(at("page"));
    accessibility->setAttribute(at("page"), "AXURL", "https://notes.example.net/login?sent=2");
    ++accessibility->loads;
    watch();
    ASSERT_TRUE(chip.visible);
    accessibility->setFocus(at("next"));
    accessibility->setAttribute(at("page"), "AXParent", QJsonObject{{"ref", "view"}});
    ++accessibility->loads;
    watch();
    EXPECT_FALSE(chip.visible);
}

// With no browser to take the link, the chip says so and the mail stays for the user to open.
TEST_F(LinkFlow, ALinkNoBrowserTookIsAFailureAndItsMailStays)
{
    state->setDeleteAfterUse(true);
    links.works = false;
    backend.messagesScript.replies = {
        QList<Message>{linkMail("m1", "https://notes.example.net/auth/magic?token=abc", "example.net")}};
    watch();
    ASSERT_EQ(links.opened.size(), 1);
    EXPECT_TRUE(chipAs<ChipModel::Failed>());
    clock.advance(1500ms);
    EXPECT_TRUE(backend.trashed.isEmpty());
}

// A page at rest is not read on every third tick; a load makes the next watch look at it, and
// without one the rescan sees a page that rewrote itself in place.
TEST(LinkPageWatch, ThePageIsReadAgainAfterALoadOrWithinTheRescanElseNotAtRest)
{
    for (const bool loaded : {true, false}) {
        SCOPED_TRACE(loaded ? "a load" : "the rescan");
        EngineHarness h("link-page.json");
        h.make();
        h.watch();
        ASSERT_TRUE(h.chip.visible);
        h.accessibility->resetReads();
        h.watch();
        EXPECT_EQ(h.accessibility->reads(), 0) << "a page at rest is not read on every third tick";
        h.accessibility->setAttribute(h.at("page"), "AXURL", "https://notes.example.net/home");
        h.watch();
        EXPECT_TRUE(h.chip.visible) << "no load, no focus move: not looked at yet";
        loaded ? void(++h.accessibility->loads) : h.clock.advance(6s);
        h.watch();
        EXPECT_FALSE(h.chip.visible);
        EXPECT_FALSE(h.controller->linkPage());
    }
}

} // namespace
} // namespace tessary::test
