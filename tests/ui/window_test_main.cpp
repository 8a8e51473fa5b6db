// Test entry for the main window's tests: a QApplication on a real display (the test script
// runs them under Xvfb, 1920 x 1080, with Mesa's OpenGL).

#include <gtest/gtest.h>
#include <unistd.h>
#include <QApplication>
#include <cstdlib>

#include "tests/support/exit.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("DISPLAY") == nullptr) {
        // Listing the tests (CTest's discovery) needs no display; running them does.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    // The map's web view: contexts shared with the video's, and no sandbox as root.
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    tavrilo::test::EndWithoutTeardown(RUN_ALL_TESTS());
}
