#include "platform/kwin/KwinWindow.h"
#include "platform/kwin/LayoutKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <gtest/gtest.h>

namespace tessary {

void PrintTo(const LayoutKeymap::Stroke& stroke, std::ostream* out)
{
    for (const unsigned modifier : stroke.modifiers)
        *out << modifier << "+";
    *out << stroke.key;
}

namespace {

// evdev codes of the keys the rows below press.
constexpr unsigned leftShift = 42, rightAlt = 100, key1 = 2, key2 = 3, keyE = 18, keyA = 30, keyQ = 16,
                   euroKey = 435;

TEST(LayoutKeymap, EachCharacterIsTypedWithTheKeysThatGiveItOnTheLayout)
{
    using Stroke = LayoutKeymap::Stroke;
    struct Row {
        const char* layouts;
        unsigned active;
        char32_t character;
        std::optional<Stroke> stroke;
    };
    const Row rows[] = {
        {"us", 0, U'A', Stroke{{leftShift}, keyA}},
        {"us", 0, U'a', Stroke{{}, keyA}},
        {"us", 0, U'\u00e9', std::nullopt},        // é: not on a US keyboard
        {"us", 0, U'\u20ac', Stroke{{}, euroKey}}, // €: every keymap has a Euro key beyond X11's
        // French: digits need Shift, "a" and "q" change places, "é" is a key of its own, "€" AltGr.
        {"fr", 0, U'1', Stroke{{leftShift}, key1}},
        {"fr", 0, U'a', Stroke{{}, keyQ}},
        {"fr", 0, U'\u00e9', Stroke{{}, key2}},
        {"fr", 0, U'\u20ac', Stroke{{rightAlt}, keyE}},
        {"fr", 0, U'\u0436', std::nullopt}, // ж
        // The user switched to the second layout: its keys are the ones that type.
        {"us,fr", 1, U'1', Stroke{{leftShift}, key1}},
        {"us,ru", 1, U'a', std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.layouts) + " " + std::to_string(row.active) + " " +
                     QString::fromUcs4(&row.character, 1).toStdString());
        const std::optional<LayoutKeymap> keymap = LayoutKeymap::fromNames(row.layouts, row.active);
        ASSERT_TRUE(keymap);
        EXPECT_EQ(keymap->strokeFor(xkb_utf32_to_keysym(row.character)), row.stroke);
    }
    EXPECT_FALSE(LayoutKeymap::fromText("not a keymap"));
}

TEST(KwinWindow, TheScriptsReportsAreReadOrRefused)
{
    const std::optional<KwinWindow> window = parseKwinWindow(QStringLiteral(
        R"({"pid": 41, "resourceClass": "firefox-esr", "frame": [10, 20, 800, 600], "buffer": [0, 2.5, 820, 630]})"));
    ASSERT_TRUE(window);
    EXPECT_EQ(window->pid, 41);
    EXPECT_EQ(window->resourceClass, "firefox-esr");
    EXPECT_EQ(window->frame.x, 10);
    EXPECT_EQ(window->frame.height, 600);
    EXPECT_EQ(window->buffer.y, 3); // a fractional scale's edge, rounded
    for (const char* report : {"", "{}", R"({"pid": 0, "frame": [0,0,1,1], "buffer": [0,0,1,1]})",
                               R"({"pid": 3, "frame": [0,0,1], "buffer": [0,0,1,1]})",
                               R"({"pid": 3, "frame": [0,0,"1",1], "buffer": [0,0,1,1]})"}) {
        SCOPED_TRACE(report);
        EXPECT_FALSE(parseKwinWindow(QString::fromUtf8(report)));
    }
}

} // namespace
} // namespace tessary
