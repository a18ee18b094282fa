#pragma once

#include "desktop/screen/DesktopDriver.h"
#include "desktop/screen/PageServer.h"
#include "platform/session/SessionAccessibility.h"
#include "server/DovecotServer.h"
#include "system/TessaryApp.h"

#include <chrono>
#include <memory>
#include <optional>

namespace tessary::test {

// What every end-to-end run shares, inside scripts/desktop-session --tray: the session's keyring
// unlocked, a dovecot, the test pages on 127.0.0.1, Firefox ESR showing them, and the
// accessibility bus to read both Firefox and Tessary from outside.
class SystemDesktop {
public:
    SystemDesktop();

    // A set-up, running application for that mailbox, in a home of its own; null on failure.
    std::unique_ptr<TessaryApp> startApp(int user, bool deleteAfterUse = false);
    bool deliver(int user, const QByteArray& mail)
    {
        return dovecot.deliver(DovecotServer::user(user), mail);
    }

    // Brings the test's browser to the front: keys go to the active window, whatever window
    // closed or opened before.
    void activateBrowser();
    // The page at that address in the test's browser, when it is in front.
    std::optional<Element> pageShowing(const QString& url)
    {
        return test::pageShowing(accessibility, browser.pid(), url);
    }
    // Loads a page afresh in the test's browser and clicks the field with that DOM id (none: the
    // page itself).
    std::optional<Element> focusField(const QString& page, const QString& id);
    QString valueOf(const Element& element) { return test::valueOf(accessibility, element); }
    bool holds(const Element& element, const QString& text)
    {
        return test::holds(accessibility, element, text);
    }

    bool shows(TessaryApp& app, const QString& text,
               std::chrono::milliseconds timeout = std::chrono::seconds(15));
    bool clickButton(TessaryApp& app, const QString& title);
    // Clicks the middle of the tray, which holds only Tessary's icon.
    static bool clickTray();

private:
    // Before the browser starts (members are made in order): a locked keyring's prompt takes the focus.
    bool m_keyringUnlocked;

public:
    DovecotServer dovecot;
    PageServer pages;
    std::unique_ptr<AtspiAccessibility> liveAccessibility = makeSessionAccessibility();
    AtspiAccessibility& accessibility = *liveAccessibility;
    Browser browser;
};

} // namespace tessary::test
