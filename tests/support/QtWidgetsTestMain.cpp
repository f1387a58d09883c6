#include <gtest/gtest.h>
#include <QApplication>

// Windows need an application object; tests run offscreen unless told otherwise.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lanscope"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
