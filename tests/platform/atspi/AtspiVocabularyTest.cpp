#include "platform/atspi/AtspiVocabulary.h"

#include <atspi/atspi-constants.h>

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace tessary::atspi {
namespace {

NodeFacts node(int role, bool multiLine = false, bool editable = true)
{
    return {role, multiLine, editable, {}, {}};
}

TEST(AtspiRoleMapping, EditorsOfEveryToolkitAreFieldsAndTextContainersStaticTextWhenHoldingText)
{
    EXPECT_EQ(roleOf(node(ATSPI_ROLE_ENTRY), false), Role::entry); // Firefox, Chromium
    EXPECT_EQ(roleOf(node(ATSPI_ROLE_TEXT), false), Role::entry);  // Qt
    EXPECT_EQ(roleOf(node(ATSPI_ROLE_PASSWORD_TEXT), false), Role::passwordText);
    EXPECT_EQ(roleOf(node(ATSPI_ROLE_ENTRY, true), false), Role::text);       // <textarea>
    EXPECT_EQ(roleOf(node(ATSPI_ROLE_TEXT, true), false), Role::text);        // QTextEdit
    const NodeFacts number{ATSPI_ROLE_SPIN_BUTTON, false, true, "input", {}}; // <input type="number">
    EXPECT_EQ(roleOf(number, false), Role::entry);
    EXPECT_EQ(roleOf(node(ATSPI_ROLE_SPIN_BUTTON), false), Role::section);
    // Read-only text is something to read, not a field.
    EXPECT_EQ(roleOf(node(ATSPI_ROLE_TEXT, false, false), true), Role::staticText);
    EXPECT_EQ(roleOf(node(ATSPI_ROLE_INVALID), false), Role::invalid); // gone or not answering
    for (int role : {ATSPI_ROLE_PARAGRAPH, ATSPI_ROLE_SECTION, ATSPI_ROLE_LABEL, ATSPI_ROLE_STATIC}) {
        EXPECT_EQ(roleOf(node(role), true), Role::staticText) << role;
        EXPECT_EQ(roleOf(node(role), false), Role::section) << role;
    }
    EXPECT_EQ(roleOf(node(ATSPI_ROLE_HEADING), false), Role::heading);
    EXPECT_EQ(roleOf(node(ATSPI_ROLE_DOCUMENT_WEB), false), Role::documentWeb);
    EXPECT_EQ(roleOf(node(ATSPI_ROLE_PUSH_BUTTON), false), Role::pushButton);
}

TEST(AtspiRoleMapping, OnlyTextFieldsHaveAnInputType)
{
    EXPECT_EQ(inputTypeOf({ATSPI_ROLE_ENTRY, false, true, {}, "Search"}), "search");
    EXPECT_EQ(inputTypeOf(node(ATSPI_ROLE_ENTRY)), "");
    EXPECT_EQ(inputTypeOf({ATSPI_ROLE_LANDMARK, false, true, {}, "search"}), "");
}

// Facts a role does not need are never read, so no role may read differently with them.
TEST(AtspiRoleMapping, FactsLeftUnreadNeverChangeHowARoleReads)
{
    const auto reading = [](const NodeFacts& facts) {
        return std::tuple(kindOf(facts), roleOf(facts, true), roleOf(facts, false), inputTypeOf(facts));
    };
    for (int role = 0; role < ATSPI_ROLE_LAST_DEFINED; ++role) {
        const NodeFacts bare{role, false, false, {}, {}}, withStates{role, true, true, {}, {}},
            editableOnly{role, false, true, {}, {}}, withAttributes{role, false, false, "input", "search"};
        if (!statesMatter(role)) {
            EXPECT_EQ(reading(withStates), reading(bare)) << "role " << role;
            EXPECT_EQ(reading(editableOnly), reading(bare)) << "role " << role;
        }
        if (!attributesMatter(role)) {
            EXPECT_EQ(reading(withAttributes), reading(bare)) << "role " << role;
        }
    }
}

TEST(AtspiExtents, OnlyASizedShownRectangleIsAFrameAndOnlyMinusOneIsPending)
{
    EXPECT_TRUE(isFrame({40, 238, 228, 30}));
    EXPECT_TRUE(isFrame({0, 0, 1, 0})); // a line is still somewhere
    EXPECT_FALSE(isFrame({40, 238, 0, 0}));
    EXPECT_FALSE(isFrame({-1, -1, -1, -1}));
    EXPECT_FALSE(isFrame({40, 238, 228, -1}));
    EXPECT_FALSE(isFrame({std::numeric_limits<int>::min(), std::numeric_limits<int>::min(), 228, 30}));

    // Only Firefox's "not known yet" is worth asking again; a hidden or empty element is not.
    EXPECT_TRUE(isFramePending({-1, -1, -1, -1}));
    EXPECT_FALSE(isFramePending({40, 238, 0, 0}));
    EXPECT_FALSE(isFramePending({std::numeric_limits<int>::min(), 0, 228, 30}));
    EXPECT_FALSE(isFramePending({40, 238, 228, 30}));
}

TEST(AtspiText, FillersAndEmbeddedObjectMarksAreNotTextButFirefoxInlineMarkupStaysInItsSentence)
{
    // An empty editor in a browser holds a zero-width no-break space.
    EXPECT_EQ(fieldValue(QStringLiteral("\uFEFF")), "");
    EXPECT_EQ(fieldValue(QStringLiteral("48\uFEFF29")), "4829");
    // A paragraph's link or bold run stands as U+FFFC: its text is read from that child.
    EXPECT_EQ(ownText(QStringLiteral("We sent a link to \uFFFC. Open it.")), "We sent a link to . Open it.");
    EXPECT_EQ(ownText(QStringLiteral("\uFFFC\uFFFC")), "");
    EXPECT_EQ(classList(QStringLiteral("  otp  box digit ")), QStringList({"otp", "box", "digit"}));

    // Firefox: every child is a mark; the <strong> is inline, the link is not.
    const QString paragraph = QStringLiteral("We've sent a code to \uFFFC. \uFFFC if it did not arrive.");
    EXPECT_TRUE(marksEveryChild(paragraph, 2));
    EXPECT_EQ(withInlineChildren(paragraph, {QStringLiteral("j@example.com"), std::nullopt}),
              "We've sent a code to j@example.com.  if it did not arrive.");
    // Chromium's static-text children are not marks: its parent repeats their words instead.
    EXPECT_FALSE(marksEveryChild(QStringLiteral("We've sent a code to j@example.com."), 2));
    EXPECT_FALSE(marksEveryChild(QStringLiteral("Sent to \uFFFC"), 3));
    EXPECT_FALSE(marksEveryChild(QString(), 0));
}

} // namespace
} // namespace tessary::atspi
