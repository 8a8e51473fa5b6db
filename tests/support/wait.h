#pragma once
// Waiting for something another thread does. Tests wait for the event itself, never for a
// fixed time; the limit only keeps a broken build from hanging and is far beyond any machine's
// normal time.

#include <chrono>
#include <thread>

namespace tavrilo::test {

inline constexpr auto kEventLimit = std::chrono::seconds(30);

// Polls `done` until it holds; false when the limit passed first.
template <typename Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds limit = kEventLimit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace tavrilo::test
