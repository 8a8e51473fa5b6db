#pragma once
// The presentation clock: media time in 100-ns units, running at the playback rate on the
// steady clock. Thread-safe.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

namespace tavrilo {

class PresentationClock {
  public:
    // Runs from `at`, or from where it stands.
    void Start(int64_t at);
    void Resume();
    void Pause();
    // Stands still at `at`.
    void SetTime(int64_t at);
    void SetRate(float rate);
    float rate() const;
    bool running() const;
    int64_t Time() const;

    // Tests drive the clock by hand: `now` stands in for the steady clock.
    using TimeSource = std::function<std::chrono::steady_clock::time_point()>;
    void SetTimeSourceForTesting(TimeSource now);

  private:
    int64_t TimeLocked() const;
    std::chrono::steady_clock::time_point Now() const;
    TimeSource now_;
    mutable std::mutex mutex_;
    bool running_ = false;
    float rate_ = 1.0f;
    int64_t base_ = 0;  // media time at `since_`
    std::chrono::steady_clock::time_point since_{};
};

}  // namespace tavrilo
