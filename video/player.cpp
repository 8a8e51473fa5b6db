#include "video/player.h"

#include "video/av_frames.h"

#include <chrono>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/hwcontext.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace tavrilo {
namespace {

constexpr AVRational k100ns{1, 10000000};
constexpr auto kEndNoticeDelay = std::chrono::milliseconds(200);

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
    if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(format_, nullptr) < 0) {
        err = "cannot open " + path;
        Close();
        return false;
    }
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream_ < 0 || decoder == nullptr) {
        err = path + " has no video that can be decoded";
        Close();
        return false;
    }
    codec_ = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar);
    codec_->thread_count = 0;
    if (hardwareWanted_) {
        TryHardware(decoder);
    }
    if (avcodec_open2(codec_, decoder, nullptr) < 0) {
        err = "cannot decode the video of " + path;
        Close();
        return false;
    }
    OpenAudio();
    const AVStream* st = format_->streams[stream_];
    width_ = codec_->width;
    height_ = codec_->height;
    const int64_t frames = avformat_index_get_entries_count(st);
    duration100ns_ = st->duration > 0 ? av_rescale_q(st->duration, st->time_base, k100ns)
                                      : av_rescale(format_->duration, 10, 1);
    frameDuration100ns_ = frames > 0 ? duration100ns_ / frames : 333333;
    packet_ = av_packet_alloc();
    state_ = kReady;
    if (!presenter_.Initialize(&clock_, videoWindow_)) {
        err = "no OpenGL 3.3 context to draw with";
        Close();
        return false;
    }
    const AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : AVRational{30, 1};
    presenter_.SetMediaType(width_, height_, rate.num, rate.den);
    clock_.SetTime(0);
    state_ = kOpenPending;
    abort_ = false;
    atEnd_ = false;
    command_ = Command::kNone;
    endPending_ = quitNotifier_ = false;
    decoder_ = std::thread([this] { DecodeLoop(); });
    notifier_ = std::thread([this] { NotifyLoop(); });
    return true;
}

void CPlayer::TryHardware(const AVCodec* decoder) {
    // Only decoders that take a VAAPI device; without a device the software decoder stays.
    bool supported = false;
    for (int i = 0;; ++i) {
        const AVCodecHWConfig* config = avcodec_get_hw_config(decoder, i);
        if (config == nullptr) {
            break;
        }
        supported =
            supported || ((config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_DEVICE_CTX) != 0 &&
                          config->device_type == AV_HWDEVICE_TYPE_VAAPI);
    }
    if (!supported ||
        av_hwdevice_ctx_create(&hardwareDevice_, AV_HWDEVICE_TYPE_VAAPI, nullptr, nullptr, 0) < 0) {
        hardwareDevice_ = nullptr;
        return;
    }
    codec_->hw_device_ctx = av_buffer_ref(hardwareDevice_);
    codec_->get_format = [](AVCodecContext*, const AVPixelFormat* formats) {
        const AVPixelFormat* first = formats;
        for (; *formats != AV_PIX_FMT_NONE; ++formats) {
            if (*formats == AV_PIX_FMT_VAAPI) {
                return *formats;
            }
        }
        return *first;
    };
}

void CPlayer::OpenAudio() {
    // An audio stream that cannot be decoded is left out; the video plays on.
    const AVCodec* decoder = nullptr;
    audioStream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, stream_, &decoder, 0);
    if (audioStream_ < 0 || decoder == nullptr) {
        audioStream_ = -1;
        return;
    }
    audioCodec_ = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(audioCodec_, format_->streams[audioStream_]->codecpar);
    if (avcodec_open2(audioCodec_, decoder, nullptr) < 0) {
        avcodec_free_context(&audioCodec_);
        audioStream_ = -1;
        return;
    }
    hasAudio_ = true;
    if (!audio_.Open()) {
        return;  // no device: silent
    }
    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, 2);
    // A stream that only says how many channels it has gets their usual layout.
    AVChannelLayout input;
    if (audioCodec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&input, audioCodec_->ch_layout.nb_channels);
    } else {
        av_channel_layout_copy(&input, &audioCodec_->ch_layout);
    }
    const int rc =
        swr_alloc_set_opts2(&resample_, &stereo, AV_SAMPLE_FMT_S16, audio_.sampleRate(), &input,
                            audioCodec_->sample_fmt, audioCodec_->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&input);
    if (rc < 0 || swr_init(resample_) < 0) {
        swr_free(&resample_);
        audio_.Close();
    }
}

void CPlayer::DecodeAudio(const AVPacket* packet) {
    if (avcodec_send_packet(audioCodec_, packet) < 0) {
        return;  // damaged audio is skipped
    }
    AVFrame* frame = av_frame_alloc();
    while (avcodec_receive_frame(audioCodec_, frame) >= 0) {
        // Sound only at the normal rate; the engine mutes the others.
        if (resample_ != nullptr && clock_.rate() == 1.0f) {
            const int most = swr_get_out_samples(resample_, frame->nb_samples);
            audioBuffer_.resize(static_cast<size_t>(std::max(most, 0)) * 2);
            auto* out = reinterpret_cast<uint8_t*>(audioBuffer_.data());
            const int got =
                swr_convert(resample_, &out, most,
                            const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
            if (got > 0) {
                audio_.Push(audioBuffer_.data(), got);
            }
        }
        av_frame_unref(frame);
    }
    av_frame_free(&frame);
}

bool CPlayer::DecodeNext(VideoFrame* out) {
    AVFrame* frame = av_frame_alloc();
    for (;;) {
        int rc = avcodec_receive_frame(codec_, frame);
        if (rc >= 0) {
            break;
        }
        if (rc != AVERROR(EAGAIN)) {
            av_frame_free(&frame);
            return false;  // end of stream (or a decoder that cannot go on)
        }
        rc = av_read_frame(format_, packet_);
        if (rc < 0) {
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (packet_->stream_index == stream_) {
            avcodec_send_packet(codec_, packet_);
        } else if (packet_->stream_index == audioStream_) {
            DecodeAudio(packet_);
        }
        av_packet_unref(packet_);
    }
    if (frame->format == AV_PIX_FMT_VAAPI) {
        // Frames decoded on the GPU come back to memory once, as the drawing uploads them.
        AVFrame* copy = av_frame_alloc();
        if (av_hwframe_transfer_data(copy, frame, 0) < 0) {
            av_frame_free(&copy);
            av_frame_free(&frame);
            return false;
        }
        av_frame_copy_props(copy, frame);
        av_frame_free(&frame);
        frame = copy;
    }
    *out = WrapDecodedFrame(frame, format_->streams[stream_], &convert_);
    out->index = frameDuration100ns_ > 0
                     ? (out->time100ns + frameDuration100ns_ / 2) / frameDuration100ns_
                     : -1;
    return true;
}

void CPlayer::DoSeek(int64_t target) {
    const AVStream* st = format_->streams[stream_];
    av_seek_frame(format_, stream_, av_rescale_q(target, k100ns, st->time_base),
                  AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(codec_);
    if (audioCodec_ != nullptr) {
        avcodec_flush_buffers(audioCodec_);
    }
    audio_.Clear();
    presenter_.Flush();
    std::lock_guard lock(mutex_);
    atEnd_ = false;
}

void CPlayer::DecodeLoop() {
    int64_t skipUntil = -1;  // frames that end before this time are not shown (exact seeks)
    int64_t generation = 0;  // the seek whose first frame is awaited
    bool announceReady = true;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (atEnd_) {
                commandCv_.wait(lock, [this] { return command_ != Command::kNone; });
            }
            if (command_ == Command::kQuit) {
                return;
            }
            if (command_ == Command::kSeek) {
                command_ = Command::kNone;
                skipUntil = seekTarget_;
                generation = seekGeneration_;
                abort_ = false;
                lock.unlock();
                DoSeek(skipUntil);
                continue;
            }
        }
        VideoFrame frame;
        if (!DecodeNext(&frame)) {
            {
                std::lock_guard lock(mutex_);
                atEnd_ = true;
            }
            presenter_.EndOfStream([this] {
                clock_.Pause();
                state_ = kStopped;
                std::lock_guard lock(mutex_);
                endPending_ = true;
                notifyCv_.notify_all();
            });
            continue;
        }
        // The frame shown for a time is the one whose interval holds it.
        if (skipUntil >= 0 && frame.time100ns + frameDuration100ns_ <= skipUntil) {
            continue;
        }
        skipUntil = -1;
        if (!presenter_.Deliver(frame, abort_)) {
            continue;  // cut short: a seek or the end is waiting
        }
        std::lock_guard lock(mutex_);
        if (shownGeneration_ < generation) {
            shownGeneration_ = generation;
            shownCv_.notify_all();
        }
        if (announceReady) {
            announceReady = false;
            if (state_ == kOpenPending) {
                state_ = kStopped;
            }
            Post(UWM_SESSION_READY);
        }
    }
}

void CPlayer::NotifyLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        notifyCv_.wait(lock, [this] { return endPending_ || quitNotifier_; });
        if (quitNotifier_) {
            return;
        }
        // The end notice follows the last frame by 200 ms, unless playback went elsewhere.
        if (notifyCv_.wait_for(lock, kEndNoticeDelay,
                               [this] { return quitNotifier_ || !endPending_; })) {
            if (quitNotifier_) {
                return;
            }
            continue;
        }
        endPending_ = false;
        lock.unlock();
        Post(UWM_SESSION_ENDED);
        lock.lock();
    }
}

int CPlayer::Start() {
    const int s = state_;
    if (s != kPaused && s != kStopped) {
        return kInvalidRequestResult;
    }
    if (format_ == nullptr) {
        return kUnexpected;
    }
    bool restart = false;
    {
        std::lock_guard lock(mutex_);
        restart = atEnd_;
    }
    if (restart) {
        // Played to the end: start again from the beginning, as a session does.
        Seek(0);
    }
    clock_.Resume();
    presenter_.ClockStarted();
    audio_.Resume();
    state_ = kStarted;
    return 0;
}

int CPlayer::Pause() {
    if (state_ != kStarted) {
        return kInvalidRequestResult;
    }
    clock_.Pause();
    presenter_.ClockPaused();
    audio_.Suspend();
    state_ = kPaused;
    Post(UWM_SESSION_PAUSED);
    return 0;
}

int CPlayer::Seek(int64_t time100ns) {
    if (format_ == nullptr || state_ == kClosed || state_ == kClosing) {
        return kInvalidRequestResult;
    }
    clock_.Pause();
    clock_.SetTime(time100ns);
    presenter_.ClockPaused();
    int64_t generation;
    {
        std::lock_guard lock(mutex_);
        command_ = Command::kSeek;
        seekTarget_ = time100ns;
        generation = ++seekGeneration_;
        abort_ = true;
        atEnd_ = false;
        endPending_ = false;
    }
    presenter_.Flush();
    commandCv_.notify_all();
    std::unique_lock lock(mutex_);
    shownCv_.wait_for(lock, std::chrono::seconds(5),
                      [&] { return shownGeneration_ >= generation || atEnd_; });
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
        return kPointerResult;
    }
    volume_ = volume;
    audio_.SetVolume(static_cast<float>(volume) / 65535.0f);
    return 0;
}

int CPlayer::Close() {
    if (decoder_.joinable()) {
        state_ = kClosing;
        {
            std::lock_guard lock(mutex_);
            command_ = Command::kQuit;
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
            quitNotifier_ = true;
        }
        notifyCv_.notify_all();
        notifier_.join();
    }
    audio_.Close();
    swr_free(&resample_);
    avcodec_free_context(&audioCodec_);
    audioStream_ = -1;
    hasAudio_ = false;
    avcodec_free_context(&codec_);
    av_buffer_unref(&hardwareDevice_);
    avformat_close_input(&format_);
    av_packet_free(&packet_);
    sws_freeContext(convert_);
    convert_ = nullptr;
    stream_ = -1;
    width_ = height_ = 0;
    state_ = kClosed;
    return 0;
}

}  // namespace tavrilo
