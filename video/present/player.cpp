#include "video/present/player.h"

#include <chrono>
#include <cmath>
#include <future>

#include "video/input/hardware_decode.h"

namespace tavrilo {
namespace {

constexpr AVRational k100ns{1, 10000000};

}  // namespace

CPlayer::CPlayer(MessageTarget* eventWindow, QWindow* videoWindow)
    : eventWindow_(eventWindow), videoWindow_(videoWindow) {}

CPlayer::~CPlayer() {
    Close();
}

void CPlayer::Post(uint32_t message) {
    if (eventWindow_ != nullptr) {
        eventWindow_->PostAppMessage(message, 0, 0);
    }
}

bool CPlayer::NativeSize(int* width, int* height) const {
    if (state_ == kClosed || width_ <= 0) {
        return false;
    }
    *width = width_;
    *height = height_;
    return true;
}

bool CPlayer::Open(const std::string& path, std::string* error) {
    Close();
    std::string ignored;
    std::string& err = error != nullptr ? *error : ignored;
    VideoInput& in = decoding_.input;
    const auto setUp = [this](AVCodecContext* codec, const AVCodec* decoder) {
        if (hardwareWanted_) {
            hardwareDevice_ = SetUpHardwareDecoding(codec, decoder);
        }
    };
    // The file is opened and its streams read while the drawing context is made here: the
    // two are the bulk of an opening and need nothing of each other.
    std::future<bool> input =
        std::async(std::launch::async, [&] { return OpenVideoInput(path, &in, &err, setUp); });
    const bool drawing = presenter_.Initialize(&clock_, videoWindow_);
    if (!input.get()) {
        Close();
        return false;
    }
    if (!drawing) {
        err = "no OpenGL 3.3 context to draw with";
        Close();
        return false;
    }
    hasAudio_ = decoding_.audio.Open(in.format.get(), in.stream, audio_);
    const AVStream* st = in.videoStream();
    width_ = in.codec->width;
    height_ = in.codec->height;
    const AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : AVRational{30, 1};
    VideoTrackInfo times = ReadVideoTrack(path);
    if (times.times) {
        times_ = std::move(*times.times);
    } else {
        // Not an MP4 the tables can be read from: the frames FFmpeg counts, evenly spaced.
        const int64_t delta = av_rescale_q(1, av_inv_q(rate), k100ns);
        const int64_t length = st->duration > 0 ? av_rescale_q(st->duration, st->time_base, k100ns)
                                                : av_rescale(in.format->duration, 10, 1);
        times_ = FrameTimes::Uniform(delta > 0 ? length / delta : 0, 10'000'000, delta);
    }
    frameDuration100ns_ = std::max<int64_t>(1, std::llround(times_.MeanDurationMs() * 1e4));
    state_ = kReady;
    presenter_.SetMediaType(width_, height_, rate.num, rate.den);
    clock_.SetTime(0);
    state_ = kOpenPending;
    abort_ = false;
    shared_ = Shared{};
    decoding_.ForgetHeld();
    decoding_.path = path;
    decoding_.quickFirst = !hardwareDecoding();
    decoder_ = std::thread([this] { DecodeLoop(); });
    notifier_ = std::thread([this] { NotifyLoop(); });
    return true;
}

int CPlayer::Start() {
    const int s = state_;
    if (s != kPaused && s != kStopped) {
        return kInvalidRequest;
    }
    if (!decoder_.joinable()) {
        return kUnexpected;
    }
    bool restart = false, resync = false;
    {
        std::lock_guard lock(mutex_);
        restart = shared_.atEnd;
        resync = shared_.demuxAhead && hasAudio_;
    }
    if (restart) {
        // Played to the end: start again from the beginning, as a session does.
        Seek(0);
    } else if (resync) {
        // The picture was stepped through frames already decoded: the sound starts with it.
        SeekAs(clock_.Time(), true);
    }
    clock_.Resume();
    presenter_.ClockStarted();
    audio_.Resume();
    state_ = kStarted;
    {
        std::lock_guard lock(mutex_);  // a decoder thread resting sees the start
    }
    commandCv_.notify_all();
    return 0;
}

int CPlayer::Pause() {
    if (state_ != kStarted) {
        return kInvalidRequest;
    }
    clock_.Pause();
    presenter_.ClockPaused();
    audio_.Suspend();
    // Where decoding fell behind the clock (fast play on a busy machine), the picture rests
    // frames before the clock: paused, the position is the frame shown. The sound, read up to
    // the clock, starts again from there with a seek.
    const int64_t shown = presenter_.SettlePaused();
    if (shown >= 0 && clock_.rate() > 0 &&
        times_.End100ns(times_.FrameAt100ns(shown)) <= clock_.Time()) {
        clock_.SetTime(shown);
        std::lock_guard lock(mutex_);
        shared_.demuxAhead = true;
    }
    state_ = kPaused;
    Post(UWM_SESSION_PAUSED);
    return 0;
}

int CPlayer::Seek(int64_t time100ns) {
    return SeekAs(time100ns, false);
}

int CPlayer::SeekAs(int64_t time100ns, bool fromKeyFrame) {
    if (!decoder_.joinable() || state_ == kClosed || state_ == kClosing) {
        return kInvalidRequest;
    }
    clock_.Pause();
    clock_.SetTime(time100ns);
    presenter_.ClockPaused();
    int64_t generation;
    {
        std::lock_guard lock(mutex_);
        shared_.command = Command::kSeek;
        shared_.seekTarget = time100ns;
        shared_.fromKeyFrame = fromKeyFrame;
        generation = ++shared_.seekGeneration;
        abort_ = true;
        shared_.atEnd = false;
        shared_.endPending = false;
    }
    presenter_.Flush();
    commandCv_.notify_all();
    std::unique_lock lock(mutex_);
    shownCv_.wait_for(lock, std::chrono::seconds(5),
                      [&] { return shared_.shownGeneration >= generation || shared_.atEnd; });
    state_ = kPaused;
    return 0;
}

int CPlayer::SetRate(float rate) {
    clock_.SetRate(rate);
    presenter_.SetRate(rate);
    return 0;
}

int CPlayer::SetVolume(uint16_t volume) {
    if (!hasAudio_ || state_ == kClosed || state_ == kOpenPending) {
        return kPointer;
    }
    volume_ = volume;
    audio_.SetVolume(static_cast<float>(volume) / 65535.0f);
    return 0;
}

void CPlayer::JoinThreads() {
    if (decoder_.joinable()) {
        state_ = kClosing;
        {
            std::lock_guard lock(mutex_);
            shared_.command = Command::kQuit;
            abort_ = true;
        }
        commandCv_.notify_all();
        presenter_.Flush();
        decoder_.join();
    }
    presenter_.Shutdown();
    if (notifier_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            shared_.quitNotifier = true;
        }
        notifyCv_.notify_all();
        notifier_.join();
    }
}

int CPlayer::Close() {
    JoinThreads();
    audio_.Close();
    decoding_.ForgetRecent();
    decoding_.audio.Close();
    decoding_.input.Close();
    decoding_.StopRecentering();
    hardwareDevice_.reset();
    hasAudio_ = false;
    width_ = height_ = 0;
    state_ = kClosed;
    return 0;
}

}  // namespace tavrilo
