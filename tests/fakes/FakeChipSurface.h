#pragma once

#include "engine/ChipSurface.h"

#include <QList>

namespace tessary::test {

// A chip that is never drawn: it keeps its model and every target it was placed at.
class FakeChipSurface : public ChipSurface {
public:
    ChipModel chip;
    QList<std::optional<Rect>> placements; // one entry per place(), in order
    bool visible = false;

    ChipModel& model() override { return chip; }
    void place(std::optional<Rect> target) override
    {
        placements.append(target);
        visible = true;
    }
    void hide() override { visible = false; }
    bool isVisible() const override { return visible; }
};

} // namespace tessary::test
