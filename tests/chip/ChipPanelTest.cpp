#include "chip/ChipPanel.h"
#include "chip/ChipPlacement.h"

#include <QPropertyAnimation>
#include <QWidget>

#include <gtest/gtest.h>

namespace tessary {
namespace {

TEST(ChipPlacement, FollowsTheFieldWithinTheVisibleArea)
{
    // Screen pixels, top-left origin. A 1000 × 800 screen with a 40-high dock at the bottom, and a
    // second screen to its right.
    const QList<ScreenArea> screens = {{{0, 0, 1000, 800}, {0, 0, 1000, 760}},
                                       {{1000, 0, 800, 600}, {1000, 0, 800, 600}}};
    // A laptop's 1024 × 600 primary screen beside a taller 1280 × 1024 monitor: the layout is
    // taller than the primary screen, so nothing may measure from the primary screen's height.
    const QList<ScreenArea> laptopAndMonitor = {{{0, 0, 1024, 600}, {0, 0, 1024, 600}},
                                                {{1024, 0, 1280, 1024}, {1024, 0, 1280, 1024}}};
    const QSize chip(200, 30);
    const QPoint pointer(500, 300);
    const struct {
        const char* name;
        const QList<ScreenArea>& screens;
        std::optional<Rect> field;
        Rect chip;
    } rows[] = {
        {"below the field", screens, Rect{100, 380, 150, 20}, {100, 404, 200, 30}},
        {"above a field near the dock", screens, Rect{100, 720, 150, 20}, {100, 686, 200, 30}},
        {"pushed left at the right edge", screens, Rect{900, 380, 80, 20}, {796, 404, 200, 30}},
        {"kept inside the second screen", screens, Rect{1700, 280, 90, 20}, {1596, 304, 200, 30}},
        {"off every screen", screens, Rect{5000, 380, 80, 20}, {5000, 404, 200, 30}},
        {"at the pointer without a field", screens, std::nullopt, {512, 312, 200, 30}},
        {"on the shorter primary screen", laptopAndMonitor, Rect{100, 300, 150, 20}, {100, 324, 200, 30}},
        {"on the taller second screen", laptopAndMonitor, Rect{1100, 700, 200, 30}, {1100, 734, 200, 30}},
        {"below the primary's bottom", laptopAndMonitor, Rect{1100, 980, 200, 30}, {1100, 946, 200, 30}},
    };
    for (const auto& expected : rows) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(chipFrame(chip, expected.field, expected.screens, pointer), expected.chip);
    }
}

TEST(ChipPanel, FadesInOnlyWhenItWasHidden)
{
    ChipPanel panel;
    panel.model().setState(ChipModel::Failed{QStringLiteral("No code arrived")});
    panel.place(Rect{100, 400, 150, 20});
    QWidget& window = panel.window();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(window.pos(), QPoint(100, 424));
    EXPECT_EQ(panel.fade().state(), QAbstractAnimation::Running);
    EXPECT_EQ(window.windowOpacity(), 0.0);

    panel.fade().setCurrentTime(panel.fade().duration());
    panel.model().setState(ChipModel::Searching{});
    panel.place(Rect{300, 200, 150, 20});
    EXPECT_EQ(panel.fade().state(), QAbstractAnimation::Stopped);
    EXPECT_EQ(window.windowOpacity(), 1.0);
    EXPECT_EQ(window.geometry().topLeft(), QPoint(300, 224));
    EXPECT_EQ(window.height(), 30);

    panel.hide();
    EXPECT_FALSE(panel.isVisible());
    panel.place(std::nullopt);
    EXPECT_EQ(panel.fade().state(), QAbstractAnimation::Running);
    EXPECT_EQ(window.windowOpacity(), 0.0);
}

} // namespace
} // namespace tessary
