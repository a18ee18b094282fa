// A field in a window of this very process is read through Qt in process: over the accessibility
// bus it would wait for the main thread that is blocked asking (run under scripts/desktop-session).

#include "common/Clock.h"
#include "desktop/screen/DesktopDriver.h"
#include "platform/session/SessionAccessibility.h"
#include "platform/x11/XTestKeyboard.h"
#include "screen/CodeField.h"
#include "screen/TypeCode.h"

#include <QApplication>
#include <QCoro/QCoroTask>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace tessary::test {
namespace {

using namespace std::chrono_literals;

TEST(OwnWindow, ACodeFieldOfOurOwnIsFoundClassifiedAndTypedInto)
{
    std::unique_ptr<AtspiAccessibility> liveAccessibility = makeSessionAccessibility();
    AtspiAccessibility& accessibility = *liveAccessibility;
    SystemClock clock;
    XTestKeyboard keyboard(clock);
    QWidget window; // like onboarding's practice step
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit;
    field->setPlaceholderText(QStringLiteral("Enter the 6-digit code"));
    layout->addWidget(new QLabel(QStringLiteral("Try it here")));
    layout->addWidget(field);
    window.show();
    window.activateWindow();
    field->setFocus();
    const qint64 ownPid = QCoreApplication::applicationPid();
    ASSERT_TRUE(waitUntil(
        [&] {
            return accessibility.frontmostApplication().value_or(RunningApplication{}).pid == ownPid &&
                   field->hasFocus();
        },
        10s));

    const std::optional<Element> focused = accessibility.focusedElement();
    ASSERT_TRUE(focused);
    EXPECT_EQ(accessibility.placeholder(*focused), field->placeholderText());
    const std::optional<CodeField> detected = CodeField::detect(accessibility, *focused);
    ASSERT_TRUE(detected);
    const QRect r(field->mapToGlobal(QPoint(0, 0)), field->size());
    EXPECT_EQ(detected->frame, (Rect{r.x(), r.y(), r.width(), r.height()}));

    field->clearFocus(); // typing focuses the field it is given
    QCoro::waitFor(typeCode(accessibility, keyboard, clock, QStringLiteral("482913"), detected->element));
    EXPECT_TRUE(waitUntil([&] { return field->text() == QLatin1String("482913"); }, 5s));
}

} // namespace
} // namespace tessary::test
