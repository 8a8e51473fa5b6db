#pragma once
// The presentation clock: media time in 100-ns units, running at the playback rate on the
// steady clock. Thread-safe.

#include <chrono>
#include <cstdint>
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

  private:
    int64_t TimeLocked() const;
    mutable std::mutex mutex_;
    bool running_ = false;
    float rate_ = 1.0f;
    int64_t base_ = 0;  // media time at `since_`
    std::chrono::steady_clock::time_point since_{};
};

}  // namespace tavrilo
