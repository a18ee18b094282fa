// Element frames and the chip on a layout of two screens of unequal height, the shorter one primary
// (scripts/desktop-session --two-screens): a field on each screen, read through AT-SPI from another
// process, and the chip placed right under it on the same screen.

#include "chip/ChipPanel.h"
#include "desktop/screen/DesktopDriver.h"
#include "platform/session/SessionAccessibility.h"

#include <QApplication>
#include <QProcess>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace tessary::test {
namespace {

using namespace std::chrono_literals;

// The test window's code field, at a window placed with its top-left corner at `at`, as the window
// reports it itself.
struct ShownField {
    std::unique_ptr<QProcess> window = std::make_unique<QProcess>();
    std::optional<QRect> code;

    explicit ShownField(QPoint at)
    {
        window->start(QStringLiteral(TESSARY_TEST_WINDOW),
                      {QStringLiteral("--at"), QString::number(at.x()), QString::number(at.y())});
        waitUntil(
            [&] {
                while (window->canReadLine()) {
                    const QStringList words = QString::fromUtf8(window->readLine()).split(QLatin1Char(' '));
                    if (words.size() == 5 && words.at(0) == QLatin1String("code"))
                        code = QRect(words.at(1).toInt(), words.at(2).toInt(), words.at(3).toInt(),
                                     words.at(4).toInt());
                }
                return code.has_value();
            },
            20s);
    }
    ~ShownField() { stopChild(*window); }
};

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
        ShownField shown(QPoint(area.x() + 100, area.y() + area.height() - 300));
        ASSERT_TRUE(shown.code);
        const QRect field = *shown.code;
        ASSERT_EQ(QGuiApplication::screenAt(field.center()), screen);

        ASSERT_TRUE(clickAt(Rect{field.x(), field.y(), field.width(), field.height()}));
        std::optional<Rect> frame;
        ASSERT_TRUE(waitUntil(
            [&] {
                const std::optional<Element> focused = accessibility->focusedElement();
                frame = focused ? accessibility->screenFrame(*focused) : std::nullopt;
                return frame && frame->width == field.width();
            },
            10s));
        EXPECT_EQ(*frame, (Rect{field.x(), field.y(), field.width(), field.height()}));

        ChipPanel chip;
        chip.model().setState(ChipModel::Searching{});
        chip.place(frame);
        const QPoint corner = chip.window().geometry().topLeft();
        EXPECT_EQ(corner, QPoint(field.x(), field.y() + field.height() + 4));
        EXPECT_EQ(QGuiApplication::screenAt(corner), screen);
    }
}

} // namespace
} // namespace tessary::test

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
