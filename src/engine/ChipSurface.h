#pragma once

#include "engine/ChipModel.h"
#include "screen/Accessibility.h"

#include <optional>

namespace tessary {

// The floating chip as the engine drives it: its model, where it stands, whether it is shown.
class ChipSurface {
public:
    ChipSurface() = default;
    ChipSurface(const ChipSurface&) = delete;
    ChipSurface& operator=(const ChipSurface&) = delete;
    virtual ~ChipSurface() = default;

    // The model the chip renders; it lives as long as the surface.
    virtual ChipModel& model() = 0;
    // Sizes and places the chip under `target` (bottom-left screen rectangle), or next to the mouse
    // pointer when none; shows it when hidden.
    virtual void place(std::optional<Rect> target) = 0;
    // Takes the chip off the screen at once, without a fade.
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;
};

} // namespace tessary
