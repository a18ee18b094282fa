#include "platform/qt/QtOwnAccessibility.h"

#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace tessary {
namespace {

// A field of a window of ours, read in process as onboarding's practice field is (the app's desktop
// test types into that one): found focused, with its placeholder, which is no description too, its
// text and its frame on the screen.
TEST(QtOwnAccessibility, OurFocusedFieldIsReadInProcess)
{
    QWidget window;
    auto* field = new QLineEdit;
    field->setPlaceholderText(QStringLiteral("Enter the 6-digit code"));
    (new QVBoxLayout(&window))->addWidget(field);
    window.move(40, 30);
    window.show();
    window.activateWindow();
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }));
    field->setText(QStringLiteral("4829"));

    QtOwnAccessibility own;
    const std::optional<Element> focused = own.focusedElement();
    ASSERT_TRUE(focused);
    EXPECT_TRUE(QtOwnAccessibility::owns(*focused));
    EXPECT_EQ(own.role(*focused), Role::entry);
    EXPECT_EQ(own.placeholder(*focused), field->placeholderText());
    EXPECT_EQ(own.description(*focused), std::nullopt);
    EXPECT_EQ(own.text(*focused), QStringLiteral("4829"));
    const QRect frame(field->mapToGlobal(QPoint(0, 0)), field->size());
    EXPECT_EQ(own.screenFrame(*focused), (Rect{frame.x(), frame.y(), frame.width(), frame.height()}));
}

} // namespace
} // namespace tessary
