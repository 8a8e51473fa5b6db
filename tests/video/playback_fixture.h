#pragma once
// Playing recordings through the engine with the FFmpeg back-end: a video window that records
// what is posted to it, and a fixture that opens a recording flat in a 256 x 256 view and reads
// the frame number the shown picture carries.

#include <gtest/gtest.h>
#include <QImage>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "tests/support/process.h"
#include "tests/support/wait.h"
#include "tools/gen/frame_strip.h"
#include "video/present/ffmpeg_backend.h"
#include "video/present/player.h"

namespace tavrilo::test {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The video window: records what is posted to it.
class Window : public MessageTarget {
  public:
    void PostAppMessage(uint32_t message, intptr_t, intptr_t) override {
        std::lock_guard lock(mutex_);
        messages_.push_back({message, Clock::now()});
        cv_.notify_all();
    }
    bool ClientSize(int32_t* w, int32_t* h) const override {
        *w = 256;
        *h = 256;
        return true;
    }
    // Waits for the n-th message of a kind (from 1); its arrival time, or nullopt.
    std::optional<Clock::time_point> WaitFor(uint32_t message, int n = 1,
                                             std::chrono::milliseconds limit = test::kEventLimit) {
        std::unique_lock lock(mutex_);
        std::optional<Clock::time_point> at;
        cv_.wait_for(lock, limit, [&] {
            int seen = 0;
            for (const auto& m : messages_) {
                if (m.first == message && ++seen == n) {
                    at = m.second;
                    return true;
                }
            }
            return false;
        });
        return at;
    }
    int Count(uint32_t message) {
        std::lock_guard lock(mutex_);
        return static_cast<int>(
            std::count_if(messages_.begin(), messages_.end(),
                          [message](const auto& m) { return m.first == message; }));
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::pair<uint32_t, Clock::time_point>> messages_;
};

// The frame number a JPEG of a generated picture carries; -1 when its strip cannot be read.
inline int64_t StripOfJpeg(const fs::path& jpeg) {
    const QImage grey =
        QImage(QString::fromStdString(jpeg.string())).convertToFormat(QImage::Format_Grayscale8);
    const auto n = gen::ReadFrameStrip(grey.constBits(), static_cast<int>(grey.bytesPerLine()),
                                       grey.width(), grey.height());
    return n ? static_cast<int64_t>(*n) : -1;
}

inline fs::path Generate(const std::string& name, const std::string& options) {
    const fs::path file =
        fs::temp_directory_path() / ("tavrilo-play-" + std::to_string(getpid()) + "-" + name);
    if (!fs::exists(file)) {
        const auto r =
            RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(file) + " " + options);
        EXPECT_EQ(r.status, 0) << r.output;
    }
    return file;
}

class Playback : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "OpenGL needs a display; the test script runs these under Xvfb";
        }
        ops.Init(&ctx, &window);
        ctx.Ready = 1;
        ctx.MakePlayer = MakeFfmpegPlayer;
    }
    void TearDown() override {
        ops.CloseMovie(&ctx);
        ops.Shutdown(&ctx);
    }
    // Opens a recording, waits until it is ready and shows it flat, filling the 256 x 256 view.
    void Open(const fs::path& file) {
        ASSERT_EQ(ops.OpenMovie(&ctx, file.c_str()), 1);
        // Each recording announces itself once: wait for this one's notice.
        ASSERT_TRUE(window.WaitFor(UWM_SESSION_READY, ++opened).has_value());
        ops.SetViewType(&ctx, 2);
        ASSERT_EQ(ops.SetZoom(&ctx, 128, 128, 0, 0, 1.0f, 1), 1);
    }
    // The frame number the shown picture carries.
    int64_t ShownFrame() {
        const std::string path =
            (fs::temp_directory_path() / ("tavrilo-shown-" + std::to_string(getpid()) + ".jpg"))
                .string();
        EXPECT_EQ(ops.SaveSnapshot(&ctx, path.c_str()), 1);
        const int64_t n = StripOfJpeg(path);
        fs::remove(path);
        return n;
    }
    // Waits until the decoder rests: nothing decoded for half a second.
    void RestDecoder() {
        auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
        ASSERT_NE(access, nullptr);
        for (int i = 0; i < 20; ++i) {
            const int64_t before = access->player().framesDecoded();
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            if (access->player().framesDecoded() == before) {
                return;
            }
        }
        ADD_FAILURE() << "the decoder never rested";
    }
    const EngineOps& ops = GetEngineOps();
    EngineContext ctx;
    Window window;
    int opened = 0;
};

}  // namespace tavrilo::test
