// Element frames and the chip on a layout of two screens of unequal height, the shorter one primary
// (scripts/desktop-session --two-screens): a field on each screen, read through AT-SPI from another
// process, and the chip placed right under it on the same screen; also with this process's Qt
// scaling its windows (QT_SCALE_FACTOR=2, as Xft.dpi 192 does), the field's window unscaled.

#include "chip/ChipPanel.h"
#include "desktop/platform/TestWindowProcess.h"
#include "platform/qt/QtOwnAccessibility.h"
#include "platform/session/SessionAccessibility.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace tessary::test {
namespace {

// Qt's pixels on `screen` in the X server's: its top-left corner is kept, lengths are multiplied.
QPoint inScreenPixels(QPoint point, const QScreen& screen)
{
    const QPoint origin = screen.geometry().topLeft();
    return origin + (point - origin) * screen.devicePixelRatio();
}

QRect inScreenPixels(const QScreen& screen)
{
    return {screen.geometry().topLeft(), screen.geometry().size() * screen.devicePixelRatio()};
}

TEST(TwoScreens, TheChipStandsUnderAFieldOnEitherScreen)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(screens.size(), 2) << "run under scripts/desktop-session --two-screens";
    ASSERT_LT(inScreenPixels(*QGuiApplication::primaryScreen()).height(), 1024);
    const std::unique_ptr<AtspiAccessibility> accessibility = makeSessionAccessibility();

    for (QScreen* screen : screens) {
        SCOPED_TRACE(screen->name().toStdString());
        // Low on each screen, where a mix-up of the two screens' heights shows at once.
        const QRect area = inScreenPixels(*screen);
        const TestWindowProcess window(QPoint(area.x() + 100, area.y() + area.height() - 300));
        ASSERT_TRUE(window.fields.contains(QStringLiteral("code")));
        const Rect field = window.fields.value(QStringLiteral("code"));
        ASSERT_TRUE(area.contains(QPoint(field.x + field.width / 2, field.y + field.height / 2)));

        const std::optional<Element> focused = window.click(*accessibility, QStringLiteral("code"));
        ASSERT_TRUE(focused);
        const std::optional<Rect> frame = accessibility->screenFrame(*focused);
        EXPECT_EQ(frame, field);

        ChipPanel chip;
        chip.model().setState(ChipModel::Searching{});
        chip.place(frame);
        const QPoint corner = chip.window().geometry().topLeft();
        // Within one of Qt's pixels: a scaled window cannot stand at every pixel of the server.
        const QPoint off = inScreenPixels(corner, *screen) - QPoint(field.x, field.y + field.height + 4);
        EXPECT_LT(std::max(std::abs(off.x()), std::abs(off.y())), screen->devicePixelRatio())
            << off.x() << "," << off.y();
        EXPECT_EQ(QGuiApplication::screenAt(corner), screen);

        // A field of our own, as onboarding's practice field: Qt gives its frame in Qt's pixels.
        QWidget ownWindow;
        auto* ownField = new QLineEdit(&ownWindow);
        ownWindow.move(screen->geometry().topLeft() + QPoint(60, 40));
        ownWindow.show();
        ownWindow.activateWindow();
        ownField->setFocus();
        ASSERT_TRUE(waitUntil([&] { return ownField->hasFocus(); }, std::chrono::seconds(5)));
        QtOwnAccessibility own;
        const std::optional<Element> ownFocused = own.focusedElement();
        ASSERT_TRUE(ownFocused);
        chip.place(own.screenFrame(*ownFocused));
        EXPECT_EQ(chip.window().geometry().topLeft(), ownField->mapToGlobal(QPoint(0, ownField->height())) +
                                                          QPoint(0, qRound(4 / screen->devicePixelRatio())));
    }
}

} // namespace
} // namespace tessary::test
