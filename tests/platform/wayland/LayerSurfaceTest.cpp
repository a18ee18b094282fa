#include "platform/wayland/LayerSurface.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

TEST(LayerSurfacePlacement, PicksTheOutputAndTheMarginFromItsCorner)
{
    // A 1280 × 1024 output, a 1920 × 1080 one to its right and a third above it, in desktop pixels.
    const QList<QRect> outputs = {{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}, {1280, -900, 1600, 900}};
    const struct {
        const char* name;
        QPoint topLeft;
        std::optional<OutputPlacement> expected;
    } rows[] = {
        {"on the first", {100, 420}, OutputPlacement{0, {100, 420}}},
        {"on the second", {1500, 30}, OutputPlacement{1, {220, 30}}},
        {"above, on the third", {2000, -40}, OutputPlacement{2, {720, 860}}},
        {"below the first, kept inside it", {50, 1100}, OutputPlacement{0, {50, 1023}}},
        {"left of everything", {-30, 200}, OutputPlacement{0, {0, 200}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(placeOnOutputs(outputs, row.topLeft), row.expected);
    }
}

} // namespace
} // namespace tessary
