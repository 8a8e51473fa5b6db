// Test entry for the drawing tests: they need a QGuiApplication, and OpenGL through a display
// (the test script runs them under Xvfb with Mesa's software renderer).

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("DISPLAY") == nullptr) {
        // Listing tests (CTest's discovery) works without a display; running them does not.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    QGuiApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    // Ends here, without the libraries' teardown: the sound server's client library now and
    // then aborts on an assertion inside its own event loop while Qt Multimedia tears it down
    // at exit, after every test has passed. The tests' result is what the exit code says.
    std::fflush(nullptr);
    std::_Exit(result);
}
