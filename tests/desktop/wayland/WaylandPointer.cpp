// wayland-click X Y LAYOUT_WIDTH LAYOUT_HEIGHT: one left click at a point of the output layout,
// through a virtual pointer, for tests on a compositor with no pointer device (headless sway).
// Exits 0 once the compositor has handled the click, 1 when it offers no virtual pointer.
// wayland-click --hold: keeps a pointer device on the seat until stopped, as a desktop has one.

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/input-event-codes.h>

namespace {

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* pointers = nullptr;
};

void announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* globals = static_cast<Globals*>(data);
    if (!std::strcmp(interface, wl_seat_interface.name) && !globals->seat)
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (!std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name))
        globals->pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void withdraw(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {announce, withdraw};

} // namespace

int main(int argc, char** argv)
{
    const bool hold = argc == 2 && !std::strcmp(argv[1], "--hold");
    if (argc != 5 && !hold) {
        std::fputs("usage: wayland-click X Y LAYOUT_WIDTH LAYOUT_HEIGHT | --hold\n", stderr);
        return 2;
    }
    const auto number = [&](int index) { return uint32_t(std::strtoul(argv[index], nullptr, 10)); };
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fputs("wayland-click: no Wayland display\n", stderr);
        return 1;
    }
    Globals globals;
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &globals);
    wl_display_roundtrip(display);
    if (!globals.pointers) {
        std::fputs("wayland-click: the compositor offers no virtual pointer\n", stderr);
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.pointers, globals.seat);
    if (hold) {
        while (wl_display_dispatch(display) >= 0) {
        }
        return 0;
    }
    zwlr_virtual_pointer_v1_motion_absolute(pointer, 0, number(1), number(2), number(3), number(4));
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    zwlr_virtual_pointer_v1_button(pointer, 0, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    zwlr_virtual_pointer_v1_button(pointer, 0, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
