// Detection and typing against a real browser (Firefox ESR or Chromium, from TESSARY_TEST_BROWSER)
// on pages served from 127.0.0.1, under scripts/desktop-session. One browser serves every case.

#include "desktop/screen/BrowserSuite.h"
#include "screen/CodeField.h"

#include <QProcess>

namespace tessary::test {
namespace {

using namespace std::chrono_literals;
using BrowserPages = BrowserSuite;

TEST_F(BrowserPages, FocusWatchClassifiesEachFieldFocusedInTurn)
{
    // The first test of the suite, so that no client has asked the browser for a frame yet: in
    // the instant its first field takes the focus, Firefox does not know that field's frame.
    QProcess watch; // killed with the object, whatever the test's outcome
    watch.start(QStringLiteral(TESSARY_INSPECT), {"focus", "--watch"});
    ASSERT_TRUE(watch.waitForStarted(10000));
    QStringList seen;
    const auto printed = [&](const std::function<bool(const QJsonObject&)>& matches) {
        EXPECT_TRUE(waitForLine(watch, matches, seen, 10s)) << seen.join('\n').toStdString();
    };

    // The code field, read with the page's host (typed into, and its frame under the chip, in the
    // site pages' and the engine's cases).
    const std::optional<Element> codePage = openPage("single-code.html");
    ASSERT_TRUE(codePage);
    ASSERT_TRUE(xdotool({"key", "Tab"})); // into the code field
    printed([](const QJsonObject& line) {
        return line.value("codeField") == true && line.value("domain").toString() == "127.0.0.1";
    });
    record("single-code", *codePage);

    const std::optional<Element> signIn = openPage("password.html");
    ASSERT_TRUE(signIn);
    // Neither is a code field, read here or by the watch.
    for (const QString& reason : {QStringLiteral("password field"), QStringLiteral("search field")}) {
        const QString id = reason.section(QLatin1Char(' '), 0, 0);
        const std::optional<Clicked> field = focusById(*signIn, id);
        ASSERT_TRUE(field);
        EXPECT_FALSE(CodeField::detect(*accessibility, field->element)) << id.toStdString();
        record(id + "-field", *signIn);
        printed([&](const QJsonObject& line) {
            return line.value("codeField") == false && line.value("reason").toString() == reason;
        });
    }
    watch.terminate();
    EXPECT_TRUE(watch.waitForFinished(5000));
}

TEST_F(BrowserPages, RowOfSixBoxesIsDetectedAndFilledBoxByBox)
{
    const std::optional<Element> page = openPage("six-boxes.html");
    ASSERT_TRUE(page);
    const std::optional<Clicked> first = focusById(*page, "d1");
    ASSERT_TRUE(first);
    EXPECT_TRUE(CodeField::detect(*accessibility, first->element));
    record("six-boxes", *page);

    type("482913", first->element);
    QString typed;
    for (int box = 1; box <= 6; ++box) {
        const std::optional<Element> element =
            findElement(*accessibility, *page, &ElementTree::domId, QStringLiteral("d%1").arg(box));
        ASSERT_TRUE(element);
        typed += valueOf(*element) + QLatin1Char('|');
    }
    EXPECT_EQ(typed, "4|8|2|9|1|3|");
}

TEST_F(BrowserPages, LinkPagesAreRecognisedByKind)
{
    // Read by the command-line window onto the detection, from the live desktop. Each kind's host
    // and anchor are the recorded trees' unit tests'.
    ASSERT_TRUE(openPage("magic-link.html"));
    if (const std::optional<Element> window = focusedWindow())
        record("magic-link", *window);
    QProcess inspect;
    inspect.start(QStringLiteral(TESSARY_INSPECT), {"page"});
    ASSERT_TRUE(inspect.waitForFinished(30000));
    EXPECT_EQ(inspect.exitCode(), 0) << inspect.readAllStandardError().toStdString();
    const QJsonObject printed = QJsonDocument::fromJson(inspect.readAllStandardOutput()).object();
    EXPECT_EQ(printed.value("kind").toString(), "signIn");
    EXPECT_EQ(printed.value("url").toString(), pages->url("magic-link.html"));

    // Its kind is the site pages' confirm rows'; the tree is recorded for the unit tests.
    ASSERT_TRUE(openPage("confirm-email.html"));
    if (const std::optional<Element> window = focusedWindow())
        record("confirm-email", *window);

    ASSERT_TRUE(openPage("single-code.html"));
    EXPECT_FALSE(LinkPage::detect(*accessibility));
}

TEST_F(BrowserPages, TextOutsideTheKeymapLandsAsTyped)
{
    const std::optional<Element> page = openPage("typing.html");
    ASSERT_TRUE(page);
    const std::optional<Clicked> field = focusById(*page, "free");
    ASSERT_TRUE(field);
    type("AbC-é");
    EXPECT_EQ(valueOf(field->element), "AbC-é");
}

} // namespace
} // namespace tessary::test
