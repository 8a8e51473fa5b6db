#include "video/present/scheduler.h"

#include <algorithm>

#include <chrono>
#include <cmath>

namespace tavrilo {

Scheduler::~Scheduler() {
    StopThread();
}

int Scheduler::StartThread(PresentationClock* clock) {
    if (thread_ != nullptr) {
        return kUnexpected;
    }
    clock_ = clock;
    {
        std::lock_guard lock(mutex_);
        terminate_ = schedule_ = flush_ = false;
    }
    thread_ = QThread::create([this] { Run(); });
    thread_->start();
    return 0;
}

int Scheduler::StopThread() {
    if (thread_ == nullptr) {
        return 0;
    }
    {
        std::lock_guard lock(mutex_);
        terminate_ = true;
    }
    wake_.notify_all();
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    std::deque<PresenterSample> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(queue_);
    }
    for (const PresenterSample& s : dropped) {
        callback_->SampleReleased(s);
    }
    return 0;
}

int Scheduler::Flush() {
    if (thread_ == nullptr) {
        return 0;
    }
    std::unique_lock lock(mutex_);
    flush_ = true;
    wake_.notify_all();
    flushed_.wait_for(lock, std::chrono::milliseconds(5000),
                      [this] { return !flush_ || terminate_; });
    return 0;
}

int Scheduler::QueueFrame(PresenterSample sample, bool presentNow) {
    if (callback_ == nullptr) {
        return static_cast<int>(0xC00D36B6);
    }
    if (presentNow || clock_ == nullptr) {
        const int rc = callback_->PresentFrame(sample, 0);
        callback_->SampleReleased(sample);
        return rc;
    }
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(sample));
        schedule_ = true;
    }
    wake_.notify_all();
    return 0;
}

bool Scheduler::RunOnThread(const std::function<void()>& task) {
    if (thread_ == nullptr) {
        return false;
    }
    if (QThread::currentThread() == thread_) {
        task();
        return true;
    }
    std::mutex doneMutex;
    std::condition_variable doneCv;
    bool done = false;
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back([&] {
            task();
            std::lock_guard d(doneMutex);
            done = true;
            doneCv.notify_all();
        });
    }
    wake_.notify_all();
    std::unique_lock d(doneMutex);
    doneCv.wait(d, [&] { return done; });
    return true;
}

bool Scheduler::PostToThread(std::function<void()> task) {
    if (thread_ == nullptr) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
    return true;
}

void Scheduler::SetFrameDuration(int numerator, int denominator) {
    if (numerator <= 0 || denominator <= 0) {
        numerator = 30;
        denominator = 1;
    }
    frameDuration_ = static_cast<int64_t>(10000000.0 * denominator / numerator);
    quarterFrame_ = frameDuration_ / 4;
}

void Scheduler::SetRate(float rate) {
    std::lock_guard lock(mutex_);
    rate_ = rate;
}

size_t Scheduler::queued() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

int Scheduler::ServeQueue(int* waitMs) {
    int wait = 0;
    int result = 0;
    for (;;) {
        PresenterSample sample;
        float rate;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                break;
            }
            if (!tasks_.empty() || flush_ || terminate_) {
                // The owner waits: its tasks come before the rest of the queue, which a decoder
                // that keeps up with late frames might never let run empty.
                schedule_ = true;
                break;
            }
            sample = std::move(queue_.front());
            queue_.pop_front();
            rate = rate_;
        }
        bool presentNow = true;
        if (clock_ != nullptr) {
            int64_t delta = sample.frame.time100ns - clock_->Time();
            if (rate < 0) {
                delta = -delta;
            }
            if (delta > 3 * quarterFrame_) {
                // Early: sleep until three quarters of a frame before it is due, and at least a
                // millisecond: serving the queue again at once would spin without end while the
                // clock stands still (paused), and the thread's tasks would never run.
                wait = std::max(
                    1, static_cast<int>(static_cast<float>((delta - 3 * quarterFrame_) / 10000) /
                                        std::abs(rate == 0 ? 1.0f : rate)));
                presentNow = false;
                std::lock_guard lock(mutex_);
                queue_.push_front(std::move(sample));
            }
        }
        if (presentNow) {
            result = callback_->PresentFrame(sample, sample.frame.time100ns);
            callback_->SampleReleased(sample);
        }
        if (result < 0 || wait > 0) {
            break;
        }
    }
    *waitMs = wait == 0 ? -1 : wait;
    return result;
}

void Scheduler::Run() {
    int wait = -1;
    std::unique_lock lock(mutex_);
    for (;;) {
        auto pending = [this] { return terminate_ || schedule_ || flush_ || !tasks_.empty(); };
        bool woken;
        if (wait < 0) {
            wake_.wait(lock, pending);
            woken = true;
        } else {
            woken = wake_.wait_for(lock, std::chrono::milliseconds(wait), pending);
        }
        if (terminate_) {
            break;
        }
        while (!tasks_.empty()) {
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
        if (flush_) {
            std::deque<PresenterSample> dropped;
            dropped.swap(queue_);
            flush_ = false;
            wait = -1;
            lock.unlock();
            for (const PresenterSample& s : dropped) {
                callback_->SampleReleased(s);
            }
            lock.lock();
            flushed_.notify_all();
            continue;
        }
        if (schedule_ || !woken) {
            schedule_ = false;
            lock.unlock();
            const int rc = ServeQueue(&wait);
            lock.lock();
            if (rc < 0) {
                break;
            }
        }
    }
    flushed_.notify_all();
}

}  // namespace tavrilo
