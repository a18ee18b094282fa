// The main of the desktop tests: a real (GLib-dispatched) event loop on the X display the
// desktop session started, so AT-SPI events arrive while a test waits.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
