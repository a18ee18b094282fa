#include "platform/gnome/GnomeAccelerators.h"
#include "platform/gnome/GnomeFrontmost.h"
#include "platform/gnome/GnomeLayout.h"

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <gtest/gtest.h>

namespace tessary {
namespace {

// A character the shell's layout has no key for (on its first two levels) would be dropped by the
// shell, so the keyboard must know which ones it has.
TEST(GnomeLayout, KnowsWhichCharactersTheShellsLayoutTypes)
{
    struct Row {
        const char* layouts;
        uint group;
        char32_t character;
        bool types;
    };
    const Row rows[] = {
        {"", 0, U'A', true}, // the compositor's default, "us"
        {"us", 0, U'-', true},
        {"us", 0, U'7', true},
        {"us", 0, U'é', false},
        {"us", 0, U'€', false},
        {"fr", 0, U'é', true},
        {"de", 0, U'€', false}, // AltGr+E: a third level, which the shell does not press
        {"ru", 0, U'a', false},
        {"us,ru", 1, U'ж', true},
        {"us,ru", 1, U'a', false},
        {"no-such-layout", 0, U'a', false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.layouts) + " " + std::to_string(row.group) + " U+" +
                     std::to_string(unsigned(row.character)));
        const GnomeLayout layout(QString::fromLatin1(row.layouts), {}, {}, row.group);
        EXPECT_EQ(layout.types(keysymOf(row.character)), row.types);
    }
}

TEST(GnomeAccelerators, ShortcutsAreWrittenAndReadAsGnomeDoes)
{
    EXPECT_EQ(gnomekeys::acceleratorOf(Shortcut::defaultShortcutFor(false)),
              QStringLiteral("<Shift><Super>o"));
    EXPECT_EQ(gnomekeys::acceleratorOf(Shortcut::defaultShortcutFor(true)),
              QStringLiteral("<Control><Alt>o"));
    using gnomekeys::Combo;
    struct Row {
        const char* accelerator;
        std::optional<Combo> combo;
    };
    const Row rows[] = {
        {"<Shift><Super>o", Combo{Combo::shift | Combo::super, 'o'}},
        {"<Super><Shift>O", Combo{Combo::shift | Combo::super, 'o'}},
        {"<Primary><Alt>space", Combo{Combo::control | Combo::alt, ' '}},
        {"<Ctrl><Mod1>Space", Combo{Combo::control | Combo::alt, ' '}},
        {"<Super>Page_Down", Combo{Combo::super, 0xff56}},
        {"<Super>", std::nullopt},
        {"<Hyper>x", std::nullopt},
        {"<Super>no-such-key", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.accelerator);
        EXPECT_EQ(gnomekeys::parseAccelerator(QString::fromLatin1(row.accelerator)), row.combo);
    }
}

// A shortcut the user made in GNOME's Settings lives in a settings object of its own, named in a
// list; the shell refuses its combination to anyone else just the same.
TEST(GnomeAccelerators, TheUsersCustomShortcutsAreBoundToo)
{
    const char* list = "org.gnome.settings-daemon.plugins.media-keys";
    const char* custom = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, custom, TRUE) : nullptr;
    if (!schema)
        GTEST_SKIP() << "GNOME's settings daemon is not installed";
    g_settings_schema_unref(schema);
    qputenv("GSETTINGS_BACKEND", "memory"); // nothing of the user's is read or written
    const char* path = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/";
    GSettings* one = g_settings_new_with_path(custom, path);
    g_settings_set_string(one, "binding", "<Super><Shift>o");
    g_object_unref(one);
    const gchar* const paths[] = {path, nullptr};
    GSettings* all = g_settings_new(list);
    g_settings_set_strv(all, "custom-keybindings", paths);
    g_object_unref(all);
    using gnomekeys::Combo;
    EXPECT_TRUE(gnomekeys::boundCombos().contains((Combo{Combo::shift | Combo::super, 'o'})));
}

// AT-SPI's window-relative extents start at the buffer's corner when the window's accessible is as
// large as the buffer (shadows drawn inside it), under the title bar Qt draws in the frame, else at
// the frame's corner.
TEST(GnomeFrontmost, WindowPositionsStartAtTheBufferOrTheFrame)
{
    const Frontmost::Extents frame{100, 80, 800, 600};
    const Frontmost::Extents buffer{74, 56, 852, 652};
    EXPECT_EQ(windowOrigin(frame, buffer, {0, 0, 852, 652}).x, 74);
    EXPECT_EQ(windowOrigin(frame, buffer, {26, 24, 800, 600}).x, 100);
    const Frontmost::Extents maximised{0, 32, 1280, 768};
    EXPECT_EQ(windowOrigin(maximised, maximised, {0, 0, 1280, 768}).y, 32);
    const Frontmost::Extents qtFrame{113, 136, 526, 453};
    const Frontmost::Extents underTitleBar = windowOrigin(qtFrame, qtFrame, {0, 0, 520, 420});
    EXPECT_EQ(std::pair(underTitleBar.x, underTitleBar.y), std::pair(116, 166));
}

} // namespace
} // namespace tessary
