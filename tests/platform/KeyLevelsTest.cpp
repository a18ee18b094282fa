#include "platform/linux/KeyLevels.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

namespace tessary {
namespace {

TEST(KeyLevelChoice, ShiftFollowsTheLevelAndCapsLockTurnsItForLettersOnly)
{
    const KeyLevels a{XK_a, XK_A}, one{XK_1, XK_exclam};
    struct Row {
        unsigned long keysym;
        KeyLevels levels;
        bool capsLock;
        std::optional<bool> shift;
    };
    const Row rows[] = {
        {XK_a, a, false, false},
        {XK_A, a, false, true},
        {XK_a, a, true, true}, // "a" under Caps Lock needs Shift
        {XK_A, a, true, false},
        {XK_1, one, true, false}, // digits ignore Caps Lock
        {XK_exclam, one, true, true},
        {XK_b, a, false, std::nullopt},
        {XK_eacute, spareLevels(XK_eacute), true, true},
        {XK_Eacute, spareLevels(XK_Eacute), true, false},
        {0x10020ac, spareLevels(0x10020ac), true, false}, // € has no case
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.keysym << " caps " << row.capsLock);
        EXPECT_EQ(shiftFor(row.keysym, row.levels, row.capsLock), row.shift);
    }
}

TEST(KeyLevelChoice, SpareKeysCarryBothCasesOfALetter)
{
    EXPECT_EQ(spareLevels(XK_Eacute).plain, unsigned(XK_eacute));
    EXPECT_EQ(spareLevels(XK_Eacute).shifted, unsigned(XK_Eacute));
    EXPECT_EQ(spareLevels(0x10020ac).plain, 0x10020acUL);
    EXPECT_EQ(spareLevels(0x10020ac).shifted, 0x10020acUL);
}

} // namespace
} // namespace tessary
