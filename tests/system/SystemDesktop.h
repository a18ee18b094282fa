#pragma once

#include "desktop/screen/BrowserSuite.h"
#include "server/DovecotServer.h"
#include "system/TessaryApp.h"

#include <chrono>
#include <memory>
#include <optional>

namespace tessary::test {

// What every end-to-end case shares, inside scripts/desktop-session --tray: the browser suites'
// unlocked keyring, test pages on 127.0.0.1, browser (Firefox ESR) and accessibility bus, which
// reads Tessary from outside too; and a dovecot.
class SystemDesktop : public BrowserSuite {
protected:
    static void SetUpTestSuite()
    {
        BrowserSuite::SetUpTestSuite();
        dovecot = new DovecotServer;
    }
    static void TearDownTestSuite()
    {
        delete dovecot;
        BrowserSuite::TearDownTestSuite();
    }

    // A set-up, running application for that mailbox, in a home of its own; null on failure.
    static std::unique_ptr<TessaryApp> startApp(int user, bool deleteAfterUse = false);
    static bool deliver(int user, const QByteArray& mail)
    {
        return dovecot->deliver(DovecotServer::user(user), mail);
    }

    // Brings the test's browser to the front: keys go to the active window, whatever window
    // closed or opened before.
    static void activateBrowser();
    // Loads a page afresh in the test's browser and clicks the field with that DOM id (none: the
    // page itself).
    static std::optional<Element> focusField(const QString& page, const QString& id);

    static bool shows(TessaryApp& app, const QString& text,
                      std::chrono::milliseconds timeout = std::chrono::seconds(15));
    static bool clickButton(TessaryApp& app, const QString& title);
    // Clicks the middle of the tray, which holds only Tessary's icon.
    static bool clickTray();

    static inline DovecotServer* dovecot = nullptr;
};

} // namespace tessary::test
