#include "fakes/FakeHotKey.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace tessary;
using tessary::test::FakeHotKey;

TEST(HotKeyPress, RunsTheHandlerLaterOncePerPressUnlessTheHotKeyIsGone)
{
    int fills = 0;
    {
        FakeHotKey hotKey;
        hotKey.setPressHandler([&] { ++fills; });
        ASSERT_TRUE(hotKey.registerShortcut(Shortcut::defaultShortcut()));
        hotKey.press();
        hotKey.press();
        // The press is handled first; the fill runs from the event loop afterwards.
        EXPECT_EQ(fills, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(fills, 2);
        hotKey.press();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(fills, 2) << "a queued press died with the hot key";
}
