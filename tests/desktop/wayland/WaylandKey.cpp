// wayland-key: presses one key on a virtual keyboard of its own, as a physical keyboard does:
//   wayland-key LAYOUTS LAYOUT KEY [MODIFIER...]
// LAYOUTS are the keyboard's xkb layouts ("us,ru"), LAYOUT the index of the one in effect, KEY the
// keysym the key gives in the first layout ("e", "Return"), MODIFIERS xkb modifier names held
// meanwhile ("Control", "Shift", "Mod1", "Mod4").

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Globals {
    wl_seat* seat = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboards = nullptr;
};

void announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* globals = static_cast<Globals*>(data);
    if (!std::strcmp(interface, wl_seat_interface.name) && !globals->seat)
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (!std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name))
        globals->keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
}

void withdraw(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {announce, withdraw};

} // namespace

int main(int argc, char** argv)
{
    const xkb_rule_names names{nullptr, nullptr, argc >= 4 ? argv[1] : "", nullptr, nullptr};
    xkb_keymap* keymap =
        xkb_keymap_new_from_names(xkb_context_new(XKB_CONTEXT_NO_FLAGS), &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    uint32_t key = 0; // evdev's code: xkb's less 8
    const xkb_keysym_t keysym = argc >= 4 ? xkb_keysym_from_name(argv[3], XKB_KEYSYM_CASE_INSENSITIVE) : 0;
    for (xkb_keycode_t code = 8; keymap && !key && code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t* keysyms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &keysyms) == 1 && keysyms[0] == keysym)
            key = code - 8;
    }
    uint32_t modifiers = 0;
    for (int i = 4; keymap && i < argc; ++i)
        if (const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, argv[i]); index < 32)
            modifiers |= 1u << index;
    const char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : "";
    const size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("keymap", MFD_CLOEXEC);
    Globals globals;
    wl_display* display = wl_display_connect(nullptr);
    if (display) {
        wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &globals);
        wl_display_roundtrip(display);
    }
    if (!key || fd < 0 || write(fd, text, size) != ssize_t(size) || !globals.seat || !globals.keyboards) {
        std::fputs("wayland-key: wrong arguments, or no virtual keyboard on the seat\n", stderr);
        return 1;
    }
    auto* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals.keyboards, globals.seat);
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, size);
    const auto layout = uint32_t(std::atoi(argv[2]));
    zwp_virtual_keyboard_v1_modifiers(keyboard, modifiers, 0, 0, layout);
    zwp_virtual_keyboard_v1_key(keyboard, 0, key, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard, 1, key, WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, layout);
    return wl_display_roundtrip(display) < 0 ? 1 : 0;
}
