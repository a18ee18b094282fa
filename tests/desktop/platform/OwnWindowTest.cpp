// Our own windows under scripts/desktop-session: a field in a window of this very process is read
// through Qt in process, never by asking this process over the accessibility bus, which only the
// main thread, blocked in that call, could answer.

#include "common/Clock.h"
#include "desktop/screen/DesktopDriver.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/XTestKeyboard.h"
#include "screen/CodeField.h"
#include "screen/TypeCode.h"

#include <QApplication>
#include <QCoro/QCoroTask>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace tessary::test {
namespace {

using namespace std::chrono_literals;

// A small window like onboarding's practice step: a heading and the field to practise on.
struct PracticeWindow {
    QWidget window;
    QLineEdit* field = new QLineEdit;

    PracticeWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        auto* label = new QLabel(QStringLiteral("Try it here"));
        label->setBuddy(field);
        layout->addWidget(label);
        field->setPlaceholderText(QStringLiteral("Enter the 6-digit code"));
        field->setObjectName(QStringLiteral("practice"));
        layout->addWidget(field);
        window.resize(360, 120);
        window.show();
        window.activateWindow();
        field->setFocus();
    }
};

TEST(OwnWindow, ACodeFieldOfOurOwnIsFoundClassifiedAndTypedInto)
{
    AtspiAccessibility accessibility;
    SystemClock clock;
    XTestKeyboard keyboard(clock);
    PracticeWindow practice;
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto front = accessibility.frontmostApplication();
            return front && front->pid == QCoreApplication::applicationPid() && practice.field->hasFocus();
        },
        10s));

    const std::optional<Element> focused = accessibility.focusedElement();
    ASSERT_TRUE(focused);
    EXPECT_EQ(accessibility.processId(*focused), QCoreApplication::applicationPid());
    EXPECT_EQ(accessibility.stringAttribute(*focused, QStringLiteral("AXRole")),
              QStringLiteral("AXTextField"));
    EXPECT_EQ(accessibility.stringAttribute(*focused, QStringLiteral("AXPlaceholderValue")),
              QStringLiteral("Enter the 6-digit code"));
    EXPECT_EQ(accessibility.stringAttribute(*focused, QStringLiteral("AXIdentifier")),
              QStringLiteral("practice"));
    const QRect global(practice.field->mapToGlobal(QPoint(0, 0)), practice.field->size());
    const int screenHeight = practice.window.screen()->geometry().height();
    EXPECT_EQ(accessibility.screenFrame(*focused),
              (Rect{double(global.x()), double(screenHeight - global.y() - global.height()),
                    double(global.width()), double(global.height())}));
    const std::optional<Element> label =
        accessibility.elementAttribute(*focused, QStringLiteral("AXTitleUIElement"));
    ASSERT_TRUE(label);
    EXPECT_EQ(accessibility.stringAttribute(*label, QStringLiteral("AXValue")),
              QStringLiteral("Try it here"));
    // The window is found above the field, the way the focus loop climbs.
    const std::optional<Element> application =
        accessibility.applicationElement(QCoreApplication::applicationPid());
    ASSERT_TRUE(application);
    const std::optional<Element> window =
        accessibility.elementAttribute(*application, QStringLiteral("AXFocusedWindow"));
    ASSERT_TRUE(window);
    EXPECT_EQ(accessibility.stringAttribute(*window, QStringLiteral("AXRole")), QStringLiteral("AXWindow"));

    const std::optional<CodeField> detected = CodeField::detect(accessibility, *focused);
    ASSERT_TRUE(detected);
    EXPECT_FALSE(detected->domain);

    practice.field->clearFocus(); // typeCode focuses the field it is given
    QCoro::waitFor(typeCode(accessibility, keyboard, clock, QStringLiteral("482913"), detected->element));
    EXPECT_TRUE(waitUntil([&] { return practice.field->text() == QLatin1String("482913"); }, 5s));
    EXPECT_EQ(accessibility.stringAttribute(*focused, QStringLiteral("AXValue")), QStringLiteral("482913"));
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
