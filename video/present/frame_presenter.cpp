#include "video/present/frame_presenter.h"

#include <QOpenGLContext>
#include <QWindow>

namespace tavrilo {

FramePresenter::FramePresenter() = default;

FramePresenter::~FramePresenter() {
    Shutdown();
}

bool FramePresenter::Initialize(PresentationClock* clock, QWindow* window) {
    clock_ = clock;
    window_ = window;
    if (!engine_.Initialize()) {
        return false;
    }
    engine_.SetWindow(window);
    pool_.Empty();
    std::deque<int> samples;
    for (int i = 0; i < kSamples; ++i) {
        samples.push_back(i);
    }
    pool_.Fill(samples);
    if (scheduler_.StartThread(clock) != 0) {
        return false;
    }
    engine_.MoveToThread(scheduler_.thread());
    state_ = kStopped;
    return true;
}

void FramePresenter::Shutdown() {
    if (state_ == kShutDown && scheduler_.thread() == nullptr) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        state_ = kShutDown;
        ++token_;
    }
    sampleFree_.notify_all();
    // The context goes with the thread it lives on.
    scheduler_.RunOnThread([this] { engine_.Release(); });
    scheduler_.StopThread();
}

void FramePresenter::SetMediaType(int width, int height, int rateNum, int rateDen) {
    scheduler_.SetFrameDuration(rateNum, rateDen);
    lastFrameTime_ = -1;  // a new stream: nothing of it shown yet
    // The drawing resources are made while the first frame is decoded.
    scheduler_.PostToThread([this, width, height] { engine_.SetVideoSize(width, height); });
}

void FramePresenter::SetTarget(int width, int height) {
    scheduler_.RunOnThread([&] { engine_.SetTargetSize(width, height); });
}

void FramePresenter::SetDestination(const QRect& rect) {
    scheduler_.RunOnThread([&] { engine_.SetDestination(rect); });
}

bool FramePresenter::Deliver(const VideoFrame& frame, const std::atomic<bool>& abort, bool* held) {
    std::optional<int> slot;
    int token;
    bool presentNow;
    bool stepTarget = false;
    {
        std::unique_lock lock(mutex_);
        // While not started only one frame is taken (the preroll); after it, the decoder
        // waits for a start. And never more than the two samples in flight.
        sampleFree_.wait(lock, [&] {
            if (abort || state_ == kShutDown) {
                return true;
            }
            if (hold_) {
                return false;
            }
            if (state_ != kStarted && prerolled_ && steps_ == 0) {
                if (held != nullptr) {
                    *held = true;
                    return true;
                }
                return false;
            }
            pool_.TakeSample(&slot);
            return slot.has_value();
        });
        if (!slot) {
            return false;
        }
        token = token_;
        presentNow = state_ != kStarted || clock_ == nullptr || clock_->rate() == 0;
        if (state_ != kStarted && prerolled_ && steps_ > 0) {
            if (--steps_ > 0) {
                // Stepping over this frame: decoded, not drawn.
                pool_.GiveBack(*slot);
                return true;
            }
            stepTarget = true;
        }
        prerolled_ = true;
    }
    PresenterSample sample{frame, token};
    // Frames shown at once are drawn on the scheduler thread too: the context lives there.
    if (presentNow) {
        scheduler_.RunOnThread([&] { PresentFrame(sample, 0); });
        if (stepTarget && clock_ != nullptr) {
            clock_->SetTime(sample.frame.time100ns);  // the standing clock follows the step
        }
        SampleReleased(sample);
        return true;
    }
    scheduler_.QueueFrame(std::move(sample), false);
    return true;
}

int FramePresenter::PresentFrame(const PresenterSample& sample, int64_t time) {
    if (sample.token != token_.load()) {
        return 0;  // stale: flushed while waiting
    }
    if (time != 0 && clock_ != nullptr && clock_->Time() - time > scheduler_.quarterFrame()) {
        ++late_;
    }
    engine_.PresentFrame(sample.frame.owner ? &sample.frame : nullptr);
    // The count last: whoever sees it move reads this frame's index and time.
    lastIndex_ = sample.frame.index;
    lastFrameTime_ = sample.frame.time100ns;
    lastTime_ = std::chrono::steady_clock::now().time_since_epoch().count();
    ++presented_;
    return 0;
}

void FramePresenter::SampleReleased(const PresenterSample&) {
    {
        std::lock_guard lock(mutex_);
        // Samples of an older generation go back too: the pool always has its two.
        pool_.GiveBack(0);
    }
    sampleFree_.notify_all();
    CheckStreamEnd();
}

void FramePresenter::HoldFramesForTesting(bool hold) {
    {
        std::lock_guard lock(mutex_);
        hold_ = hold;
    }
    sampleFree_.notify_all();
}

bool FramePresenter::HoldsNextFrame() {
    std::lock_guard lock(mutex_);
    return state_ != kStarted && state_ != kShutDown && prerolled_ && steps_ == 0 && !hold_;
}

void FramePresenter::Step(int frames) {
    if (frames <= 0 || state_ == kStarted || state_ == kShutDown) {
        return;
    }
    steps_ += frames;
    sampleFree_.notify_all();
}

void FramePresenter::ClockStarted() {
    {
        std::lock_guard lock(mutex_);
        state_ = kStarted;
    }
    sampleFree_.notify_all();
}

void FramePresenter::ClockPaused() {
    {
        std::lock_guard lock(mutex_);
        state_ = kPaused;
    }
    sampleFree_.notify_all();  // a decoder waiting to deliver may look ahead instead
}

int64_t FramePresenter::SettlePaused() {
    scheduler_.RunOnThread([this] {
        int wait;
        scheduler_.ServeQueue(&wait);
    });
    return lastFrameTime_.load();
}

void FramePresenter::ClockStopped() {
    state_ = kStopped;
    Flush();
}

void FramePresenter::SetRate(float rate) {
    scheduler_.SetRate(rate);
}

void FramePresenter::Flush() {
    {
        std::lock_guard lock(mutex_);
        ++token_;
        prerolled_ = false;
        steps_ = 0;
        endRequested_ = false;
        ended_ = nullptr;
    }
    scheduler_.Flush();
    sampleFree_.notify_all();
}

void FramePresenter::Repaint() {
    if (!prerolled_) {
        return;
    }
    ++repaints_;
    scheduler_.RunOnThread([&] { engine_.PresentFrame(nullptr); });
}

void FramePresenter::EndOfStream(std::function<void()> ended) {
    {
        std::lock_guard lock(mutex_);
        endRequested_ = true;
        ended_ = std::move(ended);
    }
    CheckStreamEnd();
}

void FramePresenter::CheckStreamEnd() {
    std::function<void()> ended;
    {
        std::lock_guard lock(mutex_);
        if (!endRequested_ || pool_.HasPending()) {
            return;
        }
        endRequested_ = false;
        ended = std::move(ended_);
    }
    if (ended) {
        ended();
    }
}

QImage FramePresenter::GrabImage(int width, int height) {
    QImage picture;
    scheduler_.RunOnThread([&] { picture = engine_.GrabImage(); });
    if (picture.isNull() || (picture.width() == width && picture.height() == height)) {
        return picture;
    }
    return picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

int FramePresenter::WithModel(const std::function<int(CSphereModel&)>& op) {
    int result = 0;
    if (!scheduler_.RunOnThread([&] { result = op(engine_.model()); })) {
        return 0;
    }
    return result;
}

}  // namespace tavrilo
