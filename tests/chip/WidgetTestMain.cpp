// The main of the tests that make widgets: a QApplication, offscreen unless the build names another
// platform (xcb for the desktop tests that show windows or grab keys on the X display themselves).
#include <QApplication>

#include <gtest/gtest.h>

#ifndef TESSARY_QPA_PLATFORM
#define TESSARY_QPA_PLATFORM "offscreen"
#endif

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", TESSARY_QPA_PLATFORM);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
