// The engine with a back-end that has a display: seeks to a picture's own time, the
// position it names, the play states and the picture rectangles.

#include "engine/engine.h"
#include "engine/track_access.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/mp4_bytes.h"
#include "tests/support/wait.h"

namespace tavrilo {
namespace {

// A back-end with a display that records what the engine asks of it.
class DisplayPlayer : public PlayerBackend {
  public:
    bool Open(const std::string&) override { return true; }
    bool CanReverse() const override { return false; }
    void SetVolume(uint16_t) override {}
    bool SetRate(float, bool) override { return true; }
    int Start() override {
        started = true;
        return 0;
    }
    bool SessionStarted() const override { return started; }
    int Pause() override {
        started = false;
        ++pauses;
        return 0;
    }
    int SeekTo(int64_t position) override {
        seeks.push_back(position);
        clock = position;
        return 0;
    }
    std::optional<int64_t> ClockTime() override {
        ++clockReads;
        return clock;
    }
    bool HasVideoDisplay() const override { return true; }
    bool NativeVideoSize(int32_t* w, int32_t* h) const override {
        *w = 1920;
        *h = 960;
        return true;
    }
    bool Repaint() override { return true; }
    bool SetVideoRect(const PictureRect& r, bool) override {
        rect = r;
        return true;
    }
    bool started = false;
    int pauses = 0, clockReads = 0;
    int64_t clock = 0;
    std::vector<int64_t> seeks;
    PictureRect rect;
};

class Window1000x400 : public MessageTarget {
  public:
    void PostAppMessage(uint32_t, intptr_t, intptr_t) override {}
    bool ClientSize(int32_t* w, int32_t* h) const override {
        *w = 1000;
        *h = 400;
        return true;
    }
};

class EnginePlayback : public ::testing::Test {
  protected:
    void SetUp() override {
        ops.Init(&ctx, &window);
        ctx.Ready = 1;
        // 29.97 pictures a second in 90 kHz ticks, as many writers time them.
        ctx.Frames = FrameTimes::Uniform(1800, 90000, 3003);
        ctx.FrameDurationMs = static_cast<float>(ctx.Frames.MeanDurationMs());
        ctx.Player = std::make_unique<DisplayPlayer>();
        player = static_cast<DisplayPlayer*>(ctx.Player.get());
    }
    void TearDown() override { ops.Shutdown(&ctx); }
    const EngineOps& ops = GetEngineOps();
    EngineContext ctx;
    Window1000x400 window;
    DisplayPlayer* player = nullptr;
};

TEST_F(EnginePlayback, SeeksGoToThePicturesOwnTimeAndThePositionNamesThePictureShown) {
    ASSERT_EQ(ops.SeekFrame(&ctx, 300), 1);
    EXPECT_EQ(player->seeks.back(), 100'100'000);  // 300 x 3003 / 90000 s
    EXPECT_EQ(ops.GetPosition(&ctx), 300);
    EXPECT_EQ(ctx.Position, 300);
    EXPECT_EQ(ops.SeekFrameAlias(&ctx, 1), 1);
    EXPECT_EQ(player->seeks.back(), 333'667);  // 3003 / 90000 s, rounded to 100 ns
    // Every picture is one step: seek N, then the position reads N, for all of them.
    int64_t wrong = 0;
    for (int64_t n = 0; n < ops.GetFrameCount(&ctx); ++n) {
        ops.SeekFrame(&ctx, n);
        wrong += ops.GetPosition(&ctx) != n;
    }
    EXPECT_EQ(wrong, 0);
    // While playing, the clock between two pictures' starts reads the earlier one.
    player->clock = 100'100'000 + 333'000;
    EXPECT_EQ(ops.GetPosition(&ctx), 300);
    player->clock = 100'100'000 + 333'667;
    EXPECT_EQ(ops.GetPosition(&ctx), 301);
}

TEST_F(EnginePlayback, PositionZeroIsAskedForAgainBeforeItIsBelieved) {
    player->clock = 0;
    EXPECT_EQ(ops.GetPosition(&ctx), 0);
    EXPECT_EQ(player->clockReads, 11);
    player->clock = -5;
    EXPECT_EQ(ops.GetPosition(&ctx), -1);
}

TEST_F(EnginePlayback, PlayPauseStopFollowTheStates) {
    ctx.PlayState = MovieState::kStopped;
    EXPECT_EQ(ops.Play(&ctx), 1);
    EXPECT_EQ(ctx.PlayState, MovieState::kPlaying);
    EXPECT_TRUE(player->started);
    EXPECT_EQ(ops.Stop(&ctx), 1);
    EXPECT_EQ(ctx.PlayState, MovieState::kStopped);
    EXPECT_EQ(player->pauses, 1);  // stopping pauses the session
    EXPECT_EQ(ops.Pause(&ctx), 1);
    EXPECT_EQ(ctx.PlayState, MovieState::kPaused);
    EXPECT_EQ(player->pauses, 1);  // not started: nothing to pause
}

TEST_F(EnginePlayback, PictureRectangles) {
    // Keeping the aspect of a 1920 x 960 video in a 1000 x 400 window: 800 x 400, centred,
    // plus 2 pixels at the right and bottom edges.
    ASSERT_EQ(ops.SetAspectMode(&ctx, 1), 0);  // no zoom yet: 0 scale gives no rectangle
    ctx.ZoomScale = 1.0f;
    ctx.ZoomCenterX = 500;
    ctx.ZoomCenterY = 200;
    ASSERT_EQ(ops.SetAspectMode(&ctx, 1), 1);
    EXPECT_EQ(player->rect, (PictureRect{100, 0, 902, 402}));
    EXPECT_EQ(ctx.AspectMode, 1);
    // A zoom of 2 about the centre doubles the rectangle round the centre.
    ops.SetAspectMode(&ctx, 0);
    ASSERT_EQ(ops.SetZoom(&ctx, 500, 200, 0, 0, 2.0f, 0), 1);
    EXPECT_EQ(ctx.VideoRect, (PictureRect{-500, -200, 1500, 600}));
    // Panning moves it.
    ops.SetZoom(&ctx, 500, 200, 10, -20, 1.0f, 0);
    EXPECT_EQ(ctx.VideoRect, (PictureRect{10, -20, 1010, 380}));
    // A zoom of 0 fails and leaves the rectangle.
    EXPECT_EQ(ops.SetZoom(&ctx, 500, 200, 0, 0, 0.0f, 0), 0);
    EXPECT_EQ(ctx.VideoRect, (PictureRect{10, -20, 1010, 380}));
    int32_t w = 0, h = 0;
    EXPECT_EQ(ops.GetVideoSize(&ctx, &w, &h), 1);
    EXPECT_EQ(w, 1920);
}

TEST(PictureRect, Geometry) {
    // The zoom centre stays in place: a point at a quarter of the width.
    const auto r = engine::ComputePictureRect(800, 400, 200, 100, 3.0f, 0, 0, false, 0, 0);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(*r, (PictureRect{-400, -200, 2000, 1000}));
    // A zoom below 1 far enough turns the rectangle inside out: refused.
    EXPECT_FALSE(
        engine::ComputePictureRect(800, 400, 400, 200, -1.5f, 0, 0, false, 0, 0).has_value());
    // A window taller than the video: the width decides.
    const auto tall = engine::ComputePictureRect(400, 800, 200, 400, 1.0f, 0, 0, true, 1000, 1000);
    EXPECT_EQ(*tall, (PictureRect{0, 200, 402, 602}));
}

}  // namespace
}  // namespace tavrilo
