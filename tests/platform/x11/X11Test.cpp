#include "platform/x11/KeyLevels.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

namespace tessary {
namespace {

TEST(KeyLevelChoice, ShiftFollowsTheLevelAndCapsLockTurnsItForLettersOnly)
{
    const KeyLevels a{XK_a, XK_A}, one{XK_1, XK_exclam}, euro = spareLevels(0x10020ac);
    EXPECT_EQ(euro.shifted, 0x10020acUL); // no case: the same on both levels
    const struct {
        unsigned long keysym;
        KeyLevels levels;
        bool capsLock;
        std::optional<bool> shift;
    } rows[] = {{XK_a, a, false, false},
                {XK_A, a, false, true},
                {XK_a, a, true, true},
                {XK_A, a, true, false},
                {XK_1, one, true, false},
                {XK_exclam, one, true, true},
                {XK_b, a, false, {}},
                {0x10020ac, euro, true, false},
                // A spare key carries both cases, so Caps Lock treats it as any letter key.
                {XK_eacute, spareLevels(XK_Eacute), true, true},
                {XK_Eacute, spareLevels(XK_eacute), false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.keysym << " caps " << row.capsLock);
        EXPECT_EQ(shiftFor(row.keysym, row.levels, row.capsLock), row.shift);
    }
}

} // namespace
} // namespace tessary
