// Element frames and the chip on a layout of two screens of unequal height, the shorter one primary
// (scripts/desktop-session --two-screens): a field on each screen, read through AT-SPI from another
// process, and the chip placed right under it on the same screen.

#include "chip/ChipPanel.h"
#include "desktop/platform/TestWindowProcess.h"
#include "platform/session/SessionAccessibility.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace tessary::test {
namespace {

TEST(TwoScreens, TheChipStandsUnderAFieldOnEitherScreen)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(screens.size(), 2) << "run under scripts/desktop-session --two-screens";
    ASSERT_LT(QGuiApplication::primaryScreen()->geometry().height(), 1024);
    const std::unique_ptr<AtspiAccessibility> accessibility = makeSessionAccessibility();

    for (QScreen* screen : screens) {
        SCOPED_TRACE(screen->name().toStdString());
        // Low on each screen, where a mix-up of the two screens' heights shows at once.
        const QRect area = screen->geometry();
        const TestWindowProcess window(QPoint(area.x() + 100, area.y() + area.height() - 300));
        ASSERT_TRUE(window.fields.contains(QStringLiteral("code")));
        const Rect field = window.fields.value(QStringLiteral("code"));
        ASSERT_EQ(QGuiApplication::screenAt(QPoint(field.x + field.width / 2, field.y + field.height / 2)),
                  screen);

        const std::optional<Element> focused = window.click(*accessibility, QStringLiteral("code"));
        ASSERT_TRUE(focused);
        const std::optional<Rect> frame = accessibility->screenFrame(*focused);
        EXPECT_EQ(frame, field);

        ChipPanel chip;
        chip.model().setState(ChipModel::Searching{});
        chip.place(frame);
        const QPoint corner = chip.window().geometry().topLeft();
        EXPECT_EQ(corner, QPoint(field.x, field.y + field.height + 4));
        EXPECT_EQ(QGuiApplication::screenAt(corner), screen);
    }
}

} // namespace
} // namespace tessary::test
