#pragma once
// The end of a test program that plays sound.

#include <cstdio>
#include <cstdlib>

namespace tavrilo::test {

// Ends the process with the tests' result, without the libraries' teardown: the sound
// server's client library now and then aborts on an assertion inside its own event loop while
// Qt Multimedia tears it down at exit, after every test has passed.
[[noreturn]] inline void EndWithoutTeardown(int result) {
    std::fflush(nullptr);
    std::_Exit(result);
}

}  // namespace tavrilo::test
