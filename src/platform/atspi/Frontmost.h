#pragma once

#include "platform/atspi/AtspiVocabulary.h"
#include "screen/Accessibility.h"

#include <memory>
#include <optional>

namespace tessary {

// What the window system says about windows: which process is in front, how tall the screen is,
// and where an application's window sits. On X11 the window manager answers through EWMH and
// AT-SPI already knows where each element is on the screen; on sway the compositor answers over
// its IPC, and AT-SPI only knows positions inside the window's own surface.
class Frontmost {
public:
    using Extents = atspi::Extents;

    virtual ~Frontmost() = default;
    Frontmost() = default;
    Frontmost(const Frontmost&) = delete;
    Frontmost& operator=(const Frontmost&) = delete;

    // Whether the window system has said which window is in front yet: a desktop that tells us
    // through events (KWin) knows only a moment after start.
    virtual bool known() const { return true; }
    // The process that owns the window with the keyboard focus; 0 when none. Asked every tick.
    virtual qint64 pid() = 0;
    virtual std::optional<RunningApplication> application() = 0;
    // Whether AT-SPI's positions are relative to the window's surface rather than to the screen.
    virtual bool windowRelativeExtents() const = 0;
    // Where the content area of the process's window titled `title` sits, in top-left screen
    // pixels; none when it is unknown or not needed (positions are on the screen already).
    // `windowFrame` is the window's top-level accessible's extents inside its surface.
    virtual std::optional<Extents> windowContent(qint64 pid, const QString& title,
                                                 const Extents& windowFrame) = 0;
    // Screen pixels to one of the window's surface pixels, for the window `windowContent` placed
    // last: more than 1 where the compositor lays monitors out in device pixels and draws a window
    // on a scaled monitor larger than the window measures itself.
    virtual double windowScale(qint64) { return 1; }
};

// An element's place on the screen when it is known only inside its window's surface: the
// surface may draw more than the window's content (Firefox draws its shadow around a floating
// window), so the offset of the window's own frame inside the surface is taken off first.
//   content       the window's content area on the screen, from the compositor
//   element       the element's extents inside the surface
//   windowFrame   the window's top-level accessible's extents inside the same surface
//   scale         screen pixels to a surface pixel
Frontmost::Extents placeOnScreen(const Frontmost::Extents& content, const Frontmost::Extents& element,
                                 const Frontmost::Extents& windowFrame, double scale = 1);

} // namespace tessary
