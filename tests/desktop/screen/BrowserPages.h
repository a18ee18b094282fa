#pragma once

// The browser suites of the screen logic: the shared browser fixture with hands to record trees
// and to type.

#include "common/Clock.h"
#include "desktop/screen/BrowserSuite.h"
#include "platform/x11/XTestKeyboard.h"
#include "screen/ElementTreeDump.h"
#include "screen/LinkPage.h"
#include "screen/TypeCode.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <QCoro/QCoroTask>

namespace tessary::test {

using namespace std::chrono_literals;

class BrowserPages : public BrowserSuite {
protected:
    static void SetUpTestSuite()
    {
        BrowserSuite::SetUpTestSuite();
        keyboard = new XTestKeyboard(systemClock);
    }
    static void TearDownTestSuite()
    {
        delete keyboard;
        BrowserSuite::TearDownTestSuite();
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

    void type(const QString& code, std::optional<Element> element = std::nullopt)
    {
        QCoro::waitFor(typeCode(*accessibility, *keyboard, systemClock, code, element));
        settle(300ms);
    }

    static inline SystemClock systemClock;
    static inline XTestKeyboard* keyboard = nullptr;
};

} // namespace tessary::test
