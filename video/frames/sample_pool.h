#pragma once
// The presenter's pool of video samples: the two frames in flight between the decoder and the
// screen. Thread-safe.

#include <deque>
#include <mutex>
#include <optional>

#include "video/results.h"

namespace tavrilo {

template <typename Sample>
class SamplePool {
  public:
    // Fills an empty pool; a filled one refuses.
    int Fill(std::deque<Sample> samples) {
        std::lock_guard lock(mutex_);
        if (initialized_) {
            return kInvalidRequest;
        }
        for (auto& s : samples) {
            free_.push_back(std::move(s));
        }
        initialized_ = true;
        return 0;
    }
    // A free sample, or none (and no error) when all are out.
    int TakeSample(std::optional<Sample>* sample) {
        std::lock_guard lock(mutex_);
        sample->reset();
        if (!initialized_) {
            return kNotInitialized;
        }
        if (!free_.empty()) {
            *sample = std::move(free_.front());
            free_.pop_front();
            ++pending_;
        }
        return 0;
    }
    int GiveBack(Sample sample) {
        std::lock_guard lock(mutex_);
        if (!initialized_) {
            return kNotInitialized;
        }
        free_.push_back(std::move(sample));
        --pending_;
        return 0;
    }
    bool HasPending() const {
        std::lock_guard lock(mutex_);
        return initialized_ && pending_ > 0;
    }
    void Empty() {
        std::lock_guard lock(mutex_);
        free_.clear();
        initialized_ = false;
        pending_ = 0;
    }

  private:
    mutable std::mutex mutex_;
    std::deque<Sample> free_;
    bool initialized_ = false;
    int pending_ = 0;
};

}  // namespace tavrilo
