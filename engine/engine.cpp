#include "engine/engine.h"

#include "engine/engine_internal.h"
#include "recordings/mp4_scan.h"

namespace tavrilo {
namespace engine {

// FileMutex, or no lock before Init / after Shutdown.
Lock LockFile(EngineContext* ctx) {
    return ctx->FileMutex ? Lock(*ctx->FileMutex) : Lock();
}

// Waits until whoever holds CacheMutex (a running prefetch) lets go.
void WaitForCache(EngineContext* ctx) {
    if (ctx->CacheMutex) {
        Lock wait(*ctx->CacheMutex);
    }
}

// Asks a running prefetch to stop and waits until it has.
void CancelPrefetch(EngineContext* ctx) {
    ctx->Prefetch.Cancel = 1;
    WaitForCache(ctx);
    ctx->Prefetch.Cancel = 0;
}

// Frees the arrays, closes the file and forgets the path.
void ResetReader(TrackReader& r) {
    r.Loaded = 0;
    FreeTrack(r);
    r.CloseFile();
    r.Path.clear();
}

void TearDownReader(TrackReader& r) {
    ResetReader(r);
    r.ScanMutex = nullptr;
}

std::string RequestedPathOf(const TrackReader& r) {
    std::lock_guard lock(r.RequestedMutex);
    return r.RequestedPath;
}

void SetRequestedPath(TrackReader& r, std::string path) {
    std::lock_guard lock(r.RequestedMutex);
    r.RequestedPath = std::move(path);
}

// The player with a video display, or null: the picture and position operations need one.
PlayerBackend* Display(EngineContext* ctx) {
    return ctx->Player && ctx->Player->HasVideoDisplay() ? ctx->Player.get() : nullptr;
}

int Init(EngineContext* ctx, MessageTarget* videoWindow) {
    Shutdown(ctx);
    ctx->FileMutex = std::make_unique<std::recursive_mutex>();
    ctx->FileMutexName = "hFileMutex";
    ctx->CacheMutex = std::make_unique<std::recursive_mutex>();
    ctx->CacheMutexName = "hCacheFileMutex";
    Lock lock = LockFile(ctx);
    ctx->VideoWindow = videoWindow;
    ctx->RateCode = 1;
    ctx->PanX = ctx->PanY = 0;
    ctx->PlayState = MovieState::kClosed;
    ctx->Player.reset();
    ctx->AllTracks.reset();
    ctx->Position = 0;
    for (TrackReader* r : {&ctx->Track, &ctx->Prefetch}) {
        ResetReader(*r);
        r->ScanMutex = &FindMutex();
    }
    SetRequestedPath(ctx->Prefetch, {});
    return 1;
}

int Shutdown(EngineContext* ctx) {
    CancelPrefetch(ctx);
    {
        Lock file = LockFile(ctx);
        Lock cache = ctx->CacheMutex ? Lock(*ctx->CacheMutex) : Lock();
        ctx->AllTracks.reset();
        ctx->Player.reset();
        ctx->PlayState = MovieState::kClosed;
    }
    ctx->FileMutex.reset();
    ctx->FileMutexName.clear();
    ctx->CacheMutex.reset();
    ctx->CacheMutexName.clear();
    TearDownReader(ctx->Prefetch);
    TearDownReader(ctx->Track);
    FreeTrack(ctx->LoadedTrack);
    return 1;
}

namespace {

int Unavailable(EngineContext*) {
    return 0;
}
int ReturnsOne(EngineContext*) {
    return 1;
}

}  // namespace
}  // namespace engine

const EngineOps& GetEngineOps() {
    using namespace engine;
    static const EngineOps ops = {
        Init,
        Shutdown,
        IsRecordingFile,
        OpenMovie,
        CloseMovie,
        LoadTrack,
        UnloadTrack,
        Play,
        ReturnsOne,
        Pause,
        Stop,
        GetPosition,
        SeekFrame,
        SeekFrame,
        Unavailable,
        Unavailable,
        SetHardwareDecode,
        Unavailable,
        SetRate,
        ReturnsOne,
        SetAspectMode,
        GetFrameCount,
        GetFrameCount,
        Unavailable,
        GetFrameDuration,
        GetVideoSize,
        SetVolume,
        ReturnsOne,
        ReturnsOne,
        ReturnsOne,
        SetZoom,
        DragView,
        CommitDrag,
        FlipView,
        SetViewType,
        SetViewAspect,
        ResetView,
        SaveSnapshot,
        Repaint,
        ReturnsOne,
    };
    return ops;
}

}  // namespace tavrilo
