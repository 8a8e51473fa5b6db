// Playing generated recordings through the engine: exact paused seeks, play states, rates,
// the end notice, and recordings whose audio cannot be played.

#include <gtest/gtest.h>
#include <QImage>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "engine/engine.h"
#include "recordings/box_tree.h"
#include "tests/support/cut_points.h"
#include "tests/support/process.h"
#include "tests/support/wait.h"
#include "tests/video/playback_fixture.h"
#include "tools/gen/frame_strip.h"
#include "video/present/ffmpeg_backend.h"
#include "video/present/frame_presenter.h"
#include "video/present/player.h"

namespace tavrilo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using namespace tavrilo::test;

struct Recording {
    const char* name;
    const char* options;
    int64_t frames;
};

TEST_F(Playback, PausedSeeksShowTheExactFrameAt30And27Point5H264AndH265) {
    for (const Recording& r :
         {Recording{"30.MP4", "--size 256 --seconds 3 --fps 30", 90},
          Recording{"275.MP4", "--size 256 --seconds 3 --fps 27.5 --codec h265", 83}}) {
        SCOPED_TRACE(r.name);
        Open(Generate(r.name, r.options));
        EXPECT_EQ(ops.GetFrameCount(&ctx), r.frames);
        EXPECT_EQ(ShownFrame(), 0);  // the preroll frame
        for (int64_t n : {int64_t{45}, int64_t{0}, int64_t{7}, int64_t{30}, int64_t{31},
                          r.frames - 3, int64_t{12}}) {
            ASSERT_EQ(ops.SeekFrame(&ctx, n), 1);
            EXPECT_EQ(ShownFrame(), n) << "seek " << n;
            EXPECT_EQ(ops.GetPosition(&ctx), n) << "seek " << n;
        }
        ops.CloseMovie(&ctx);
    }
}

TEST_F(Playback, PlayStatesInEveryOrder) {
    Open(Generate("states.MP4", "--size 128 --seconds 4"));
    EXPECT_EQ(ctx.PlayState, MovieState::kStopped);
    EXPECT_EQ(ops.Pause(&ctx), 1);
    EXPECT_EQ(ctx.PlayState, MovieState::kPaused);
    EXPECT_EQ(ops.Play(&ctx), 1);
    EXPECT_EQ(ctx.PlayState, MovieState::kPlaying);
    EXPECT_EQ(ops.Play(&ctx), 1);  // already playing: nothing changes
    EXPECT_EQ(ctx.PlayState, MovieState::kPlaying);
    EXPECT_EQ(ops.Stop(&ctx), 1);
    EXPECT_EQ(ctx.PlayState, MovieState::kStopped);
    EXPECT_EQ(ops.Stop(&ctx), 1);
    EXPECT_EQ(ops.Play(&ctx), 1);
    EXPECT_EQ(ops.Pause(&ctx), 1);
    EXPECT_EQ(ops.Pause(&ctx), 1);
    EXPECT_EQ(ctx.PlayState, MovieState::kPaused);
    EXPECT_EQ(window.Count(UWM_SESSION_PAUSED), 2);  // the session paused twice
    EXPECT_EQ(ops.CloseMovie(&ctx), 1);
    EXPECT_EQ(ctx.PlayState, MovieState::kClosed);
    EXPECT_EQ(ops.Play(&ctx), 0);  // nothing open
}

TEST_F(Playback, StartBeforeTheRecordingIsReadyFails) {
    CPlayer player(&window, nullptr);
    EXPECT_EQ(player.Start(), kInvalidRequest);  // closed
    player.presenter().HoldFramesForTesting(true);
    ASSERT_TRUE(player.Open(Generate("early.MP4", "--size 128 --seconds 1").string()));
    EXPECT_EQ(player.state(), CPlayer::kOpenPending);
    EXPECT_EQ(player.Start(), kInvalidRequest);
    EXPECT_EQ(player.state(), CPlayer::kOpenPending);
    EXPECT_EQ(player.SetVolume(100), kPointer);  // not ready: nothing to set
    player.presenter().HoldFramesForTesting(false);
    ASSERT_TRUE(window.WaitFor(UWM_SESSION_READY).has_value());
    EXPECT_EQ(player.Start(), 0);
    EXPECT_EQ(player.state(), CPlayer::kStarted);
    EXPECT_EQ(player.Close(), 0);
    EXPECT_EQ(player.state(), CPlayer::kClosed);
}

TEST_F(Playback, RatesMoveThePositionAtTheirSpeed) {
    Open(Generate("rates.MP4", "--size 128 --seconds 10"));
    auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
    ASSERT_NE(access, nullptr);
    // The clock moves only when the test moves it: one second each time.
    const auto base = Clock::now();
    std::atomic<int64_t> elapsedMs{0};
    access->clock().SetTimeSourceForTesting(
        [&] { return base + std::chrono::milliseconds(elapsedMs.load()); });
    // Frame 30 starts at 0.99 s (33 ms frames); a second of x1 later the clock stands at
    // 1.99 s, frame 60; x2 reaches 2.99 s (90), x0.5 1.49 s (45).
    for (const auto& [code, frames] : {std::pair{1, 30}, std::pair{2, 60}, std::pair{-2, 15}}) {
        ASSERT_EQ(ops.SeekFrame(&ctx, 30), 1);
        ops.SetRate(&ctx, code);
        EXPECT_EQ(ops.GetPosition(&ctx), 30) << "code " << code;
        ASSERT_EQ(ops.Play(&ctx), 1);
        elapsedMs += 1000;
        EXPECT_EQ(ops.GetPosition(&ctx), 30 + frames) << "code " << code;
        ops.Pause(&ctx);
        ops.SetRate(&ctx, 1);
    }
}

TEST_F(Playback, EndNoticeArrivesOnceAfterTheLastFrame) {
    Open(Generate("end.MP4", "--size 128 --seconds 2"));
    auto* player = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
    ASSERT_NE(player, nullptr);
    ASSERT_EQ(ops.Play(&ctx), 1);
    const auto ended = window.WaitFor(UWM_SESSION_ENDED, 1);
    ASSERT_TRUE(ended.has_value());
    // The notice waits its 200 ms behind the last frame.
    EXPECT_EQ(player->presenter().lastPresentedIndex(), 59);
    EXPECT_GE(*ended - player->presenter().lastPresentTime(), 200ms);
    EXPECT_GE(ops.GetPosition(&ctx), 58);
    // Played through once more, the recording ends with exactly one more notice: the first
    // end sent no second one meanwhile.
    ASSERT_EQ(ops.Stop(&ctx), 1);
    ASSERT_EQ(ops.SeekFrame(&ctx, 50), 1);
    ASSERT_EQ(ops.Play(&ctx), 1);
    ASSERT_TRUE(window.WaitFor(UWM_SESSION_ENDED, 2).has_value());
    EXPECT_EQ(window.Count(UWM_SESSION_ENDED), 2);
}

TEST_F(Playback, ARecordingWhoseAudioCannotBePlayedStillPlays) {
    fs::path file = Generate("noaudio-src.MP4", "--size 128 --seconds 2");
    // Rename the audio codec in the sample description: no decoder knows it.
    auto bytes = test::ReadAll(file);
    std::string text(bytes.begin(), bytes.end());
    const size_t at = text.find("mp4a");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 4, "zzzz");
    const fs::path broken = file.string() + ".broken.MP4";
    std::ofstream(broken, std::ios::binary) << text;
    Open(broken);
    ASSERT_EQ(ops.Play(&ctx), 1);
    ASSERT_TRUE(window.WaitFor(UWM_SESSION_ENDED, 1).has_value());
    EXPECT_EQ(ops.SetVolume(&ctx, 1000), 1);
    fs::remove(broken);
}

TEST_F(Playback, TrackLoadsAgainstTheRealFrameCount) {
    const fs::path file = Generate("track.MP4", "--size 128 --seconds 2 --kind G");
    Open(file);
    ASSERT_EQ(ops.LoadTrack(&ctx, file.c_str()), 1);
    EXPECT_EQ(ctx.LoadedTrack.FrameIndex.size(), static_cast<size_t>(ops.GetFrameCount(&ctx)));
    EXPECT_TRUE(engine::PublishTrack(&ctx));
    EXPECT_EQ(ctx.Track.GSamples.size(), 20u);
}

TEST_F(Playback, ViewSlotsForwardToTheModel) {
    Open(Generate("view.MP4", "--size 128 --seconds 2"));
    ops.SetViewType(&ctx, 3);
    EXPECT_EQ(ops.DragView(&ctx, 0.01f, 0, 1.0f), 1);
    EXPECT_EQ(ops.CommitDrag(&ctx), 0);
    EXPECT_EQ(ops.FlipView(&ctx), 1);
    EXPECT_EQ(ops.FlipView(&ctx), 0);
    EXPECT_EQ(ops.ResetView(&ctx), 0);
    int32_t w = 0, h = 0;
    EXPECT_EQ(ops.GetVideoSize(&ctx, &w, &h), 1);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(ops.Repaint(&ctx), 1);
    ops.CloseMovie(&ctx);
    EXPECT_EQ(ops.DragView(&ctx, 0.01f, 0, 1.0f), 0);  // no presenter: refused
}

}  // namespace
}  // namespace tavrilo

#include <QAudioDevice>
#include <QMediaDevices>

namespace tavrilo {
namespace {

TEST_F(Playback, SoundGoesToTheAudioDeviceWhenThereIsOne) {
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        GTEST_SKIP() << "no audio device (the test script starts a PulseAudio null sink)";
    }
    const fs::path file = Generate("sound.MP4", "--size 128 --seconds 2");
    CPlayer player(&window, nullptr);
    ASSERT_TRUE(player.Open(file.string()));
    EXPECT_TRUE(player.hasAudio());
    EXPECT_TRUE(player.audioPlaying());
    ASSERT_TRUE(window.WaitFor(UWM_SESSION_READY).has_value());
    EXPECT_EQ(player.SetVolume(30000), 0);
    EXPECT_EQ(player.volume(), 30000);
    ASSERT_EQ(player.Start(), 0);
    EXPECT_TRUE(window.WaitFor(UWM_SESSION_ENDED, 1).has_value());
    EXPECT_EQ(player.Close(), 0);
    EXPECT_FALSE(player.audioPlaying());
}

}  // namespace
}  // namespace tavrilo

namespace tavrilo {
namespace {

TEST_F(Playback, HardwarePreferenceFallsBackToSoftwareWithoutADevice) {
    ctx.HardwareDecode = 1;
    Open(Generate("hw.MP4", "--size 256 --seconds 2"));
    auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
    ASSERT_NE(access, nullptr);
    ASSERT_EQ(ops.SeekFrame(&ctx, 12), 1);
    EXPECT_EQ(ShownFrame(), 12);
    // Nothing shows which decoder ran but the speed; a machine without a GPU decodes in software.
    if (!fs::exists("/dev/dri/renderD128")) {
        CPlayer probe(&window, nullptr);
        probe.SetHardwareDecode(true);
        ASSERT_TRUE(probe.Open(Generate("hw.MP4", "").string()));
        EXPECT_FALSE(probe.hardwareDecoding());
    }
}

}  // namespace
}  // namespace tavrilo

namespace tavrilo {
namespace {

TEST_F(Playback, StepsSeeksAndRatesInAnyMixShowTheFrameTheEngineReports) {
    // Key frames every 30 frames; the sound makes playing after a step start from a key frame.
    Open(Generate("mix.MP4", "--size 256 --seconds 4"));
    const auto expectAt = [&](int64_t n) {
        ASSERT_EQ(ops.SeekFrame(&ctx, n), 1);
        EXPECT_EQ(ShownFrame(), n) << "seek " << n;
        EXPECT_EQ(ops.GetPosition(&ctx), n) << "seek " << n;
    };
    // Back and forth inside one group of pictures, across its key frame, and far jumps.
    for (int64_t n :
         {45, 44, 43, 31, 30, 29, 28, 46, 47, 60, 75, 74, 59, 58, 110, 2, 1, 0, 3, 16, 15}) {
        expectAt(n);
    }
    auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
    ASSERT_NE(access, nullptr);
    for (int rate : {1, 2, 4}) {
        ASSERT_EQ(ops.SetRate(&ctx, rate), 1);
        ASSERT_EQ(ops.Play(&ctx), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        ASSERT_EQ(ops.Pause(&ctx), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        // Paused where it played to: the picture is the presenter's last frame, the one whose
        // interval holds the paused clock or the next (the scheduler shows a frame up to three
        // quarters of a frame early).
        const int64_t shown = ShownFrame();
        EXPECT_EQ(shown, access->presenter().lastPresentedIndex()) << "rate " << rate;
        const int64_t at = access->clock().Time() / 333330;
        EXPECT_GE(shown, at) << "rate " << rate;
        EXPECT_LE(shown, at + 1) << "rate " << rate;
        ASSERT_EQ(ops.SetRate(&ctx, 1), 1);
        // And the steps after it: back from where playback stopped, then on.
        const int64_t p = ops.GetPosition(&ctx);
        for (int64_t n : {p - 1, p - 2, p - 14, p - 13, p + 1, p + 12}) {
            expectAt(std::max<int64_t>(n, 0));
        }
    }
}

TEST_F(Playback, APauseAfterDecodingFellBehindRestsOnTheFrameShown) {
    // A machine too slow for x4: the clock runs on while no frame gets through. Paused, the
    // position is the picture the user sees, and playing on goes on from it, sound and all.
    Open(Generate("behind.MP4", "--size 256 --seconds 4"));
    auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
    ASSERT_NE(access, nullptr);
    ASSERT_EQ(ops.SeekFrame(&ctx, 30), 1);
    const auto base = Clock::now();
    std::atomic<int64_t> elapsedMs{0};
    access->clock().SetTimeSourceForTesting(
        [&] { return base + std::chrono::milliseconds(elapsedMs.load()); });
    ASSERT_EQ(ops.SetRate(&ctx, 4), 1);
    ASSERT_EQ(ops.Play(&ctx), 1);
    // The clock stands until the frames are held: what got through by then is shown.
    access->presenter().HoldFramesForTesting(true);
    elapsedMs += 250;  // a second of the recording at x4
    EXPECT_EQ(ops.GetPosition(&ctx), 60);
    ASSERT_EQ(ops.Pause(&ctx), 1);
    access->presenter().HoldFramesForTesting(false);
    const int64_t shown = ShownFrame();
    EXPECT_EQ(shown, access->presenter().lastPresentedIndex());
    EXPECT_LT(shown, 40);
    EXPECT_EQ(access->clock().Time() / 333330, shown);
    // Playing on at x1: a tenth of a second later the picture is three frames on.
    ASSERT_EQ(ops.SetRate(&ctx, 1), 1);
    ASSERT_EQ(ops.Play(&ctx), 1);
    elapsedMs += 100;
    EXPECT_TRUE(
        test::WaitUntil([&] { return access->presenter().lastPresentedIndex() == shown + 3; }));
    EXPECT_EQ(ShownFrame(), shown + 3);
    EXPECT_EQ(ops.GetPosition(&ctx), shown + 3);
}

TEST_F(Playback, EveryCutOfARecordingOpensOrFailsButNeverCrashes) {
    // Cut at every box boundary and inside every table: the engine's open refuses the file or
    // plays what there is; either way it closes again and the next open works.
    const fs::path whole = Generate("cut-whole.MP4", "--size 256 --seconds 2");
    const auto doc = ParseBoxTree(whole.string(), false);
    ASSERT_NE(doc, nullptr);
    std::set<uint64_t> cuts;
    test::CutPoints(doc->Root, &cuts);
    std::ifstream in(whole, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    const fs::path cut =
        fs::temp_directory_path() / ("tavrilo-play-" + std::to_string(getpid()) + "-cut.MP4");
    int played = 0, refused = 0;
    for (const uint64_t at : cuts) {
        if (at >= bytes.size()) {
            continue;
        }
        std::ofstream(cut, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(at));
        SCOPED_TRACE("cut at " + std::to_string(at) + " of " + std::to_string(bytes.size()));
        // Counted before the opening: a recording without a frame may report its end before
        // OpenMovie has returned.
        const int ended = window.Count(UWM_SESSION_ENDED);
        if (ops.OpenMovie(&ctx, cut.c_str()) == 1) {
            ++played;
            EXPECT_GT(ops.GetFrameCount(&ctx), 0);
            // A frame is shown, or (the tables cut short) the end is reported at once.
            EXPECT_TRUE(test::WaitUntil([&] {
                return window.Count(UWM_SESSION_READY) >= opened + 1 ||
                       window.Count(UWM_SESSION_ENDED) > ended;
            }));
            opened = window.Count(UWM_SESSION_READY);
            ops.SeekFrame(&ctx, ops.GetFrameCount(&ctx) / 2);
            ops.Play(&ctx);
        } else {
            ++refused;
        }
        EXPECT_EQ(ops.CloseMovie(&ctx), 1);
    }
    fs::remove(cut);
    // Cuts before the end of the index lose the length or the tables and are refused; cuts in
    // the media data leave a recording that opens. The whole file still opens after them all.
    EXPECT_GT(refused, 10);
    EXPECT_GT(played, 0);
    opened = window.Count(UWM_SESSION_READY);
    Open(whole);
    EXPECT_EQ(ShownFrame(), 0);
}

TEST_F(Playback, TheOpeningsOwnFirstFrameIsShownOnceAndTheFramesAfterItFollowInOrder) {
    // The first frame comes from a decoder of its own; the main decoder's copy of it must not
    // come again, with frames reordered (B-frames) or not, in either codec.
    for (const auto& [name, options] :
         {std::pair{"first.MP4", "--size 256 --seconds 2"},
          std::pair{"first-b.MP4", "--size 256 --seconds 2 --preset medium"},
          std::pair{"first-265.MP4", "--size 256 --seconds 2 --codec h265 --preset medium"}}) {
        SCOPED_TRACE(name);
        Open(Generate(name, options));
        auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
        ASSERT_NE(access, nullptr);
        EXPECT_EQ(ShownFrame(), 0);
        for (int64_t shown = 1; shown <= 4; ++shown) {
            const int64_t before = access->presenter().framesPresented();
            access->presenter().Step(1);
            ASSERT_TRUE(
                test::WaitUntil([&] { return access->presenter().framesPresented() > before; }));
            EXPECT_EQ(access->presenter().lastPresentedIndex(), shown);
            EXPECT_EQ(ShownFrame(), shown);
        }
        // Played through untimed, every frame after them comes once, in order.
        access->player().SetFrameDropping(false);
        std::vector<int64_t> indices;
        const int ends = window.Count(UWM_SESSION_ENDED);
        ASSERT_EQ(ops.SetRate(&ctx, 4), 1);
        ASSERT_EQ(ops.Play(&ctx), 1);
        int64_t last = 4;
        EXPECT_TRUE(test::WaitUntil([&] {
            const int64_t now = access->presenter().lastPresentedIndex();
            if (now != last) {
                indices.push_back(now);
                last = now;
            }
            return window.Count(UWM_SESSION_ENDED) > ends;
        }));
        ASSERT_FALSE(indices.empty());
        EXPECT_TRUE(std::is_sorted(indices.begin(), indices.end()));
        EXPECT_GT(indices.front(), 4);
        EXPECT_EQ(indices.back(), 59);
        ops.CloseMovie(&ctx);
    }
}

TEST_F(Playback, APauseKeepsTheFramesAroundTheOneShownSoNearSeeksDecodeNothing) {
    // Key frames every 30 frames, and sound: playing after the steps starts from a key frame.
    Open(Generate("rest.MP4", "--size 256 --seconds 4"));
    auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
    ASSERT_NE(access, nullptr);
    const auto decoded = [&] { return access->player().framesDecoded(); };
    const auto rest = [&] { RestDecoder(); };
    const auto seekTo = [&](int64_t n) {
        ASSERT_EQ(ops.SeekFrame(&ctx, n), 1);
        EXPECT_EQ(ShownFrame(), n) << "seek " << n;
    };
    seekTo(75);
    rest();
    // Back 14 at a time, resting between: each lands among the frames kept, the later ones
    // after the frames around the last one were decoded again from further back (across the
    // key frames at 60 and 30).
    for (int64_t n : {61, 47, 33, 19}) {
        const int64_t before = decoded();
        seekTo(n);
        EXPECT_EQ(decoded(), before) << "seek " << n;
        rest();
    }
    // Forward 14 lands among the frames decoded ahead (those decoded after it, as it is shown,
    // cannot be told apart from the seek's own here), and stepping on without resting goes
    // through the kept frames into new ones, in order.
    for (int64_t n = 33; n <= 70; ++n) {
        seekTo(n);
    }
    ASSERT_EQ(ops.Play(&ctx), 1);
    EXPECT_TRUE(test::WaitUntil([&] { return access->presenter().lastPresentedIndex() > 72; }));
    ASSERT_EQ(ops.Pause(&ctx), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ShownFrame(), access->presenter().lastPresentedIndex());
}

TEST_F(Playback, APauseWhilePlayingFindsTheFramesBeforeTheOneShownKept) {
    // Playing keeps fewer frames than a pause does, but enough for 16 steps back: pausing
    // decodes the frames ahead (a decoder waiting to hand a frame on goes on), and not the
    // group of pictures again from further back.
    Open(Generate("played.MP4", "--size 256 --seconds 4"));
    auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
    ASSERT_NE(access, nullptr);
    const auto decoded = [&] { return access->player().framesDecoded(); };
    ASSERT_EQ(ops.Play(&ctx), 1);
    ASSERT_TRUE(test::WaitUntil([&] { return access->presenter().lastPresentedIndex() >= 50; }));
    ASSERT_EQ(ops.Pause(&ctx), 1);
    const int64_t paused = decoded();
    RestDecoder();
    EXPECT_LE(decoded() - paused, 15 + 3) << "decoded again from further back";
    const int64_t shown = ShownFrame();
    ASSERT_GE(shown, 50);
    EXPECT_GE(decoded(), shown + 15) << "no look-ahead after the pause";
    // The 16 frames before the one shown are among the kept ones, though the presenter held
    // two frames past the one shown when the pause came: going back to them decodes nothing.
    const int64_t rested = decoded();
    for (int64_t n = shown - 1; n >= shown - 16; --n) {
        ASSERT_EQ(ops.SeekFrame(&ctx, n), 1);
        const int64_t frame = n;
        EXPECT_EQ(ShownFrame(), frame) << "seek " << n;
        if (frame >= shown - 16) {
            EXPECT_EQ(decoded(), rested) << "seek " << n << " (frame " << frame << ")";
        }
    }
}

TEST_F(Playback, SeeksWhileTheFramesAroundTheShownOneAreDecodedAgainShowTheirFrames) {
    // After a step back among the kept frames, a rest starts decoding the frames around it
    // again from further back. Seeks that come while that work is under way, at several
    // points of it, land on its frames, on frames just after them, or before them all.
    Open(Generate("recenter.MP4", "--size 512 --seconds 6"));
    const auto seekTo = [&](int64_t n) {
        ASSERT_EQ(ops.SeekFrame(&ctx, n), 1);
        EXPECT_EQ(ShownFrame(), n) << "seek " << n;
    };
    int64_t at = 40;
    for (const int delayMs : {150, 170, 200, 240, 300, 400}) {
        SCOPED_TRACE("after " + std::to_string(delayMs) + " ms");
        seekTo(at);
        RestDecoder();
        seekTo(at - 12);  // among the kept frames, few of them before it
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        // Before the kept frames, then back and forth around there without a rest.
        for (const int64_t n : {at - 24, at - 25, at - 20, at - 31, at - 8, at - 9}) {
            seekTo(n);
        }
        at += 25;
    }
    // Playing on from the last of them goes on in order.
    auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
    ASSERT_NE(access, nullptr);
    const int64_t from = access->presenter().lastPresentedIndex();
    ASSERT_EQ(ops.Play(&ctx), 1);
    EXPECT_TRUE(
        test::WaitUntil([&] { return access->presenter().lastPresentedIndex() > from + 3; }));
    ASSERT_EQ(ops.Pause(&ctx), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ShownFrame(), access->presenter().lastPresentedIndex());
}

TEST_F(Playback, SteppingShowsTheFramesAfterTheCurrentOne) {
    Open(Generate("step.MP4", "--size 256 --seconds 2"));
    auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx.Player.get());
    ASSERT_NE(access, nullptr);
    ops.SeekFrame(&ctx, 10);
    ASSERT_EQ(ShownFrame(), 10);
    for (const auto& [steps, shown] : {std::pair{1, 11}, std::pair{3, 14}}) {
        access->presenter().Step(steps);
        EXPECT_TRUE(
            test::WaitUntil([&] { return access->presenter().lastPresentedIndex() == shown; }));
        EXPECT_EQ(ShownFrame(), shown);
        EXPECT_EQ(ops.GetPosition(&ctx), shown);  // the position follows
    }
    // Playing again goes on from the stepped frame.
    ASSERT_EQ(ops.Play(&ctx), 1);
    EXPECT_GE(ops.GetPosition(&ctx), 14);
    EXPECT_TRUE(test::WaitUntil([&] { return ops.GetPosition(&ctx) > 14; }));
}

}  // namespace
}  // namespace tavrilo
