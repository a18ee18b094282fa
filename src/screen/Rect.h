#pragma once

namespace tessary {

// A rectangle in screen pixels with the origin at the top-left corner of the screen layout (which
// need not be a corner of the primary screen) and y growing downward: the space the window system
// places windows in, used end to end from the accessibility reader to the chip.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace tessary
