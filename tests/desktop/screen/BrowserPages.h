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
        std::optional<Element> webArea;
        const auto loaded = [&] {
            const std::optional<RunningApplication> front = accessibility->frontmostApplication();
            if (!front || front->pid != browser->pid())
                return false;
            const std::optional<Element> application = accessibility->applicationElement(front->pid);
            const std::optional<Element> window =
                application ? accessibility->focusedWindow(*application) : std::nullopt;
            webArea = window ? findByRole(*accessibility, *window, Role::documentWeb, 400) : std::nullopt;
            return webArea && accessibility->documentUrl(*webArea) == url &&
                   !accessibility->children(*webArea).isEmpty();
        };
        // Keys typed into a browser that is still starting up can get lost: try the address bar
        // a few times.
        for (int attempt = 0; attempt < 3 && !loaded(); ++attempt) {
            EXPECT_TRUE(browser->open(url));
            if (waitUntil(loaded, 10s))
                break;
        }
        EXPECT_TRUE(loaded()) << "page did not load: " << url.toStdString();
        settle(300ms);
        return webArea;
    }

    // Clicks the element with that DOM id and waits until the accessibility reports it focused.
    std::optional<Element> focusById(const Element& webArea, const QString& id)
    {
        // Right after a load the element may exist before it is laid out: wait for its frame.
        std::optional<Element> element;
        std::optional<Rect> frame;
        waitUntil(
            [&] {
                element = findElement(*accessibility, webArea, &ElementTree::domId, id);
                frame = element ? accessibility->screenFrame(*element) : std::nullopt;
                return frame.has_value();
            },
            10s);
        EXPECT_TRUE(frame) << "no element #" << id.toStdString() << " on screen";
        if (!frame)
            return std::nullopt;
        EXPECT_TRUE(clickAt(*frame));
        EXPECT_TRUE(waitUntil([&] { return accessibility->focusedElement() == element; }, 5s))
            << "focus did not reach #" << id.toStdString();
        return element;
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

    QString valueOf(const Element& element) { return accessibility->text(element).value_or(QString()); }

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
