// Playback figures through the engine: time from OpenMovie to the first presented frame beside
// FFmpeg's own opening, paused seeks, steps and near seeks, fast playback, and untimed playback
// (frames decoded and drawn as fast as they come) beside decoding alone and drawing alone.
// Prints figures; decides nothing. Needs a display (Xvfb will do).

#include <QGuiApplication>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "video/input/ffmpeg_handles.h"
#include "video/input/frame_reader.h"
#include "video/present/ffmpeg_backend.h"
#include "video/present/frame_presenter.h"
#include "video/present/player.h"
#include "video/render/present_engine.h"

namespace {

using namespace tavrilo;
using Clock = std::chrono::steady_clock;

// The video view of the main window: a shown 722 x 406 window the player draws into, as in
// the viewer, so that every figure includes putting the picture on the screen.
class Window : public QWindow, public MessageTarget {
  public:
    Window() {
        setSurfaceType(QWindow::OpenGLSurface);
        setFormat(VideoSurfaceFormat());
        resize(722, 406);
        show();
        if (!QTest::qWaitForWindowExposed(this)) {
            std::fprintf(stderr, "playback_bench: the window was not shown; nothing is drawn\n");
        }
    }
    void PostAppMessage(uint32_t message, intptr_t, intptr_t) override {
        std::lock_guard lock(mutex_);
        ++counts_[message == UWM_SESSION_READY ? 0 : message == UWM_SESSION_ENDED ? 1 : 2];
        cv_.notify_all();
    }
    bool ClientSize(int32_t* w, int32_t* h) const override {
        *w = width();
        *h = height();
        return true;
    }
    void Wait(int which, int count) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::seconds(60), [&] { return counts_[which] >= count; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int counts_[3] = {0, 0, 0};
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The peer of the opening: FFmpeg's libraries used the usual way open the file, read its
// streams, open the decoder (all cores) and decode the first frame.
double FfmpegFirstFrameMs(const char* path) {
    const auto t0 = Clock::now();
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path, nullptr, nullptr) < 0) {
        std::fprintf(stderr, "playback_bench: cannot open %s\n", path);
        return -1;
    }
    av::InputPtr format(raw);
    const AVCodec* decoder = nullptr;
    const int stream = avformat_find_stream_info(raw, nullptr) < 0
                           ? -1
                           : av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream < 0 || decoder == nullptr) {
        std::fprintf(stderr, "playback_bench: no video in %s\n", path);
        return -1;
    }
    av::CodecPtr codec(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(codec.get(), raw->streams[stream]->codecpar);
    codec->thread_count = 0;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0) {
        return -1;
    }
    av::PacketPtr packet(av_packet_alloc());
    av::FramePtr frame(av_frame_alloc());
    while (avcodec_receive_frame(codec.get(), frame.get()) == AVERROR(EAGAIN)) {
        if (av_read_frame(raw, packet.get()) < 0) {
            avcodec_send_packet(codec.get(), nullptr);
            continue;
        }
        if (packet->stream_index == stream) {
            avcodec_send_packet(codec.get(), packet.get());
        }
        av_packet_unref(packet.get());
    }
    return Ms(Clock::now() - t0);
}

// Decoding alone, as the player's decoder thread decodes (all cores): frames a second over the
// whole recording.
double DecodeAloneFps(const char* path) {
    FrameReader reader;
    std::string error;
    if (!reader.Open(path, &error)) {
        return 0;
    }
    int n = 0;
    const auto t0 = Clock::now();
    while (reader.NextFrame(&error)) {
        ++n;
    }
    return n / (Ms(Clock::now() - t0) / 1000.0);
}

// Drawing alone, as the presenter draws in the window the bench plays in: a new frame uploaded
// for every draw, until the renderer has finished them all.
double DrawAloneFps(const char* path, QWindow* window) {
    FrameReader reader;
    std::string error;
    std::vector<VideoFrame> frames;
    if (reader.Open(path, &error)) {
        while (frames.size() < 4) {
            const auto f = reader.NextFrame(&error);
            if (!f) {
                break;
            }
            frames.push_back(*f);
        }
    }
    GLPresentEngine engine;
    if (frames.empty() || !engine.Initialize()) {
        return 0;
    }
    engine.SetWindow(window);
    engine.SetVideoSize(reader.width(), reader.height());
    engine.SetTargetSize(window->width(), window->height());
    engine.PresentFrame(&frames[0]);
    engine.Finish();
    const int n = 120;
    const auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        engine.PresentFrame(&frames[static_cast<size_t>(i) % frames.size()]);
    }
    engine.Finish();
    const double fps = n / (Ms(Clock::now() - t0) / 1000.0);
    engine.Release();
    return fps;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const EngineOps& ops = GetEngineOps();
    for (int a = 1; a < argc; ++a) {
        // FFmpeg's libraries and the engine take turns on a file the system has cached, so a
        // slower phase of the machine weighs on both: the engine's first opening, then five
        // later ones (as from recording to recording), each after one of FFmpeg's; medians of
        // five.
        FfmpegFirstFrameMs(argv[a]);
        Window window;
        EngineContext ctx;
        ops.Init(&ctx, &window);
        ctx.Ready = 1;
        ctx.MakePlayer = MakeFfmpegPlayer;
        std::vector<double> peer, openings;
        for (int i = 0; i < 6; ++i) {
            if (i > 0) {
                ops.CloseMovie(&ctx);
                peer.push_back(FfmpegFirstFrameMs(argv[a]));
            }
            const auto t0 = Clock::now();
            if (ops.OpenMovie(&ctx, argv[a]) != 1) {
                std::fprintf(stderr, "playback_bench: cannot open %s\n", argv[a]);
                return 1;
            }
            window.Wait(0, i + 1);
            openings.push_back(Ms(Clock::now() - t0));
        }
        std::sort(peer.begin(), peer.end());
        const double peerMs = peer[peer.size() / 2];
        const double firstOpenMs = openings.front();
        std::sort(openings.begin() + 1, openings.end());
        const double openMs = openings[3];
        ops.SetViewType(&ctx, VIEW_SPHERE);
        ops.SetZoom(&ctx, 361, 203, 0, 0, 1.0f, 1);
        const int64_t frames = ops.GetFrameCount(&ctx);

        std::mt19937 rng(7);
        std::vector<double> seeks;
        for (int i = 0; i < 50; ++i) {
            const int64_t n = static_cast<int64_t>(rng() % static_cast<uint32_t>(frames));
            const auto s0 = Clock::now();
            ops.SeekFrame(&ctx, n);
            seeks.push_back(Ms(Clock::now() - s0));
        }
        std::sort(seeks.begin(), seeks.end());

        // Reviewing an impact: from a frame in the middle, 15 steps back, 15 on, and seeks to
        // frames within 15 of the last one, each timed until its frame is shown. Twice: one
        // right after the other (the machine's pace), 100 ms apart (a user tapping a key ten
        // times a second) and 700 ms apart (looking at each frame), which leaves the player time
        // to decode around the frame shown.
        struct Review {
            std::vector<double> back, forward, near;
        };
        const auto review = [&](std::chrono::milliseconds pause, int64_t middle) {
            const auto timed = [&](int64_t n) {
                std::this_thread::sleep_for(pause);
                const auto s0 = Clock::now();
                ops.SeekFrame(&ctx, n);
                return Ms(Clock::now() - s0);
            };
            Review r;
            ops.SeekFrame(&ctx, middle);
            for (int i = 1; i <= 15; ++i) {
                r.back.push_back(timed(middle - i));
            }
            for (int i = 14; i >= -15; --i) {
                r.forward.push_back(timed(middle - i));
            }
            int64_t at = middle + 15;  // where the steps forward ended
            for (int i = 0; i < 30; ++i) {
                at = std::clamp<int64_t>(at + static_cast<int64_t>(rng() % 31) - 15, 0, frames - 1);
                r.near.push_back(timed(at));
            }
            for (auto* v : {&r.back, &r.forward, &r.near}) {
                std::sort(v->begin(), v->end());
            }
            return r;
        };
        const Review quick = review(std::chrono::milliseconds(0), frames / 2 + 7);
        const Review paced = review(std::chrono::milliseconds(100), frames / 3 + 7);
        const Review rested = review(std::chrono::milliseconds(700), frames * 2 / 3 + 7);

        // Fast playback at x2 and x4 for up to 10 seconds: how fast the position and the
        // picture move against the asked rate, and the frames shown and left out.
        auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
        const double frameMs = static_cast<double>(access->player().FrameDuration100ns()) / 1e4;
        std::string fast;  // printed with the file's other figures, after its heading
        for (int code : {2, 4}) {
            ops.SeekFrame(&ctx, 0);
            ops.SetRate(&ctx, code);
            const double videoMs = static_cast<double>(frames) * ctx.FrameDurationMs;
            const double wallMs = std::min(10000.0, (videoMs - 1000.0) / code);
            const int64_t shown0 = access->presenter().framesPresented();
            const int64_t dropped0 = access->player().framesDropped();
            const auto f0 = Clock::now();
            const int64_t c0 = access->clock().Time();
            ops.Play(&ctx);
            while (Ms(Clock::now() - f0) < wallMs) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            const double wall = Ms(Clock::now() - f0);
            const double clockMs = static_cast<double>(access->clock().Time() - c0) / 1e4;
            const double pictureMs =
                static_cast<double>(access->presenter().lastPresentedIndex()) * frameMs;
            ops.Pause(&ctx);
            char line[160];
            std::snprintf(line, sizeof line,
                          "  x%d for %.1f s: position at %.3f of the rate, picture at %.3f; "
                          "%lld frames shown, %lld left out\n",
                          code, wall / 1000, clockMs / wall / code, pictureMs / wall / code,
                          static_cast<long long>(access->presenter().framesPresented() - shown0),
                          static_cast<long long>(access->player().framesDropped() - dropped0));
            fast += line;
            ops.SetRate(&ctx, 1);
        }

        // Untimed: the clock runs so fast that every frame is late and shown as it comes.
        ops.SeekFrame(&ctx, 0);
        access->player().SetFrameDropping(false);
        const int64_t before = access->presenter().framesPresented();
        ctx.Player->SetRate(1000.0f, false);
        const auto p0 = Clock::now();
        ops.Play(&ctx);
        window.Wait(1, 1);
        const double playSeconds = Ms(access->presenter().lastPresentTime() - p0) / 1000.0;
        const int64_t shown = access->presenter().framesPresented() - before;
        std::printf("%s: %lld frames\n", argv[a], static_cast<long long>(frames));
        std::printf(
            "  OpenMovie to first presented frame  %8.1f ms, median of 5 (the engine's "
            "first: %.1f ms)\n",
            openMs, firstOpenMs);
        std::printf("  FFmpeg open and first frame decoded %8.1f ms, median of 5 (ratio %.2f)\n",
                    peerMs, openMs / peerMs);
        std::printf("  paused seek, median / worst of 50   %8.1f / %.1f ms\n",
                    seeks[seeks.size() / 2], seeks.back());
        const auto medianWorst = [](const std::vector<double>& v) {
            char text[32];
            std::snprintf(text, sizeof text, "%.1f / %.1f", v[v.size() / 2], v.back());
            return std::string(text);
        };
        std::printf(
            "  median / worst ms          one after another    100 ms apart    700 ms apart\n");
        const auto row = [&](const char* label, std::vector<double> Review::*v) {
            std::printf("    %-30s %15s %15s %15s\n", label, medianWorst(quick.*v).c_str(),
                        medianWorst(paced.*v).c_str(), medianWorst(rested.*v).c_str());
        };
        row("step back, 15 of them", &Review::back);
        row("step forward, 30 of them", &Review::forward);
        row("seek within 15 frames, 30", &Review::near);
        std::fputs(fast.c_str(), stdout);
        ops.CloseMovie(&ctx);
        const double pipelineFps = shown / playSeconds;
        const double decodeFps = DecodeAloneFps(argv[a]);
        const double drawFps = DrawAloneFps(argv[a], &window);
        std::printf("  untimed playback                    %8.1f frames/s (%lld frames)\n",
                    pipelineFps, static_cast<long long>(shown));
        // On a machine where both run on the same cores (software OpenGL), one frame costs
        // the time of both: the pipeline cannot beat 1 / (1 / decoding + 1 / drawing).
        const double shared = 1.0 / (1.0 / decodeFps + 1.0 / drawFps);
        std::printf(
            "  decoding alone / drawing alone      %8.1f / %.1f frames/s: the pipeline at "
            "%.2f of the slower, %.2f of both on the same cores (%.1f)\n",
            decodeFps, drawFps, pipelineFps / std::min(decodeFps, drawFps), pipelineFps / shared,
            shared);
        ops.Shutdown(&ctx);
    }
    return 0;
}
