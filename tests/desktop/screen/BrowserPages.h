#pragma once

// The browser fixture of the desktop tests: one browser (Firefox ESR or Chromium, from
// TESSARY_TEST_BROWSER) for every case, pages served from 127.0.0.1, and hands to open pages,
// focus elements, record trees and type.

#include "common/Clock.h"
#include "desktop/screen/DesktopDriver.h"
#include "desktop/screen/PageServer.h"
#include "platform/session/SessionAccessibility.h"
#include "platform/x11/XTestKeyboard.h"
#include "screen/ElementTreeDump.h"
#include "screen/LinkPage.h"
#include "screen/TypeCode.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

namespace tessary::test {

using namespace std::chrono_literals;

class BrowserPages : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = new PageServer(QStringLiteral(TESSARY_TEST_PAGES));
        accessibility = makeSessionAccessibility().release();
        keyboard = new XTestKeyboard(systemClock);
        browser = new Browser(Browser::fromEnvironment(), server->url(QStringLiteral("typing.html")));
    }
    static void TearDownTestSuite()
    {
        delete browser;
        delete keyboard;
        delete accessibility;
        delete server;
    }

    // Opens the page and waits until its web area shows the page's address and its content.
    std::optional<Element> openPage(const QString& page)
    {
        const QString url = server->url(page);
        const std::optional<Element> webArea = test::openPage(*accessibility, *browser, url);
        EXPECT_TRUE(webArea) << "page did not load: " << url.toStdString();
        return webArea;
    }

    // Clicks the element with that DOM id and waits until the accessibility reports it focused.
    std::optional<Element> focusById(const Element& webArea, const QString& id)
    {
        const std::optional<Clicked> clicked = test::focusById(*accessibility, webArea, id);
        EXPECT_TRUE(clicked) << "focus did not reach #" << id.toStdString();
        return clicked ? std::optional(clicked->element) : std::nullopt;
    }

    // With TESSARY_RECORD_TREES=FOLDER set, writes the tree under `root` as the fixture
    // FOLDER/<browser>-<name>.json for the screen logic's unit tests.
    void record(const QString& name, const Element& root)
    {
        const QString folder = qEnvironmentVariable("TESSARY_RECORD_TREES");
        if (folder.isEmpty())
            return;
        const QString browserName = browser->kind() == Browser::Kind::chromium ? QStringLiteral("chromium")
                                                                               : QStringLiteral("firefox");
        QDir().mkpath(folder);
        QFile file(QStringLiteral("%1/%2-%3.json").arg(folder, browserName, name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QJsonObject tree = dumpTree(*accessibility, root, accessibility->frontmostApplication());
        file.write(QJsonDocument(tree).toJson(QJsonDocument::Indented));
    }

    std::optional<Element> focusedWindow()
    {
        const std::optional<Element> application = accessibility->applicationElement(browser->pid());
        return application ? accessibility->focusedWindow(*application) : std::nullopt;
    }

    QString valueOf(const Element& element) { return test::valueOf(*accessibility, element); }

    void type(const QString& code, std::optional<Element> element = std::nullopt)
    {
        QCoro::waitFor(typeCode(*accessibility, *keyboard, systemClock, code, element));
        settle(300ms);
    }

    static inline PageServer* server = nullptr;
    static inline AtspiAccessibility* accessibility = nullptr;
    static inline SystemClock systemClock;
    static inline XTestKeyboard* keyboard = nullptr;
    static inline Browser* browser = nullptr;
};

} // namespace tessary::test
