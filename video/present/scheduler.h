#pragma once
// The presenter's timing thread: holds decoded frames until their time on the presentation
// clock and hands each to the present engine. A frame more than a quarter frame late is shown
// at once (late frames are shown, never dropped); one more than three quarters early waits.
// The thread also runs the drawing tasks of its owner, since the drawing context lives on it.

#include <QThread>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "video/frames/video_frame.h"
#include "video/present/presentation_clock.h"
#include "video/results.h"

namespace tavrilo {

// A frame on its way to the screen, with the token of the pool generation it came from.
struct PresenterSample {
    VideoFrame frame;
    int token = 0;
};

class SchedulerCallback {
  public:
    virtual ~SchedulerCallback() = default;
    // Draws the sample (at `time`, 100-ns units; 0 when shown at once). Called on the scheduler
    // thread, or on the caller's thread for frames shown at once.
    virtual int PresentFrame(const PresenterSample& sample, int64_t time) = 0;
    // The sample is done with (presented or flushed).
    virtual void SampleReleased(const PresenterSample& sample) = 0;
};

class Scheduler {
  public:
    explicit Scheduler(SchedulerCallback* callback) : callback_(callback) {}
    ~Scheduler();

    int StartThread(PresentationClock* clock);
    // The clock frames are timed against (StartThread sets it; tests set it alone).
    void SetClock(PresentationClock* clock) { clock_ = clock; }
    int StopThread();
    // Empties the queue; waits at most 5000 ms for the thread to do it.
    int Flush();
    int QueueFrame(PresenterSample sample, bool presentNow);
    // Runs `task` on the scheduler thread and waits for it; false when there is no thread.
    bool RunOnThread(const std::function<void()>& task);
    // Runs `task` on the scheduler thread before any frame queued after this call, without
    // waiting for it; false when there is no thread.
    bool PostToThread(std::function<void()> task);
    QThread* thread() const { return thread_; }

    // Frame duration from a frame rate; quarter frame = duration / 4.
    void SetFrameDuration(int numerator, int denominator);
    int64_t frameDuration() const { return frameDuration_; }
    int64_t quarterFrame() const { return quarterFrame_; }
    void SetRate(float rate);

    // One pass over the queue: presents what is due, returns the wait until the next frame in
    // milliseconds (-1 for none) through `waitMs`. Scheduler thread only (and tests).
    int ServeQueue(int* waitMs);
    size_t queued() const;

  private:
    void Run();

    SchedulerCallback* callback_;
    PresentationClock* clock_ = nullptr;
    mutable std::mutex mutex_;  // guards the queue and the messages
    std::condition_variable wake_;
    std::condition_variable flushed_;
    std::deque<PresenterSample> queue_;
    bool terminate_ = false, schedule_ = false, flush_ = false;
    std::deque<std::function<void()>> tasks_;
    QThread* thread_ = nullptr;
    float rate_ = 1.0f;
    int64_t frameDuration_ = 333333;
    int64_t quarterFrame_ = 83333;
};

}  // namespace tavrilo
