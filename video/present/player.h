#pragma once
// Plays one recording: demuxes and decodes on its own thread, hands frames to the presenter,
// keeps the presentation clock, and tells the video window by posted messages when the
// recording is ready (first frame shown), when playback paused and when it ended (200 ms after
// the last frame). The clock is the steady clock at the playback rate; sound goes to the audio
// device at rate 1 and is left out at other rates, without a device, and when the recording's
// audio cannot be decoded (its video plays all the same).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/messages.h"
#include "recordings/frame_times.h"
#include "video/audio/audio_decoder.h"
#include "video/audio/audio_output.h"
#include "video/input/video_input.h"
#include "video/present/frame_presenter.h"
#include "video/present/presentation_clock.h"
#include "video/results.h"

class QWindow;

namespace tavrilo {

inline constexpr uint32_t UWM_SESSION_PAUSED = kWmApp + 1001;
inline constexpr uint32_t UWM_SESSION_ENDED = kWmApp + 1002;

class CPlayer {
  public:
    enum State {
        kClosed = 0,
        kReady = 1,
        kOpenPending = 2,
        kStarted = 3,
        kPaused = 4,
        kStopped = 5,
        kClosing = 6
    };

    // `eventWindow` receives the messages; `videoWindow` (may be null) shows the picture.
    CPlayer(MessageTarget* eventWindow, QWindow* videoWindow);
    ~CPlayer();
    CPlayer(const CPlayer&) = delete;
    CPlayer& operator=(const CPlayer&) = delete;

    // Decode with VAAPI when a device exists (software otherwise); applies to the next Open.
    void SetHardwareDecode(bool on) { hardwareWanted_ = on; }
    bool hardwareDecoding() const { return hardwareDevice_ != nullptr; }

    // Opens the recording and starts decoding its first frame; UWM_SESSION_READY follows when
    // it is shown. On the GUI thread (the drawing context is made there).
    bool Open(const std::string& path, std::string* error = nullptr);
    // Plays from the current position; only when ready (5) or paused (4).
    int Start();
    int Pause();
    // Shows the frame at `time100ns` and stays paused there; returns when it is shown. A frame
    // among those decoded last (the group of pictures in hand) is shown without decoding again,
    // and a target a little ahead is decoded on to without going back to a key frame.
    int Seek(int64_t time100ns);
    int SetRate(float rate);
    // Playing faster than 1, frames the decoder brings too late are not drawn, and a picture
    // that fell far behind goes on from the last key frame before the clock (on by default;
    // off, every frame is drawn however late, as an untimed run wants).
    void SetFrameDropping(bool on) { dropping_ = on; }
    int64_t framesDropped() const { return dropped_.load(); }
    // Pictures decoded since the opening, by either decoder.
    int64_t framesDecoded() const { return decoded_.load(); }
    // Without an audio stream there is nothing to set: E_POINTER.
    int SetVolume(uint16_t volume);
    int Close();

    int state() const { return state_.load(); }
    int64_t ClockTime() const { return clock_.Time(); }
    int64_t FrameDuration100ns() const { return frameDuration100ns_; }
    // When each picture is shown; frame indices count these.
    const FrameTimes& frameTimes() const { return times_; }
    bool NativeSize(int* width, int* height) const;
    bool hasAudio() const { return hasAudio_; }
    bool audioPlaying() const { return audio_.active(); }
    uint16_t volume() const { return volume_; }
    FramePresenter& presenter() { return presenter_; }
    PresentationClock& clock() { return clock_; }
    // Why the last Open failed to get at the video.
    VideoInputError openFailure() const { return decoding_.input.lastError; }

  private:
    enum class Command { kNone, kSeek, kQuit };

    // The decoder thread's side: runs on that thread only (Open and Close touch it before the
    // thread starts and after it ended).
    void DecodeLoop();
    // The next frame in presentation order: from the recent frames while a seek replays them,
    // else from the decoder (and kept among the recent frames).
    bool NextFrame(VideoFrame* out);
    bool DecodeNext(VideoFrame* out);
    // Adds a decoded frame to the recent ones; returns how many old ones it pushed out.
    size_t Keep(const VideoFrame& frame);
    // While the presenter holds `next` back (paused), decodes on to a little past it, into the
    // recent frames, until a command or a start comes.
    void LookAhead(const VideoFrame& next);
    // The frame shown while `next` waits to be handed on: the one before it, or an earlier one
    // the presenter still shows with frames held between them.
    int64_t ShownIndex(const VideoFrame& next) const;
    // Hands `frame` to the presenter; while paused, the frames around it are decoded first.
    // False when cut short (a seek, the end or a shutdown came).
    bool Deliver(const VideoFrame& frame);
    // While paused with fewer than 16 recent frames before the one shown (stepped back through
    // them), a second decoder decodes from 16 before it to 15 after it and then takes the main
    // decoder's place, its frames the recent ones'. A command cuts it short; the next pause goes
    // on with what it decoded when that still reaches back far enough, and a start ends it.
    void Recenter(const VideoFrame& next);
    // Decodes on with the second decoder until it has frame `last` (true), the recording
    // ends (true), or a command or a start comes (false).
    bool DecodeRecentering(int64_t last);
    // The second decoder becomes the main one, with `frames` (what it decoded last) the
    // recent ones and none of them replayed.
    void AdoptRecentering(std::deque<VideoFrame> frames);
    // A seek the recent frames miss goes to the second decoder's, when they hold its target
    // or lie a little before it.
    bool SeekInRecentering(int64_t target);
    bool DecodeFirstFrame(VideoFrame* out);
    // The next video packet (the held ones first); sound packets met on the way are decoded.
    bool ReadVideoPacket(AVPacket* packet);
    // Hands a decoded frame over as a VideoFrame; false when it cannot be brought to memory.
    bool WrapFrame(av::FramePtr frame, VideoFrame* out, VideoInput* from = nullptr);
    // Goes to `target` through the recent frames or by decoding on when it can; false when
    // only a seek to the key frame before it will do.
    bool SeekInRecent(int64_t target);
    // Whether a decoded frame is left out to catch up with a fast clock; `run` counts the
    // frames left out in a row.
    bool DropLate(const VideoFrame& frame, int* run);
    // Goes on from the last key frame at or before `time` when that lies ahead of `after`.
    bool JumpToKeyFrame(int64_t time, int64_t after);
    // Decoding goes on from the key frame at or before `streamTime` (the stream's time base),
    // with the recent frames and the sound decoder's state dropped; returns that key frame's
    // timestamp (INT64_MIN for none).
    int64_t RestartDecodingAt(int64_t streamTime);
    // Returns the key frame decoding starts from, as RestartDecodingAt.
    int64_t DoSeek(int64_t target);
    // Where `frame` stops being shown.
    int64_t EndOf(const VideoFrame& frame) const;
    int SeekAs(int64_t time100ns, bool fromKeyFrame);
    // The end notice's thread.
    void NotifyLoop();
    void Post(uint32_t message);
    void JoinThreads();

    MessageTarget* eventWindow_;
    QWindow* videoWindow_;
    PresentationClock clock_;
    FramePresenter presenter_;
    AudioOutput audio_;
    std::atomic<int> state_{kClosed};
    bool hardwareWanted_ = false;
    std::atomic<bool> dropping_{true};
    std::atomic<int64_t> dropped_{0};
    std::atomic<int64_t> decoded_{0};

    // What Open learned of the recording; fixed while it is open.
    av::BufferPtr hardwareDevice_;
    bool hasAudio_ = false;
    uint16_t volume_ = 65535;
    int64_t frameDuration100ns_ = 0;  // the mean, for spans counted in frames
    FrameTimes times_;
    int width_ = 0, height_ = 0;

    // The decoder thread's own state.
    struct Decoding {
        std::string path;
        VideoInput input;
        VideoInput second;  // the recentering decoder, open while paused
        // What the second decoder brought since it went to its key frame, consecutive and
        // bounded as the recent frames; `from` is the earliest frame it can still give.
        struct Recentering {
            bool active = false;
            bool ended = false;
            int64_t from = 0;
            std::deque<VideoFrame> frames;
            size_t bytes = 0;
        };
        Recentering recentering;
        AudioDecoder audio;
        // The frames decoded last, consecutive in presentation order, within kRecentFrames and
        // kRecentBytes; `replay` is the next one NextFrame hands out again (recent.size() when
        // none).
        std::deque<VideoFrame> recent;
        size_t recentBytes = 0;
        size_t replay = 0;
        // An opening's first frame comes from a decoder of its own, on one thread: frame
        // threads hold their first frame back until each has a packet. The packets it read
        // go to the main decoder next, whose copy of that frame (`dropTime`) is not shown.
        bool quickFirst = false;
        std::deque<av::PacketPtr> held;
        int64_t dropTime = AV_NOPTS_VALUE;
        void ForgetRecent() {
            recent.clear();
            recentBytes = 0;
            replay = 0;
        }
        void StopRecentering() {
            recentering = {};
            second.Close();
        }
        void ForgetHeld() {
            quickFirst = false;
            held.clear();
            dropTime = AV_NOPTS_VALUE;
        }
    };
    Decoding decoding_;

    // Commands to the decoder thread and its progress, guarded by mutex_.
    struct Shared {
        Command command = Command::kNone;
        int64_t seekTarget = 0;
        int64_t seekGeneration = 0, shownGeneration = -1;
        bool atEnd = false;
        bool endPending = false;  // the end notice is due
        bool quitNotifier = false;
        bool fromKeyFrame = false;  // the pending seek decodes from the key frame
        // A seek went through the recent frames: the demuxer, and the sound with it, is ahead
        // of the picture, and playing starts with a seek from the key frame.
        bool demuxAhead = false;
    };
    std::mutex mutex_;
    Shared shared_;
    std::condition_variable commandCv_;
    std::condition_variable shownCv_;
    std::condition_variable notifyCv_;
    // Cuts a frame's delivery short (a seek or the end is waiting); read by the presenter.
    std::atomic<bool> abort_{false};

    std::thread decoder_;
    std::thread notifier_;
};

}  // namespace tavrilo
