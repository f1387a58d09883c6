#include <gtest/gtest.h>
#include <QCoreApplication>

// Sockets deliver through QSocketNotifier, which needs an application object.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
