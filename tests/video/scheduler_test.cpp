// The frame scheduler's timing rules, served by hand against a clock that stands still.

#include "video/present/scheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tavrilo {
namespace {

// What the scheduler presented and released. The scheduler's thread writes it while the test
// reads it, so both go through the lock; the hand-served tests read the fields directly.
class Recorder : public SchedulerCallback {
  public:
    int PresentFrame(const PresenterSample& s, int64_t) override {
        std::lock_guard lock(mutex_);
        shown.push_back(s.frame.index);
        changed_.notify_all();
        return 0;
    }
    void SampleReleased(const PresenterSample&) override {
        std::lock_guard lock(mutex_);
        ++released;
        changed_.notify_all();
    }
    // Waits until `n` frames were shown (or a generous limit passed) and returns them.
    std::vector<int64_t> WaitShown(size_t n) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(30), [&] { return shown.size() >= n; });
        return shown;
    }
    int Released() {
        std::lock_guard lock(mutex_);
        return released;
    }
    std::vector<int64_t> shown;
    int released = 0;

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

PresenterSample At(int64_t index, int64_t time) {
    PresenterSample s;
    s.frame.index = index;
    s.frame.time100ns = time;
    return s;
}

class SchedulerRules : public ::testing::Test {
  protected:
    void SetUp() override {
        clock.SetTime(10'000'000);  // 1 s, standing still
        scheduler.SetClock(&clock);
        scheduler.SetFrameDuration(0, 0);  // no frame rate: 30 a second
    }
    // Queues one frame `delta` 100-ns units after the clock and serves the queue once.
    int Serve(int64_t delta, int* waitMs) {
        scheduler.QueueFrame(At(1, clock.Time() + delta), false);
        return scheduler.ServeQueue(waitMs);
    }
    PresentationClock clock;
    Recorder recorder;
    Scheduler scheduler{&recorder};
};

TEST_F(SchedulerRules, WithoutAFrameRateThirtyFramesASecond) {
    EXPECT_EQ(scheduler.frameDuration(), 333333);
    EXPECT_EQ(scheduler.quarterFrame(), 83333);
    scheduler.SetFrameDuration(55, 2);  // 27.5
    EXPECT_EQ(scheduler.frameDuration(), 363636);
}

TEST_F(SchedulerRules, LateAndNearlyDueFramesAreShownAtOnce) {
    int wait = 0;
    Serve(-83333 * 10, &wait);  // very late: shown, never dropped
    Serve(-83333, &wait);
    Serve(3 * 83333, &wait);  // exactly three quarters early
    EXPECT_EQ(recorder.shown.size(), 3u);
    EXPECT_EQ(wait, -1);  // nothing left: wait for the next message
    EXPECT_EQ(recorder.released, 3);
}

TEST_F(SchedulerRules, EarlyFramesWaitUntilThreeQuartersBeforeTheirTime) {
    int wait = 0;
    Serve(3 * 83333 + 200000, &wait);  // 20 ms beyond the threshold
    EXPECT_TRUE(recorder.shown.empty());
    EXPECT_EQ(wait, 20);
    EXPECT_EQ(scheduler.queued(), 1u);
    // At half speed the wait doubles, at double speed it halves.
    scheduler.SetRate(0.5f);
    scheduler.ServeQueue(&wait);
    EXPECT_EQ(wait, 40);
    scheduler.SetRate(2.0f);
    scheduler.ServeQueue(&wait);
    EXPECT_EQ(wait, 10);
    // Played backwards the frame ahead of the clock counts as late.
    scheduler.SetRate(-1.0f);
    scheduler.ServeQueue(&wait);
    EXPECT_EQ(recorder.shown.size(), 1u);
}

TEST_F(SchedulerRules, AFrameJustShortOfItsTimeWaitsAMillisecondWhileTheClockStands) {
    // Half a millisecond beyond the threshold: serving it again at once would never end while
    // the clock is paused, so the queue gives the thread back for at least a millisecond.
    int wait = 0;
    Serve(3 * 83333 + 5000, &wait);
    EXPECT_TRUE(recorder.shown.empty());
    EXPECT_EQ(wait, 1);
    EXPECT_EQ(scheduler.queued(), 1u);
    scheduler.SetRate(4.0f);  // a quarter of a short wait is still a millisecond
    Serve(3 * 83333 + 20000, &wait);
    EXPECT_EQ(wait, 1);
}

TEST_F(SchedulerRules, FramesAreShownInOrderUntilOneIsEarly) {
    scheduler.QueueFrame(At(1, clock.Time() - 10), false);
    scheduler.QueueFrame(At(2, clock.Time()), false);
    scheduler.QueueFrame(At(3, clock.Time() + 1'000'000), false);
    scheduler.QueueFrame(At(4, clock.Time() + 1'333'333), false);
    int wait = 0;
    scheduler.ServeQueue(&wait);
    EXPECT_EQ(recorder.shown, (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(scheduler.queued(), 2u);
    EXPECT_EQ(wait, (1'000'000 - 3 * 83333) / 10000);
}

TEST_F(SchedulerRules, PresentNowAndMissingClock) {
    scheduler.QueueFrame(At(9, clock.Time() + 50'000'000), true);
    EXPECT_EQ(recorder.shown, (std::vector<int64_t>{9}));
    Scheduler noClock(&recorder);
    noClock.QueueFrame(At(10, 123), false);
    EXPECT_EQ(recorder.shown.back(), 10);
    Scheduler noCallback(nullptr);
    EXPECT_EQ(noCallback.QueueFrame(At(1, 0), true), static_cast<int>(0xC00D36B6));
}

TEST_F(SchedulerRules, ThreadServesFlushesAndStops) {
    EXPECT_EQ(scheduler.StartThread(&clock), 0);
    EXPECT_EQ(scheduler.StartThread(&clock), kUnexpected);
    clock.Start(0);
    scheduler.QueueFrame(At(1, 0), false);
    scheduler.QueueFrame(At(2, 600'000'000), false);  // a minute away
    EXPECT_EQ(recorder.WaitShown(1), (std::vector<int64_t>{1}));
    scheduler.Flush();
    EXPECT_EQ(scheduler.queued(), 0u);
    EXPECT_EQ(recorder.Released(), 2);                            // the flushed frame came back too
    EXPECT_EQ(recorder.WaitShown(1), (std::vector<int64_t>{1}));  // the far one never showed
    bool ran = false;
    EXPECT_TRUE(scheduler.RunOnThread([&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(scheduler.StopThread(), 0);
    EXPECT_FALSE(scheduler.RunOnThread([] {}));
}

// Presents every frame it gets and queues the next one at once, late like every frame of a
// fast playback on a slow machine: the queue never runs empty while it feeds.
class EndlessFeed : public SchedulerCallback {
  public:
    Scheduler* scheduler = nullptr;
    std::atomic<bool> feeding{true};
    std::atomic<int64_t> shown{0};
    int PresentFrame(const PresenterSample& s, int64_t) override {
        shown = s.frame.index;
        if (feeding) {
            scheduler->QueueFrame(At(s.frame.index + 1, 0), false);
        }
        return 0;
    }
    void SampleReleased(const PresenterSample&) override {}
};

TEST(SchedulerThread, TasksRunWhileLateFramesKeepTheQueueFull) {
    PresentationClock clock;
    clock.SetTime(600'000'000);
    EndlessFeed feed;
    Scheduler scheduler(&feed);
    feed.scheduler = &scheduler;
    ASSERT_EQ(scheduler.StartThread(&clock), 0);
    scheduler.QueueFrame(At(0, 0), false);
    for (int i = 0; i < 500 && feed.shown < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(feed.shown, 100);  // the thread is inside its serving loop
    std::atomic<bool> ran{false};
    std::thread owner([&] { scheduler.RunOnThread([&] { ran = true; }); });
    for (int i = 0; i < 500 && !ran; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const bool ranWhileFeeding = ran;
    feed.feeding = false;  // lets a scheduler that starves its tasks end the test anyway
    owner.join();
    scheduler.StopThread();
    EXPECT_TRUE(ranWhileFeeding);
}

}  // namespace
}  // namespace tavrilo
