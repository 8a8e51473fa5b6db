// Test entry for the drawing tests: they need a QGuiApplication, and OpenGL through a display
// (the test script runs them under Xvfb with Mesa's software renderer).

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <cstdlib>

#include "tests/support/exit.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("DISPLAY") == nullptr) {
        // Listing tests (CTest's discovery) works without a display; running them does not.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    QGuiApplication app(argc, argv);
    tavrilo::test::EndWithoutTeardown(RUN_ALL_TESTS());
}
