#pragma once

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

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

namespace tessary::test {

// The fixture the browser suites share: the test pages served from 127.0.0.1 and one browser
// (Firefox ESR or Chromium, from TESSARY_TEST_BROWSER) for every case, read from outside through the
// session's accessibility, and on X11 hands to record trees and to type. The keyring is unlocked
// before the browser starts: a locked one's prompt would take the focus from it.
class BrowserSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        unlockKeyring();
        pages = new PageServer(QStringLiteral(TESSARY_TEST_PAGES));
        accessibility = makeSessionAccessibility().release();
        browser = new Browser(Browser::fromEnvironment(), pages->url(QStringLiteral("typing.html")));
        // Until the browser shows its first page, keys typed into it can get lost.
        waitUntil([] { return showing(pages->url(QStringLiteral("typing.html"))); },
                  std::chrono::seconds(60));
    }
    static void TearDownTestSuite()
    {
        delete keyboard;
        keyboard = nullptr;
        delete browser;
        delete accessibility;
        delete pages;
    }

    static bool showing(const QString& url)
    {
        return pageShowing(*accessibility, browser->pid(), url).has_value();
    }

    // Loads the page afresh (a query of its own tells this load from an earlier one of the same
    // page) and waits until it shows: its web area, or nothing.
    static std::optional<Element> loadAfresh(const QString& page)
    {
        static int loads = 0;
        return test::openPage(*accessibility, *browser,
                              pages->url(page) + QStringLiteral("?load=%1").arg(++loads));
    }
    // Loads the page afresh and clicks the element with that DOM id until it has the focus.
    static std::optional<Clicked> focusAfresh(const QString& page, const QString& id)
    {
        const std::optional<Element> shown = loadAfresh(page);
        return shown ? test::focusById(*accessibility, *shown, id) : std::nullopt;
    }

    // Loads the page and waits until its web area shows the page's address and its content.
    std::optional<Element> openPage(const QString& page)
    {
        const QString url = pages->url(page);
        const std::optional<Element> webArea = test::openPage(*accessibility, *browser, url);
        EXPECT_TRUE(webArea) << "page did not load: " << url.toStdString();
        return webArea;
    }

    // Clicks the element with that DOM id until the accessibility reports it focused.
    std::optional<Clicked> focusById(const Element& webArea, const QString& id)
    {
        const std::optional<Clicked> clicked = test::focusById(*accessibility, webArea, id);
        EXPECT_TRUE(clicked) << "focus did not reach #" << id.toStdString();
        return clicked;
    }

    QString valueOf(const Element& element) { return test::valueOf(*accessibility, element); }
    bool holds(const Element& element, const QString& text)
    {
        return waitUntil([&] { return valueOf(element) == text; }, std::chrono::seconds(10));
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

    // Types through XTest, whose keyboard is made on the first call.
    void type(const QString& code, std::optional<Element> element = std::nullopt)
    {
        if (!keyboard)
            keyboard = new XTestKeyboard(systemClock);
        QCoro::waitFor(typeCode(*accessibility, *keyboard, systemClock, code, element));
        settle(std::chrono::milliseconds(300));
    }

    static inline SystemClock systemClock;
    static inline XTestKeyboard* keyboard = nullptr;
    static inline PageServer* pages = nullptr;
    static inline AtspiAccessibility* accessibility = nullptr;
    static inline Browser* browser = nullptr;
};

} // namespace tessary::test
