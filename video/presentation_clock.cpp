#include "video/presentation_clock.h"

namespace tavrilo {

int64_t PresentationClock::TimeLocked() const {
    if (!running_) {
        return base_;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now() - since_);
    return base_ + static_cast<int64_t>(static_cast<double>(elapsed.count()) / 100.0 * rate_);
}

void PresentationClock::Start(int64_t at) {
    std::lock_guard lock(mutex_);
    base_ = at;
    since_ = std::chrono::steady_clock::now();
    running_ = true;
}

void PresentationClock::Resume() {
    std::lock_guard lock(mutex_);
    base_ = TimeLocked();
    since_ = std::chrono::steady_clock::now();
    running_ = true;
}

void PresentationClock::Pause() {
    std::lock_guard lock(mutex_);
    base_ = TimeLocked();
    running_ = false;
}

void PresentationClock::SetTime(int64_t at) {
    std::lock_guard lock(mutex_);
    base_ = at;
    since_ = std::chrono::steady_clock::now();
}

void PresentationClock::SetRate(float rate) {
    std::lock_guard lock(mutex_);
    base_ = TimeLocked();
    since_ = std::chrono::steady_clock::now();
    rate_ = rate;
}

float PresentationClock::rate() const {
    std::lock_guard lock(mutex_);
    return rate_;
}

bool PresentationClock::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

int64_t PresentationClock::Time() const {
    std::lock_guard lock(mutex_);
    return TimeLocked();
}

}  // namespace tavrilo
