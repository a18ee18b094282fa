#include "screen/TypeCode.h"

#include "fakes/FakeAccessibility.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeKeyboard.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

using namespace std::chrono_literals;
using Sleeps = QList<std::chrono::nanoseconds>;

const auto repeated = [](std::chrono::nanoseconds duration, int times) { return Sleeps(times, duration); };

// A page (trees/typing.json, "page") with a wide and a narrow field, and a row of eight boxes in two
// groups of four ("box0".."box7"), the first one focused, and a keyboard that types on virtual time.
struct Page {
    test::FakeClock clock;
    test::FakeKeyboard keyboard{clock};
    std::unique_ptr<test::FakeAccessibility> screen =
        std::move(test::FakeAccessibility::fromFile(QStringLiteral(TESSARY_TREES "/typing.json"))).value();

    QList<Element> boxes() const
    {
        QList<Element> all;
        for (int i = 0; i < 8; ++i)
            all.append(*screen->element(QStringLiteral("box%1").arg(i)));
        return all;
    }

    std::optional<QString> type(const QString& code, std::optional<Element> element = std::nullopt)
    {
        return test::runTask(typeCode(*screen, keyboard, clock, code, element));
    }

    // When each key-down was posted.
    QList<std::chrono::nanoseconds> keyDownTimes() const
    {
        QList<std::chrono::nanoseconds> times;
        for (const auto& event : keyboard.events)
            if (event.down)
                times.append(event.at);
        return times;
    }
};

// Keys still held from the hot key are waited for, a second at most, then let go; an empty code
// posts nothing but still waits first; released keys cost nothing.
TEST(Typing, HeldKeysAreWaitedForThenLetGo)
{
    const struct {
        std::optional<std::chrono::nanoseconds> held; // none: until let go
        QString code;
        Sleeps sleeps;
        QList<std::chrono::nanoseconds> keyDowns;
        int releases;
    } rows[] = {{70ms, "1", repeated(20ms, 4), {80ms}, 1},
                {std::nullopt, "1", repeated(20ms, 50), {1s}, 1},
                {30ms, "", repeated(20ms, 2), {}, 0},
                {0ms, "7", {}, {0ms}, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.held ? std::to_string(row.held->count() / 1000000) + " ms" : "held on");
        Page p;
        row.held ? p.keyboard.holdKeysFor(*row.held) : p.keyboard.holdKeys();
        p.type(row.code);
        EXPECT_EQ(p.clock.sleeps, row.sleeps);
        EXPECT_EQ(p.keyDownTimes(), row.keyDowns);
        EXPECT_EQ(p.keyboard.typed(), row.code);
        EXPECT_EQ(p.keyboard.releases, row.releases);
        EXPECT_FALSE(p.keyboard.keysHeld());
    }
}

// A wide field is paced at once, a narrow one after a probe for a row of boxes. The focus known
// at the start may be the page, with the field's own focus event still on its way, even past the
// probe: the field it then names takes the rest of the code.
TEST(Typing, AWideFieldGetsAPaceAtOnceANarrowOneAProbeFirst)
{
    struct Case {
        const char* field;
        Sleeps sleeps;
        QList<std::chrono::nanoseconds> keyDowns;
        const char* learnt = nullptr;
        std::chrono::milliseconds learntAt = 5ms;
    };
    for (const Case& c :
         {Case{"single", repeated(4ms, 5), {0ms, 4ms, 8ms, 12ms, 16ms, 20ms}},
          Case{"narrow", repeated(10ms, 30) + repeated(4ms, 4), {0ms, 300ms, 304ms, 308ms, 312ms, 316ms}},
          Case{"page", Sleeps{10ms} + repeated(4ms, 4), {0ms, 10ms, 14ms, 18ms, 22ms, 26ms}, "single"},
          Case{"page",
               repeated(10ms, 30) + repeated(4ms, 4),
               {0ms, 300ms, 304ms, 308ms, 312ms, 316ms},
               "single",
               302ms}}) {
        SCOPED_TRACE(c.field);
        Page p;
        p.screen->setFocus(p.screen->element(c.field));
        if (c.learnt)
            p.clock.schedule(c.learntAt, [&p, &c] { p.screen->setFocus(p.screen->element(c.learnt)); });
        p.type("482913");
        EXPECT_EQ(p.keyboard.typed(), "482913");
        EXPECT_EQ(p.clock.sleeps, c.sleeps);
        EXPECT_EQ(p.keyDownTimes(), c.keyDowns);
        ASSERT_EQ(p.keyboard.events.size(), 12);
        EXPECT_FALSE(p.keyboard.events[1].down);
        EXPECT_EQ(p.keyboard.events[1].text, "4");
    }
}

// A row of one-character boxes gets a character each time the page has moved the focus to the
// next box, however late the move comes. Boxes that never advance, or stop advancing, and nothing
// focused at all: the probe that sees no move waits its whole time once, and what follows is
// paced as in one field. A focus that moves off the row after a character stops the typing.
TEST(Typing, ARowOfBoxesGetsACharacterEachTimeThePageMovesTheFocus)
{
    const Sleeps settled{10ms, 10ms, 25ms};
    const Sleeps slow = repeated(10ms, 40) + Sleeps{25ms};
    const struct {
        const char* name;
        int advances; // -1: no frontmost application, so no focused element at all
        std::chrono::nanoseconds delay;
        const char* focusAfterFirst; // an element outside the row the user moves to, or none
        Sleeps sleeps;
        QString typed;
        QString boxes;
        const char* code = "4829";
    } rows[] = {
        {"prompt", 3, 15ms, nullptr, settled + settled + settled, "4829", "4|8|2|9|||||"},
        {"later than the probe", 3, 400ms, nullptr, slow + slow + slow, "4829", "4|8|2|9|||||"},
        {"never", 0, 0ms, nullptr, repeated(10ms, 100) + repeated(4ms, 2), "4829", "4||||||||"},
        {"after two", 2, 0ms, nullptr, Sleeps{10ms, 25ms, 10ms, 25ms} + repeated(10ms, 100), "4829",
         "4|8|2||||||"},
        {"nothing focused", -1, 0ms, nullptr, repeated(10ms, 30) + repeated(4ms, 2), "4829", "4||||||||"},
        {"to a wide field", 0, 0ms, "single", Sleeps{10ms, 10ms}, "4", "4||||||||"},
        {"to a box of no row", 0, 0ms, "narrow", Sleeps{10ms, 10ms}, "4", "4||||||||"},
        {"a code split by a dash", 8, 0ms, nullptr,
         Sleeps{10ms, 25ms, 10ms, 25ms, 10ms, 25ms, 10ms, 25ms, 10ms, 25ms, 10ms, 25ms, 10ms, 25ms},
         "ABCD1234", "A|B|C|D|1|2|3|4|", "ABCD-1234"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Page p;
        if (row.advances < 0)
            p.screen->application.reset();
        p.keyboard.playBoxes(*p.screen, p.boxes(), std::max(row.advances, 0), row.delay);
        if (row.focusAfterFirst)
            p.clock.schedule(15ms,
                             [&p, &row] { p.screen->setFocus(p.screen->element(row.focusAfterFirst)); });
        p.type(row.code);
        EXPECT_EQ(p.clock.sleeps, row.sleeps);
        EXPECT_EQ(p.keyboard.typed(), row.typed);
        QString boxes;
        for (const Element& box : p.boxes())
            boxes += p.screen->text(box).value_or(QString()) + QLatin1Char('|');
        EXPECT_EQ(boxes, row.boxes);
    }
}

// Characters the layout holds go 4 ms apart from press to press. One it lacks goes in another
// way than the keys (GNOME commits it through the input method at once, while keys take their
// time): it waits until the field shows every character before it, and the next one, and the
// end of typing (which takes spare keys out of the keymap), wait until it shows too.
TEST(Typing, ACharacterOffTheLayoutWaitsForTheKeysBeforeItToArrive)
{
    const struct {
        const char* name;
        QString code;
        std::optional<std::chrono::nanoseconds> keyLag; // none: the field's text cannot be read
        std::chrono::nanoseconds settle;                // of "é" inside the keyboard, as a spare key's
        Sleeps sleeps;
        QString value;
    } rows[] = {
        {"layout only, keys lag", "AbC-1", 25ms, 0ms, repeated(4ms, 4), "AbC-1"},
        {"input method overtakes keys", QStringLiteral("AbC-é€"), 25ms, 0ms,
         repeated(4ms, 4) + repeated(10ms, 3) + Sleeps{4ms}, QStringLiteral("AbC-é€")},
        {"spare key settles", QStringLiteral("1é2"), 0ms, 20ms, Sleeps{4ms, 20ms, 20ms, 0ms},
         QStringLiteral("1é2")},
        {"unreadable field",
         QStringLiteral("1é2"),
         std::nullopt,
         0ms,
         Sleeps{4ms, 40ms, 4ms, 40ms, 40ms},
         {}},
        {"keys later than the polls give up", QStringLiteral("1é"), 1s, 0ms, Sleeps{4ms} + repeated(10ms, 60),
         QStringLiteral("é1")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Page p;
        const Element field = *p.screen->element("single");
        p.screen->setFocus(field);
        p.screen->setAttribute(field, QStringLiteral("AXValue"), QJsonValue::Null);
        p.keyboard.offLayout(QStringLiteral("é€"));
        p.keyboard.settleAround(QStringLiteral("é"), row.settle);
        if (row.keyLag)
            p.keyboard.deliverTo(*p.screen, field, *row.keyLag);
        p.type(row.code);
        EXPECT_EQ(p.clock.sleeps, row.sleeps);
        p.clock.advance(1s); // keys still on their way arrive
        EXPECT_EQ(p.keyboard.typed(), row.code);
        EXPECT_EQ(p.screen->text(field).value_or(QString()), row.value);
        EXPECT_EQ(p.keyboard.typingEnds.size(), 1);
    }
}

// The field given is focused first and gets no more characters once it loses the focus. A letter
// with an accent mark goes composed, or a code point at a time. Half a code in the field is worse
// than none: one with a character the layout lacks is not begun (the user pastes it instead).
TEST(Typing, TheGivenFieldAccentMarksAndCharactersTheLayoutLacks)
{
    Page p;
    const Element single = *p.screen->element("single");
    p.clock.schedule(6ms, [&p] { p.screen->setFocus(p.screen->element("narrow")); });
    p.type("482913", single);
    EXPECT_EQ(p.screen->focusRequests, QList<Element>{single});
    EXPECT_EQ(p.keyboard.typed(), "48");
    EXPECT_EQ(p.keyboard.typingEnds, (QList<std::chrono::nanoseconds>{8ms}));
    // A field that has the focus is not asked to take it again (Firefox moves it away and back).
    p.screen->setFocus(single);
    p.type("1", single);
    EXPECT_EQ(p.screen->focusRequests, QList<Element>{single});

    // "é" has a precomposed form; "q" with an acute accent has none. The accent follows its "q" at
    // once, not after a probe for a row of boxes (the first box of one has the focus, so the probe
    // after the "é" waits the row's time).
    Page accents;
    accents.type(QStringLiteral("e\u0301q\u0301"));
    EXPECT_EQ(accents.keyboard.typed(), QStringLiteral("\u00e9q\u0301"));
    EXPECT_EQ(accents.keyboard.events.size(), 6); // three keys, each one code point
    EXPECT_EQ(accents.clock.sleeps, repeated(10ms, 100));

    Page lacking;
    lacking.keyboard.lack(QStringLiteral("é"));
    EXPECT_EQ(lacking.type(QStringLiteral("12é4")), QStringLiteral("é"));
    EXPECT_TRUE(lacking.keyboard.events.isEmpty());
    EXPECT_EQ(lacking.type(QStringLiteral("1234")), std::nullopt);
    EXPECT_EQ(lacking.keyboard.typed(), "1234");
}

} // namespace
} // namespace tessary
