#include "video/present/presentation_clock.h"

namespace tavrilo {

std::chrono::steady_clock::time_point PresentationClock::Now() const {
    return now_ ? now_() : std::chrono::steady_clock::now();
}

void PresentationClock::SetTimeSourceForTesting(TimeSource now) {
    std::lock_guard lock(mutex_);
    base_ = TimeLocked();
    now_ = std::move(now);
    since_ = Now();
}

int64_t PresentationClock::TimeLocked() const {
    if (!running_) {
        return base_;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(Now() - since_);
    return base_ + static_cast<int64_t>(static_cast<double>(elapsed.count()) / 100.0 * rate_);
}

void PresentationClock::Start(int64_t at) {
    std::lock_guard lock(mutex_);
    base_ = at;
    since_ = Now();
    running_ = true;
}

void PresentationClock::Resume() {
    std::lock_guard lock(mutex_);
    base_ = TimeLocked();
    since_ = Now();
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
    since_ = Now();
}

void PresentationClock::SetRate(float rate) {
    std::lock_guard lock(mutex_);
    base_ = TimeLocked();
    since_ = Now();
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
