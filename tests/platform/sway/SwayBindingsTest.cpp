#include "platform/sway/SwayBindings.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

namespace mod = swaybind::mod;

TEST(SwayBindings, ShortcutsAreNamedAsSwayReadsThem)
{
    struct Row {
        qint64 keyCode;
        qint64 modifiers;
        const char* text; // nullptr: no keysym for the key
        quint32 swayModifiers;
    };
    const Row rows[] = {
        {14, modifier::control | modifier::shift, "Ctrl+Shift+e", mod::ctrl | mod::shift},
        {31, modifier::shift | modifier::command, "Shift+Mod4+o", mod::shift | mod::mod4},
        {31, modifier::option | modifier::control, "Ctrl+Alt+o", mod::ctrl | mod::alt},
        {96, modifier::command, "Mod4+F5", mod::mod4},
        {43, modifier::control | modifier::option, "Ctrl+Alt+comma", mod::ctrl | mod::alt},
        {49, modifier::control, "Ctrl+space", mod::ctrl},
        {65, modifier::control, "Ctrl+KP_Decimal", mod::ctrl},
        {117, modifier::shift, "Shift+Delete", mod::shift},
        {18, modifier::control, "Ctrl+1", mod::ctrl},
        {10, modifier::control, nullptr, 0}, // the ISO section key has no row
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keyCode);
        const std::optional<QString> text = swaybind::comboText(Shortcut{row.keyCode, row.modifiers, {}});
        ASSERT_EQ(text.has_value(), row.text != nullptr);
        if (!text)
            continue;
        EXPECT_EQ(*text, QString::fromLatin1(row.text));
        // The name must be one xkb knows, or sway would refuse the binding.
        const std::optional<swaybind::Combo> parsed = swaybind::parseCombo(*text);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->modifiers, row.swayModifiers);
    }
}

TEST(SwayBindings, TheConfigsDefaultModeBindingsAreClashes)
{
    struct Row {
        const char* config;
        const char* combo;
        bool bound;
    };
    const Row rows[] = {
        {"bindsym Ctrl+Shift+e exec x", "Ctrl+Shift+e", true},
        {"bindsym Shift+Control+E exec x", "Ctrl+Shift+e", true}, // aliases, order, case
        {"bindsym Ctrl+Shift+e exec x", "Ctrl+e", false},
        {"set $mod Mod4\nbindsym $mod+Shift+o exec x", "Shift+Mod4+o", true},
        {"set $mod Mod4\nset $modkey Mod1\nbindsym $modkey+o exec x", "Alt+o", true},
        {"bindsym --to-code --no-repeat Ctrl+e exec x", "Ctrl+e", true},
        {"mode \"resize\" {\n  bindsym Ctrl+e resize grow\n}", "Ctrl+e", false},
        {"mode \"resize\" {\n  bindsym Ctrl+r x\n}\nbindsym Ctrl+e x", "Ctrl+e", true},
        {"mode \"default\" {\n  bindsym Ctrl+e x\n}", "Ctrl+e", true},
        {"bindsym {\n  Ctrl+e exec x\n  Ctrl+f exec y\n}", "Ctrl+f", true},
        {"mode resize {\n bindsym {\n  Ctrl+f exec y\n }\n}", "Ctrl+f", false},
        {"input * {\n  xkb_layout us\n}\nbar {\n bindsym Ctrl+e x\n}", "Ctrl+e", false},
        {"input * {\n  xkb_layout us\n}\nbindsym Ctrl+e x", "Ctrl+e", true},
        {"# bindsym Ctrl+e exec x", "Ctrl+e", false},
        {"bindsym \\\n   Ctrl+e exec x", "Ctrl+e", true},
        {"bindcode Ctrl+26 exec x", "Ctrl+e", false},
        {"bindsym Ctrl+e+f exec x", "Ctrl+e", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.config);
        const std::optional<swaybind::Combo> combo = swaybind::parseCombo(QString::fromLatin1(row.combo));
        ASSERT_TRUE(combo);
        EXPECT_EQ(swaybind::configBindings(QString::fromLatin1(row.config)).contains(*combo), row.bound);
    }
}

} // namespace
} // namespace tessary
