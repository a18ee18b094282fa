// Detection and typing against a real browser (Firefox ESR or Chromium, from TESSARY_TEST_BROWSER)
// on pages served from 127.0.0.1, under scripts/desktop-session. One browser serves every case.

#include "common/Clock.h"
#include "desktop/screen/DesktopDriver.h"
#include "desktop/screen/PageServer.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/XTestKeyboard.h"
#include "screen/CodeField.h"
#include "screen/ElementTreeDump.h"
#include "screen/LinkPage.h"
#include "screen/TypeCode.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

#include <functional>

namespace tessary::test {
namespace {

using namespace std::chrono_literals;

class BrowserPages : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = new PageServer(QStringLiteral(TESSARY_TEST_PAGES));
        accessibility = new AtspiAccessibility;
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
                application ? accessibility->elementAttribute(*application, QStringLiteral("AXFocusedWindow"))
                            : std::nullopt;
            webArea =
                window ? findByRole(*accessibility, *window, QStringLiteral("AXWebArea"), 400) : std::nullopt;
            return webArea && accessibility->stringAttribute(*webArea, QStringLiteral("AXURL")) == url &&
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
                element = findElement(*accessibility, webArea, QStringLiteral("AXDOMIdentifier"), id);
                frame = element ? accessibility->screenFrame(*element) : std::nullopt;
                return frame.has_value();
            },
            10s);
        EXPECT_TRUE(frame) << "no element #" << id.toStdString() << " on screen";
        if (!frame)
            return std::nullopt;
        EXPECT_TRUE(clickAt(*frame, screenHeight()));
        EXPECT_TRUE(waitUntil([&] { return accessibility->focusedElement() == element; }, 5s))
            << "focus did not reach #" << id.toStdString();
        return element;
    }

    static int screenHeight() { return EwmhFrontmost().screenHeight(); }

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
        return application ? accessibility->elementAttribute(*application, QStringLiteral("AXFocusedWindow"))
                           : std::nullopt;
    }

    QString valueOf(const Element& element)
    {
        return accessibility->stringAttribute(element, QStringLiteral("AXValue")).value_or(QString());
    }

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

// Waits until `tessary-inspect focus --watch` prints a classification that matches; every line it
// printed meanwhile goes into `seen`, for the failure message.
bool watchPrints(QProcess& watch, const std::function<bool(const QJsonObject&)>& matches, QStringList& seen)
{
    return waitUntil(
        [&] {
            while (watch.canReadLine()) {
                const QByteArray line = watch.readLine().trimmed();
                seen.append(QString::fromUtf8(line));
                if (matches(QJsonDocument::fromJson(line).object()))
                    return true;
            }
            return false;
        },
        10s);
}

TEST_F(BrowserPages, FocusWatchClassifiesEachFieldFocusedInTurn)
{
    // The first test of the suite, so that no client has asked the browser for a frame yet: in
    // the instant its first field takes the focus, Firefox does not know that field's frame.
    QProcess watch; // killed with the object, whatever the test's outcome
    watch.start(QStringLiteral(TESSARY_INSPECT), {QStringLiteral("focus"), QStringLiteral("--watch")});
    ASSERT_TRUE(watch.waitForStarted(10000));
    QStringList seen;
    const auto printed = [&](const std::function<bool(const QJsonObject&)>& matches) {
        const bool found = watchPrints(watch, matches, seen);
        EXPECT_TRUE(found) << seen.join('\n').toStdString();
        return found;
    };

    ASSERT_TRUE(openPage(QStringLiteral("single-code.html")));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Tab")})); // into the code field
    printed([](const QJsonObject& line) {
        return line.value(QStringLiteral("codeField")) == true &&
               line.value(QStringLiteral("domain")).toString() == QStringLiteral("127.0.0.1");
    });

    const std::optional<Element> signIn = openPage(QStringLiteral("password.html"));
    ASSERT_TRUE(signIn);
    for (const QString& reason : {QStringLiteral("password field"), QStringLiteral("search field")}) {
        ASSERT_TRUE(focusById(*signIn, reason.section(QLatin1Char(' '), 0, 0)));
        printed([&](const QJsonObject& line) {
            return line.value(QStringLiteral("codeField")) == false &&
                   line.value(QStringLiteral("reason")).toString() == reason;
        });
    }
    watch.terminate();
    EXPECT_TRUE(watch.waitForFinished(5000));
}

TEST_F(BrowserPages, FrontmostBrowserIsNamedByItsDesktopFile)
{
    ASSERT_TRUE(openPage(QStringLiteral("typing.html")));
    const std::optional<RunningApplication> front = accessibility->frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->pid, browser->pid());
    EXPECT_EQ(front->bundleIdentifier, browser->desktopId());
    EXPECT_EQ(front->bundleURL,
              QStringLiteral("/usr/share/applications/%1.desktop").arg(browser->desktopId()));
}

TEST_F(BrowserPages, SingleCodeFieldIsDetectedWithPageHostAndRealFrame)
{
    const std::optional<Element> page = openPage(QStringLiteral("single-code.html"));
    ASSERT_TRUE(page);
    const std::optional<Element> field = focusById(*page, QStringLiteral("entry"));
    ASSERT_TRUE(field);
    record(QStringLiteral("single-code"), *page);
    const std::optional<CodeField> detected =
        CodeField::detect(*accessibility, *accessibility->focusedElement());
    ASSERT_TRUE(detected);
    EXPECT_EQ(detected->domain, QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(detected->frame);
    // The click at the middle of this frame is what focused the field, so the frame is where the
    // field really is; the page gives it a width of about 220 points.
    EXPECT_EQ(detected->frame, accessibility->screenFrame(*field));
    EXPECT_GT(detected->frame->width, 200);
    EXPECT_LT(detected->frame->width, 260);
    EXPECT_GT(detected->frame->y, 0);

    type(QStringLiteral("482913"), *field);
    EXPECT_EQ(valueOf(*field), QStringLiteral("482913"));
}

TEST_F(BrowserPages, RowOfSixBoxesIsDetectedAndFilledBoxByBox)
{
    const std::optional<Element> page = openPage(QStringLiteral("six-boxes.html"));
    ASSERT_TRUE(page);
    const std::optional<Element> first = focusById(*page, QStringLiteral("d1"));
    ASSERT_TRUE(first);
    EXPECT_TRUE(CodeField::detect(*accessibility, *first));
    record(QStringLiteral("six-boxes"), *page);

    type(QStringLiteral("482913"), *first);
    QString typed;
    for (int box = 1; box <= 6; ++box) {
        const std::optional<Element> element = findElement(
            *accessibility, *page, QStringLiteral("AXDOMIdentifier"), QStringLiteral("d%1").arg(box));
        ASSERT_TRUE(element);
        typed += valueOf(*element) + QLatin1Char('|');
    }
    EXPECT_EQ(typed, QStringLiteral("4|8|2|9|1|3|"));
}

TEST_F(BrowserPages, PasswordAndSearchFieldsAreNotCodeFields)
{
    const std::optional<Element> page = openPage(QStringLiteral("password.html"));
    ASSERT_TRUE(page);
    for (const QString& id : {QStringLiteral("password"), QStringLiteral("search")}) {
        const std::optional<Element> field = focusById(*page, id);
        ASSERT_TRUE(field);
        EXPECT_FALSE(CodeField::detect(*accessibility, *field)) << id.toStdString();
        record(id + QStringLiteral("-field"), *page);
    }
}

TEST_F(BrowserPages, LinkPagesAreRecognisedByKind)
{
    const std::optional<Element> magic = openPage(QStringLiteral("magic-link.html"));
    ASSERT_TRUE(magic);
    std::optional<LinkPage> page = LinkPage::detect(*accessibility);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->kind, FoundLink::Kind::signIn);
    EXPECT_EQ(page->host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(page->url, server->url(QStringLiteral("magic-link.html")));
    EXPECT_TRUE(page->anchor);
    if (const std::optional<Element> window = focusedWindow())
        record(QStringLiteral("magic-link"), *window);
    // The command-line window onto the same detection, reading the live desktop.
    QProcess inspect;
    inspect.start(QStringLiteral(TESSARY_INSPECT), {QStringLiteral("page")});
    ASSERT_TRUE(inspect.waitForFinished(30000));
    EXPECT_EQ(inspect.exitCode(), 0) << inspect.readAllStandardError().toStdString();
    const QJsonObject printed = QJsonDocument::fromJson(inspect.readAllStandardOutput()).object();
    EXPECT_EQ(printed.value(QStringLiteral("kind")).toString(), QStringLiteral("signIn"));
    EXPECT_EQ(printed.value(QStringLiteral("url")).toString(),
              server->url(QStringLiteral("magic-link.html")));

    ASSERT_TRUE(openPage(QStringLiteral("confirm-email.html")));
    page = LinkPage::detect(*accessibility);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->kind, FoundLink::Kind::confirm);
    if (const std::optional<Element> window = focusedWindow())
        record(QStringLiteral("confirm-email"), *window);

    ASSERT_TRUE(openPage(QStringLiteral("single-code.html")));
    EXPECT_FALSE(LinkPage::detect(*accessibility));
}

TEST_F(BrowserPages, TextOutsideTheKeymapLandsAsTyped)
{
    const std::optional<Element> page = openPage(QStringLiteral("typing.html"));
    ASSERT_TRUE(page);
    const std::optional<Element> field = focusById(*page, QStringLiteral("free"));
    ASSERT_TRUE(field);
    type(QStringLiteral("AbC-é"));
    EXPECT_EQ(valueOf(*field), QStringLiteral("AbC-é"));
}

} // namespace
} // namespace tessary::test
