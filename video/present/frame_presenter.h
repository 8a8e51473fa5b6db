#pragma once
// The presenter between the decoder and the screen: two samples circulate between them, so the
// decoder is never more than two frames ahead (the pull throttle); the scheduler shows each
// frame at its time; a paused or stopped presenter takes one frame only (the preroll) until a
// repaint or a new start asks for more. Flushing (a seek) makes every sample out stale.
//
// The drawing context lives on the scheduler thread: everything that draws runs there.

#include <QImage>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

#include "video/frames/sample_pool.h"
#include "video/present/scheduler.h"
#include "video/render/present_engine.h"

class QWindow;

namespace tavrilo {

class FramePresenter : public SchedulerCallback {
  public:
    enum RenderState { kStarted = 1, kStopped = 2, kPaused = 3, kShutDown = 4 };
    // The samples in flight: the frames the presenter may hold after the one it shows.
    static constexpr int kSamples = 2;

    FramePresenter();
    ~FramePresenter() override;

    // Builds the drawing context (on the calling thread, which must be the GUI thread) and
    // starts the scheduler thread that will own it. `window`, when given, shows the picture.
    bool Initialize(PresentationClock* clock, QWindow* window);
    void Shutdown();

    // The frame size and rate of the stream (an output type); the drawing side takes the
    // size before the next frame, without the caller waiting for it.
    void SetMediaType(int width, int height, int rateNum, int rateDen);
    // The picture's size, and where it goes in the window (empty: all of it).
    void SetTarget(int width, int height);
    void SetDestination(const QRect& rect);

    // Called by the decoder thread for every decoded frame: waits for a free sample (or for a
    // start, once the preroll frame was shown), then hands the frame on. False when the wait
    // was cut short by a flush or shutdown (the frame is dropped), or, with `held` given, when
    // the frames are held (a pause) before a sample came: *held is set, the frame not taken.
    bool Deliver(const VideoFrame& frame, const std::atomic<bool>& abort, bool* held = nullptr);

    void ClockStarted();
    void ClockPaused();
    // After a pause: shows the queued frames already due and returns the time (100-ns units)
    // of the frame the picture rests on, -1 when none was shown.
    int64_t SettlePaused();
    void ClockStopped();
    void SetRate(float rate);
    // Drops everything in flight (seek); the next frame delivered is shown at once.
    void Flush();
    // Draws the last frame again (the view changed while paused).
    void Repaint();
    // While paused or stopped: shows the frame `frames` after the current one (the ones between
    // are decoded, not drawn) and moves a standing clock to it.
    void Step(int frames);
    int stepsLeft() const { return steps_.load(); }

    // No more frames will come; `ended` runs once the last one was shown.
    void EndOfStream(std::function<void()> ended);

    // Whether a frame delivered now would wait for a start (paused or stopped, the preroll
    // shown, no step asked for).
    bool HoldsNextFrame();
    bool prerolled() const { return prerolled_.load(); }
    int renderState() const { return state_.load(); }
    int64_t framesPresented() const { return presented_.load(); }
    int64_t framesLate() const { return late_.load(); }
    // The times the frame shown was drawn again (Repaint).
    int64_t repaints() const { return repaints_.load(); }

    // The picture as drawn, scaled to `width` x `height` (the video window's size).
    QImage GrabImage(int width, int height);
    // Runs a view operation on the model where it draws (the scheduler thread).
    int WithModel(const std::function<int(CSphereModel&)>& op);
    int64_t lastPresentedIndex() const { return lastIndex_.load(); }
    // When the last frame was drawn (steady clock).
    std::chrono::steady_clock::time_point lastPresentTime() const {
        return std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(lastTime_.load()));
    }
    // Tests: hold every frame back (as if no sample were free) until released.
    void HoldFramesForTesting(bool hold);

    // SchedulerCallback
    int PresentFrame(const PresenterSample& sample, int64_t time) override;
    void SampleReleased(const PresenterSample& sample) override;

  private:
    void CheckStreamEnd();

    PresentationClock* clock_ = nullptr;
    QWindow* window_ = nullptr;
    GLPresentEngine engine_;
    Scheduler scheduler_{this};
    SamplePool<int> pool_;
    std::mutex mutex_;  // the presenter lock: state, token, stream end
    std::condition_variable sampleFree_;
    std::atomic<int> state_{kShutDown};
    std::atomic<bool> prerolled_{false};
    std::atomic<int> token_{0};
    bool endRequested_ = false;
    std::function<void()> ended_;
    std::atomic<int64_t> presented_{0}, late_{0}, lastIndex_{-1}, lastFrameTime_{-1};
    std::atomic<int64_t> repaints_{0};
    std::atomic<std::chrono::steady_clock::rep> lastTime_{0};
    bool hold_ = false;
    std::atomic<int> steps_{0};
};

}  // namespace tavrilo
