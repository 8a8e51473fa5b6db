// Test entry for the window tests: a QApplication on Qt's offscreen platform unless a display
// is there (the test script runs everything under Xvfb).

#include <gtest/gtest.h>
#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
