// The engine's context, its table and the track pipeline, including the threads that share it.

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

using namespace tavrilo::test;
using namespace std::chrono_literals;

// A back-end that opens anything: the frame count comes from the file's own tables.
class StubPlayer : public PlayerBackend {
  public:
    bool Open(const std::string&) override { return true; }
    bool CanReverse() const override { return false; }
    void SetVolume(uint16_t v) override { volume = v; }
    bool SetRate(float r, bool) override {
        rate = r;
        return true;
    }
    uint16_t volume = 0;
    float rate = 0;
};

std::unique_ptr<PlayerBackend> MakeStubPlayer(EngineContext&) {
    return std::make_unique<StubPlayer>();
}

Bytes RecordingWithRecords(int n, uint32_t mvhdSeconds = 3) {
    std::vector<Bytes> records(static_cast<size_t>(n), Record({}));
    return Recording(Gps0Payload(records), MoovWithStts(Stts({{90, 33333}}), mvhdSeconds * 1000));
}

class Engine : public ::testing::Test {
  protected:
    void SetUp() override {
        ops.Init(&ctx, nullptr);
        ctx.Ready = 1;
        ctx.MakePlayer = MakeStubPlayer;
    }
    void TearDown() override { ops.Shutdown(&ctx); }

    // OpenMovie with the stub back-end, so the frame count is known.
    void Open(const TempFile& f) { ASSERT_EQ(ops.OpenMovie(&ctx, f.path().c_str()), 1); }

    const EngineOps& ops = GetEngineOps();
    EngineContext ctx;
};

TEST_F(Engine, InitSetsTheStartingState) {
    EXPECT_EQ(ctx.RateCode, 1);
    EXPECT_EQ(ctx.PlayState, MovieState::kClosed);
    EXPECT_EQ(ctx.FileMutexName, "hFileMutex");
    EXPECT_EQ(ctx.CacheMutexName, "hCacheFileMutex");
    EXPECT_EQ(ctx.Track.ScanMutex, &FindMutex());
    EXPECT_EQ(ctx.Prefetch.ScanMutex, &FindMutex());
    EXPECT_EQ(ctx.LoadedTrack.ScanMutex, nullptr);
}

TEST_F(Engine, InitTwiceLeavesOneLiveSet) {
    std::recursive_mutex* firstFile = ctx.FileMutex.get();
    ctx.RateCode = 4;
    ctx.Prefetch.Path = "/somewhere";
    ASSERT_EQ(ops.Init(&ctx, nullptr), 1);
    ASSERT_TRUE(ctx.FileMutex);
    ASSERT_TRUE(ctx.CacheMutex);
    EXPECT_EQ(ctx.RateCode, 1);
    EXPECT_EQ(ctx.Prefetch.Path, "");
    // The new mutexes work (a stale one would be destroyed memory under the sanitizers).
    std::lock_guard a(*ctx.FileMutex);
    std::lock_guard b(*ctx.CacheMutex);
    (void)firstFile;
}

TEST_F(Engine, ViewsReadTheTracksUnderTheFileLockAndNothingOnceShutDown) {
    ctx.Track.GSamples.resize(3);
    ctx.AllTracks = std::make_unique<std::vector<GpsSample>>(5);
    size_t samples = 0, fixes = 0;
    auto heldByCaller = [&] {
        // A recursive mutex: another thread trying it shows whether it is held.
        bool free = false;
        std::thread([&] {
            free = ctx.FileMutex->try_lock();
            if (free) {
                ctx.FileMutex->unlock();
            }
        }).join();
        return !free;
    };
    EXPECT_TRUE(engine::ReadTrack(ctx, [&](const TrackReader& t) {
        samples = t.GSamples.size();
        EXPECT_TRUE(heldByCaller());
    }));
    EXPECT_TRUE(engine::ReadListTracks(
        ctx, [&](const std::vector<GpsSample>* all) { fixes = all ? all->size() : 0; }));
    EXPECT_EQ(samples, 3u);
    EXPECT_EQ(fixes, 5u);
    EXPECT_FALSE(heldByCaller());

    ops.Shutdown(&ctx);
    bool called = false;
    EXPECT_FALSE(engine::ReadTrack(ctx, [&](const TrackReader&) { called = true; }));
    EXPECT_FALSE(
        engine::ReadListTracks(ctx, [&](const std::vector<GpsSample>*) { called = true; }));
    EXPECT_FALSE(called);
}

TEST_F(Engine, ShutdownClosesEverything) {
    ops.Shutdown(&ctx);
    EXPECT_FALSE(ctx.FileMutex);
    EXPECT_FALSE(ctx.CacheMutex);
    EXPECT_EQ(ctx.FileMutexName, "");
    EXPECT_EQ(ctx.Track.ScanMutex, nullptr);
    EXPECT_EQ(ops.Shutdown(&ctx), 1);  // twice is harmless
}

TEST_F(Engine, TableSlotsInOrder) {
    EXPECT_EQ(ops.Reserved8(&ctx), 1);
    EXPECT_EQ(ops.Reserved14(&ctx), 0);
    EXPECT_EQ(ops.Reserved39(&ctx), 1);
    EXPECT_EQ(ops.SetHardwareDecode(&ctx, 1), &ctx);
    EXPECT_EQ(ctx.HardwareDecode, 1);
    EXPECT_EQ(ops.GetPosition(&ctx), -1);
    EXPECT_EQ(ops.GetFrameCount(&ctx), 0);  // no movie open
    // View slots fail without a presenter.
    EXPECT_EQ(ops.DragView(&ctx, 1, 1, 1), 0);
    EXPECT_EQ(ops.FlipView(&ctx), 0);
}

TEST_F(Engine, OpenMovieMeasuresTheRecording) {
    TempFile f(RecordingWithRecords(3));
    Open(f);
    EXPECT_EQ(ctx.PlayState, MovieState::kStopped);
    EXPECT_FLOAT_EQ(ctx.FrameDurationMs, 33.333f);
    EXPECT_FLOAT_EQ(ctx.LoadedTrack.FrameDurationMs, 33.333f);
    EXPECT_EQ(ops.GetFrameCount(&ctx), 90);  // the pictures the track lists
    EXPECT_FLOAT_EQ(ops.GetFrameDuration(&ctx), 33.333f);
    // Track was the scratch reader and is left empty.
    EXPECT_EQ(ctx.Track.Path, "");
    EXPECT_FALSE(ctx.Track.File.IsOpen());
    EXPECT_EQ(ops.CloseMovie(&ctx), 1);
    EXPECT_EQ(ctx.PlayState, MovieState::kClosed);
}

TEST_F(Engine, ShortMoviesOpenOnlyAtFifteenMilliseconds) {
    auto movie = [](uint32_t milliseconds, uint32_t delta) {
        return Recording(Gps0Payload({}), MoovWithStts(Stts({{30, delta}}), milliseconds));
    };
    TempFile oneSecond33(movie(1000, 33333));
    EXPECT_EQ(ops.OpenMovie(&ctx, oneSecond33.path().c_str()), 0);
    EXPECT_EQ(ctx.PlayState, MovieState::kClosed);
    TempFile oneSecond15(movie(1000, 15000));
    EXPECT_EQ(ops.OpenMovie(&ctx, oneSecond15.path().c_str()), 1);
    TempFile twoSeconds(movie(1600, 33333));
    EXPECT_EQ(ops.OpenMovie(&ctx, twoSeconds.path().c_str()), 1);
    TempFile notMp4(Text(std::string(300, 'x')));
    EXPECT_EQ(ops.OpenMovie(&ctx, notMp4.path().c_str()), 0);
}

TEST_F(Engine, AFileWithoutPicturesIsRefusedWithItsReason) {
    const Bytes mvhd = Box("mvhd", Mvhd(1000, 5000));
    const Bytes sound = VideoTrak(Box("stts", Stts({{100, 1024}})), 48000, "soun");
    struct Case {
        Bytes bytes;
        std::string reason;
        VideoProblem problem;
    } cases[] = {
        {Bytes(), "the file is empty", VideoProblem::kEmpty},
        {Recording(Gps0Payload({}), Box("moov", mvhd)), "the file has no video track",
         VideoProblem::kNoVideo},
        {Recording(Gps0Payload({}), Box("moov", Cat({mvhd, sound}))), "the file has no video track",
         VideoProblem::kNoVideo},
        {Recording(Gps0Payload({}), Box("moov", Cat({mvhd, Box("mvex", Bytes(8, 0))}))),
         "the file is a fragmented MP4, which this viewer does not play",
         VideoProblem::kFragmented},
        {Cat({Box("ftyp", Text("isom0000")), Box("mdat", Bytes(100, 0))}),
         "the file has no movie header (moov): it was cut short while recording",
         VideoProblem::kCut},
        {Text(std::string(300, 'x')), "the file is not an MP4 or MOV file", VideoProblem::kNotMp4},
        {Recording(Gps0Payload({}), MoovWithStts(Stts({{30, 33333}}), 1000)),
         "the recording is shorter than 1.5 seconds", VideoProblem::kTooShort},
    };
    for (const Case& c : cases) {
        TempFile f(c.bytes);
        EXPECT_EQ(ops.OpenMovie(&ctx, f.path().c_str()), 0);
        EXPECT_EQ(ctx.OpenError, c.reason);
        EXPECT_EQ(ctx.OpenProblem, c.problem) << c.reason;
        EXPECT_EQ(ctx.PlayState, MovieState::kClosed);
    }
    // The first track need not be the video: the pictures are the video track's.
    TempFile soundFirst(
        Recording(Gps0Payload({}),
                  Box("moov", Cat({mvhd, sound, VideoTrak(Box("stts", Stts({{75, 40000}})))}))));
    EXPECT_EQ(ops.OpenMovie(&ctx, soundFirst.path().c_str()), 1);
    EXPECT_EQ(ctx.OpenError, "");
    EXPECT_EQ(ctx.OpenProblem, VideoProblem::kNone);
    EXPECT_EQ(ops.GetFrameCount(&ctx), 75);
    EXPECT_FLOAT_EQ(ops.GetFrameDuration(&ctx), 40.0f);
}

TEST_F(Engine, OpenMovieWithoutABackEndFails) {
    ctx.MakePlayer = nullptr;
    TempFile f(RecordingWithRecords(3));
    EXPECT_EQ(ops.OpenMovie(&ctx, f.path().c_str()), 0);
    EXPECT_EQ(ctx.PlayState, MovieState::kClosed);
}

TEST_F(Engine, LoadTrackParsesAndIndexesThenPublishes) {
    TempFile f(RecordingWithRecords(30));
    Open(f);
    ASSERT_EQ(ops.LoadTrack(&ctx, f.path().c_str()), 1);
    EXPECT_EQ(ctx.LoadedTrack.GSamples.size(), 30u);
    EXPECT_EQ(ctx.LoadedTrack.FrameIndex.size(), 90u);
    EXPECT_EQ(ctx.Track.Path, f.path());
    EXPECT_TRUE(engine::PublishTrack(&ctx));
    EXPECT_EQ(ctx.Track.GpsSamples.size(), 30u);
    EXPECT_TRUE(ctx.LoadedTrack.GpsSamples.empty());
    EXPECT_EQ(ops.UnloadTrack(&ctx), 1);
    EXPECT_TRUE(ctx.Track.GpsSamples.empty());
    EXPECT_EQ(ctx.Track.Path, "");
}

TEST_F(Engine, TrackWithoutGpsRecordsLoadsButPublishesNothing) {
    TempFile f(RecordingWithRecords(0));
    Open(f);
    ASSERT_EQ(ops.LoadTrack(&ctx, f.path().c_str()), 1);
    EXPECT_FALSE(engine::PublishTrack(&ctx));
}

TEST_F(Engine, LoadTrackNeedsAFrameCount) {
    TempFile f(RecordingWithRecords(5));
    // No movie open: no frame count, so the per-frame index cannot be built.
    EXPECT_EQ(ops.LoadTrack(&ctx, f.path().c_str()), 0);
}

TEST_F(Engine, LoadTrackTakesAFinishedPrefetchWithoutReopening) {
    auto f = std::make_unique<TempFile>(RecordingWithRecords(12));
    const std::string path = f->path();
    Open(*f);
    ASSERT_TRUE(engine::PrefetchTrack(&ctx, path.c_str()));
    EXPECT_EQ(ctx.Prefetch.Loaded.load(), 1);
    // The file is gone: only the prefetched data can make this succeed.
    f.reset();
    ASSERT_FALSE(std::filesystem::exists(path));
    ASSERT_EQ(ops.LoadTrack(&ctx, path.c_str()), 1);
    EXPECT_EQ(ctx.LoadedTrack.GSamples.size(), 12u);
    EXPECT_TRUE(ctx.Prefetch.GSamples.empty());
    EXPECT_EQ(ctx.Prefetch.Path, "");
}

TEST_F(Engine, LoadTrackOfAnotherPathCancelsARunningPrefetch) {
    TempFile wanted(RecordingWithRecords(7));
    TempFile stale(RecordingWithRecords(3));
    Open(wanted);

    // Hold the shared scan lock so the prefetch stops at its first scan step.
    std::unique_lock scans(FindMutex());
    bool prefetchResult = true;
    std::thread prefetcher(
        [&] { prefetchResult = engine::PrefetchTrack(&ctx, stale.path().c_str()); });
    EXPECT_TRUE(test::WaitUntil([&] { return ctx.Prefetch.Busy.load() != 0; }));
    int loadResult = 0;
    std::thread loader([&] { loadResult = ops.LoadTrack(&ctx, wanted.path().c_str()); });
    EXPECT_TRUE(test::WaitUntil([&] { return ctx.Prefetch.Cancel.load() != 0; }));
    scans.unlock();
    prefetcher.join();
    loader.join();

    EXPECT_FALSE(prefetchResult);
    EXPECT_EQ(loadResult, 1);
    EXPECT_EQ(ctx.LoadedTrack.GSamples.size(), 7u);
    EXPECT_EQ(ctx.Prefetch.Loaded.load(), 0);
    EXPECT_EQ(ctx.Prefetch.Cancel.load(), 0);
    EXPECT_EQ(ctx.Prefetch.Busy.load(), 0);
}

TEST_F(Engine, PrefetchNullEmptiesTheReader) {
    TempFile f(RecordingWithRecords(4));
    ASSERT_TRUE(engine::PrefetchTrack(&ctx, f.path().c_str()));
    EXPECT_EQ(ctx.Prefetch.RequestedPath, f.path());
    EXPECT_TRUE(engine::PrefetchTrack(&ctx, nullptr));
    EXPECT_EQ(ctx.Prefetch.RequestedPath, "");
    EXPECT_EQ(ctx.Prefetch.Path, "");
    EXPECT_TRUE(ctx.Prefetch.GSamples.empty());
    EXPECT_EQ(ctx.Prefetch.Loaded.load(), 0);
    ctx.Ready = 0;
    EXPECT_FALSE(engine::PrefetchTrack(&ctx, nullptr));
}

TEST_F(Engine, ConcurrentPrefetchesAndLoadsStayConsistent) {
    TempFile a(RecordingWithRecords(5));
    TempFile b(RecordingWithRecords(9));
    Open(a);
    std::atomic<bool> stop{false};
    std::thread p1([&] {
        while (!stop)
            engine::PrefetchTrack(&ctx, a.path().c_str());
    });
    std::thread p2([&] {
        while (!stop)
            engine::PrefetchTrack(&ctx, b.path().c_str());
    });
    for (int i = 0; i < 40; ++i) {
        const bool first = i % 2 == 0;
        ASSERT_EQ(ops.LoadTrack(&ctx, (first ? a : b).path().c_str()), 1);
        EXPECT_EQ(ctx.LoadedTrack.GSamples.size(), first ? 5u : 9u);
    }
    stop = true;
    p1.join();
    p2.join();
}

TEST_F(Engine, RateCodes) {
    TempFile f(RecordingWithRecords(3));
    Open(f);
    auto* player = static_cast<StubPlayer*>(ctx.Player.get());
    ops.SetVolume(&ctx, 40000);
    EXPECT_EQ(player->volume, 40000);

    // Not playing: both directions give 1. Not ready: 0.
    EXPECT_EQ(engine::NextRateCode(&ctx, 1), 1);
    ctx.PlayState = MovieState::kPlaying;
    EXPECT_EQ(engine::NextRateCode(&ctx, 0), -1);
    // Without reverse play, -1 from x1 becomes x0.5 with code -2, muted.
    ASSERT_EQ(ops.SetRate(&ctx, -1), 1);
    EXPECT_EQ(ctx.RateCode, -2);
    EXPECT_EQ(player->rate, 0.5f);
    EXPECT_EQ(player->volume, 0);
    EXPECT_EQ(engine::NextRateCode(&ctx, 0), -2);  // the player's ladder stops at -2
    EXPECT_EQ(engine::NextRateCode(&ctx, 1), 1);
    ops.SetRate(&ctx, -1);  // from -2 back to x1
    EXPECT_EQ(ctx.RateCode, 1);
    EXPECT_EQ(player->rate, 1.0f);
    EXPECT_EQ(player->volume, 40000);
    ops.SetRate(&ctx, 4);
    EXPECT_EQ(player->rate, 4.0f);
    EXPECT_EQ(engine::NextRateCode(&ctx, 1), 4);
    EXPECT_EQ(engine::NextRateCode(&ctx, 0), 2);
    ctx.RateCode = 7;
    EXPECT_EQ(engine::NextRateCode(&ctx, 1), 1);
    ctx.Ready = 0;
    EXPECT_EQ(engine::NextRateCode(&ctx, 1), 0);

    EXPECT_EQ(engine::RateForCode(-4, false), 0.25f);
    EXPECT_EQ(engine::RateForCode(-4, true), -4.0f);
    EXPECT_EQ(engine::RateForCode(3, true), 1.0f);
}

TEST_F(Engine, CameraInfoAndAllTracks) {
    TempFile a(Recording(Gps0Payload({Record({}), Record({})}, -1, CameraBlock('D'))));
    TempFile b(RecordingWithRecords(3));
    CameraInfo info;
    EXPECT_EQ(engine::ReadCameraInfo(&ctx, &info, a.path().c_str()), 1);
    EXPECT_EQ(info.Mode, 'D');

    RecordingList list(2);
    list[0].Path = a.path();
    list[1].Path = b.path();
    ASSERT_TRUE(engine::CollectAllTracks(&ctx, list));
    ASSERT_EQ(ctx.AllTracks->size(), 5u);
    EXPECT_EQ((*ctx.AllTracks)[2].Index, 0);
    EXPECT_TRUE(engine::CollectAllTracks(&ctx, {}));
    EXPECT_TRUE(ctx.AllTracks->empty());
    list[1].Path = "/nonexistent";
    EXPECT_FALSE(engine::CollectAllTracks(&ctx, list));
}

TEST_F(Engine, ContentTestSlot) {
    TempFile good(RecordingWithRecords(1));
    TempFile bad(Text(std::string(400, 'x')));
    EXPECT_EQ(ops.IsRecordingFile(&ctx, good.path().c_str()), 1);
    EXPECT_EQ(ops.IsRecordingFile(&ctx, bad.path().c_str()), 0);
}

}  // namespace
}  // namespace tavrilo

namespace tavrilo {
namespace {

// A back-end with a display whose every call writes its fields: a call that reached it without
// the file lock while another thread closed it would be a race (and a use after free).
class ThreadedPlayer : public StubPlayer {
  public:
    int Start() override { return ++calls, 0; }
    int Pause() override { return ++calls, 0; }
    int SeekTo(int64_t t) override { return position = t, 0; }
    std::optional<int64_t> ClockTime() override { return position + 1; }
    bool HasVideoDisplay() const override { return true; }
    bool NativeVideoSize(int32_t* w, int32_t* h) const override {
        *w = *h = 64;
        return true;
    }
    bool Repaint() override { return ++calls, true; }
    bool SetVideoRect(const PictureRect& r, bool) override { return rect = r, true; }
    int DragView(float, float, float) override { return ++calls, 1; }
    bool SaveCurrentImage(const std::string&, int32_t, int32_t) override { return ++calls, true; }
    int calls = 0;
    int64_t position = 0;
    PictureRect rect;
};

std::unique_ptr<PlayerBackend> MakeThreadedPlayer(EngineContext&) {
    return std::make_unique<ThreadedPlayer>();
}

class ThreadedWindow : public MessageTarget {
  public:
    void PostAppMessage(uint32_t, intptr_t, intptr_t) override {}
    bool ClientSize(int32_t* w, int32_t* h) const override {
        *w = 320;
        *h = 240;
        return true;
    }
};

TEST(EngineThreads, WindowCallsWhileOtherThreadsOpenCloseLoadAndPrefetch) {
    EngineContext ctx;
    ThreadedWindow window;
    const EngineOps& ops = GetEngineOps();
    ops.Init(&ctx, &window);
    ctx.Ready = 1;
    ctx.MakePlayer = MakeThreadedPlayer;
    TempFile a(RecordingWithRecords(6));
    TempFile b(RecordingWithRecords(9));
    std::atomic<bool> stop{false};
    std::atomic<int> opened{0};
    // The opening thread of the main window: open, load, close, over and over.
    std::thread opener([&] {
        for (int i = 0; i < 200; ++i) {
            const TempFile& f = i % 2 ? a : b;
            if (ops.OpenMovie(&ctx, f.path().c_str()) == 1) {
                ++opened;
                ops.LoadTrack(&ctx, f.path().c_str());
                engine::PublishTrack(&ctx);
            }
            ops.UnloadTrack(&ctx);
            ops.CloseMovie(&ctx);
        }
        stop = true;
    });
    // The prefetch thread of the next recording.
    std::thread prefetcher([&] {
        for (int i = 0; !stop; ++i) {
            engine::PrefetchTrack(&ctx, (i % 2 ? b : a).path().c_str());
        }
    });
    // The window thread: everything the controls and the views call.
    int answered = 0;
    while (!stop) {
        ops.SetRate(&ctx, answered % 3 ? 2 : 1);
        ops.SetVolume(&ctx, 30000);
        engine::NextRateCode(&ctx, 1);
        ops.Play(&ctx);
        ops.GetPosition(&ctx);
        ops.SeekFrame(&ctx, 10);
        int32_t w = 0, h = 0;
        answered += ops.GetVideoSize(&ctx, &w, &h);
        ops.SetZoom(&ctx, 160, 120, 0, 0, 1.5f, 1);
        ops.SetAspectMode(&ctx, 1);
        ops.DragView(&ctx, 0.1f, 0.0f, 1.0f);
        ops.Repaint(&ctx);
        ops.SaveSnapshot(&ctx, "/nonexistent/still.jpg");
        ops.GetFrameDuration(&ctx);
        ops.Pause(&ctx);
        std::lock_guard lock(*ctx.FileMutex);  // as the views read the published track
        (void)ctx.Track.GSamples.size();
    }
    opener.join();
    prefetcher.join();
    EXPECT_GT(opened.load(), 0);
    EXPECT_EQ(ctx.PlayState, MovieState::kClosed);
    ops.Shutdown(&ctx);
}

}  // namespace
}  // namespace tavrilo
