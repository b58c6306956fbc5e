// The port object needs an application object for its signals; no event loop runs unless a test spins
// one, which is how the polling paths are shown to make progress on their own.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
