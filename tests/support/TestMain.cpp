#include <QCoreApplication>

#include <gtest/gtest.h>
#include <openssl/crypto.h>

int main(int argc, char** argv)
{
    // OpenSSL frees its state from an exit handler on the main thread while Qt's network thread may
    // still be ending and freeing its own per-thread OpenSSL state: a double free at exit, seen
    // under AddressSanitizer. Without the handler that memory simply goes with the process.
    OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
