#include "chip/ChipPanel.h"
#include "chip/ChipPlacement.h"
#include "fakes/FakeChipSurface.h"

#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <type_traits>

namespace tessary {
namespace {

TEST(ChipPlacement, FollowsTheFieldWithinTheVisibleArea)
{
    // Bottom-left coordinates: a 1000 × 800 screen with a 40-high dock at the bottom, and a second
    // screen to its right.
    const QList<ScreenArea> screens = {{{0, 0, 1000, 800}, {0, 40, 1000, 760}},
                                       {{1000, 0, 800, 600}, {1000, 0, 800, 600}}};
    const QSizeF chip(200, 30);
    const QPointF pointer(500, 300);
    const struct {
        const char* name;
        std::optional<Rect> field;
        Rect chip;
    } rows[] = {
        {"below the field", Rect{100, 400, 150, 20}, {100, 366, 200, 30}},
        {"above a field near the dock", Rect{100, 60, 150, 20}, {100, 84, 200, 30}},
        {"pushed left at the right edge", Rect{900, 400, 80, 20}, {796, 366, 200, 30}},
        {"kept inside the second screen", Rect{1700, 300, 90, 20}, {1596, 266, 200, 30}},
        {"off every screen", Rect{5000, 400, 80, 20}, {-204, 366, 200, 30}},
        {"at the pointer without a field", std::nullopt, {512, 258, 200, 30}},
    };
    for (const auto& expected : rows) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(chipFrame(chip, expected.field, screens, pointer), expected.chip);
    }
    EXPECT_EQ(flipped(Rect{10, 700, 200, 30}, 800), (Rect{10, 70, 200, 30}));
}

TEST(ChipPanel, FadesInOnlyWhenItWasHidden)
{
    ChipPanel panel;
    const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    panel.model().setState(ChipModel::Failed{QStringLiteral("No code arrived")});
    panel.place(Rect{100, 400, 150, 20});
    QWidget& window = panel.window();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(window.pos(), QPoint(100, screenHeight - 400 + 4));
    EXPECT_EQ(panel.fade().state(), QAbstractAnimation::Running);
    EXPECT_EQ(panel.fade().duration(), 120);
    EXPECT_EQ(window.windowOpacity(), 0.0);

    panel.fade().setCurrentTime(panel.fade().duration());
    panel.model().setState(ChipModel::Searching{});
    panel.place(Rect{300, 200, 150, 20});
    EXPECT_EQ(panel.fade().state(), QAbstractAnimation::Stopped);
    EXPECT_EQ(window.windowOpacity(), 1.0);
    EXPECT_EQ(window.geometry().topLeft(), QPoint(300, screenHeight - 200 + 4));
    EXPECT_EQ(window.height(), 30);

    panel.hide();
    EXPECT_FALSE(panel.isVisible());
    panel.place(std::nullopt);
    EXPECT_EQ(panel.fade().state(), QAbstractAnimation::Running);
    EXPECT_EQ(window.windowOpacity(), 0.0);
}

// The engine's tests drive this fake; it must keep up with every operation of the seam.
static_assert(!std::is_abstract_v<test::FakeChipSurface>);

} // namespace
} // namespace tessary
