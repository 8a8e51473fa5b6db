#include "engine/engine.h"

#include <chrono>
#include <fstream>
#include <thread>

#include "recordings/content_test.h"
#include "recordings/mp4_scan.h"
#include "recordings/sensor_track.h"

namespace tavrilo {
namespace engine {
namespace {

using Lock = std::unique_lock<std::recursive_mutex>;

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

// The cheap content check of OpenMovie: not empty, "ftyp" at bytes 4..7.
bool LooksLikeMp4(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[8] = {};
    return in.read(head, sizeof head) && std::string_view(head + 4, 4) == "ftyp";
}

int Init(EngineContext* ctx, MessageTarget* videoWindow);
int Shutdown(EngineContext* ctx);

int IsRecordingFile(EngineContext* ctx, const char* path) {
    Lock lock = LockFile(ctx);
    return path != nullptr && IsRecordingFileContent(path) ? 1 : 0;
}

int64_t GetFrameCount(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    if (!ctx->Player || ctx->FrameDurationMs <= 0) {
        return 0;
    }
    const float unitsPerFrame = ctx->FrameDurationMs * 10000.0f;
    return static_cast<int64_t>(static_cast<float>(ctx->Player->Duration100ns()) / unitsPerFrame);
}

int OpenMovie(EngineContext* ctx, const char* path) {
    Lock lock = LockFile(ctx);
    if (path == nullptr || !MeasureMovie(ctx, path)) {
        return 0;
    }
    ctx->LoadedTrack.FrameDurationMs = ctx->FrameDurationMs;
    if (ctx->MakePlayer == nullptr) {
        return 0;
    }
    std::unique_ptr<PlayerBackend> player = ctx->MakePlayer(*ctx);
    if (!player || !player->Open(path)) {
        return 0;
    }
    ctx->CanReverse = player->CanReverse() ? 1 : 0;
    ctx->Player = std::move(player);
    if (ctx->Ready == 0 || GetFrameCount(ctx) <= 0) {
        ctx->Player.reset();
        return 0;
    }
    ctx->PlayState = 1;
    return 1;
}

int CloseMovie(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    ctx->Player.reset();
    ctx->PlayState = 0;
    return 1;
}

int LoadTrack(EngineContext* ctx, const char* pathArg) {
    if (pathArg == nullptr || !ctx->FileMutex || !ctx->CacheMutex) {
        return 0;
    }
    const std::string path = pathArg;
    Lock file = LockFile(ctx);
    if (ctx->Prefetch.Busy) {
        if (RequestedPathOf(ctx->Prefetch) != path) {
            CancelPrefetch(ctx);
        } else {
            WaitForCache(ctx);  // the prefetch of this very file: let it finish
        }
    }
    bool ok;
    {
        Lock cache(*ctx->CacheMutex);
        Lock fileAgain(*ctx->FileMutex);
        ctx->Track.Path = path;
        TrackReader& prefetch = ctx->Prefetch;
        if (prefetch.Loaded && !prefetch.Path.empty() && prefetch.Path == path) {
            MoveTrack(prefetch, ctx->LoadedTrack);
            prefetch.Loaded = 0;
            ok = true;
        } else {
            ResetReader(prefetch);
            ok = ParseTrack(ctx->LoadedTrack, path);
        }
    }
    return ok && ctx->Ready && BuildFrameIndex(ctx->LoadedTrack, GetFrameCount(ctx)) ? 1 : 0;
}

int UnloadTrack(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    FreeTrack(ctx->LoadedTrack);
    ResetReader(ctx->Track);
    return 1;
}

// The player with a video display, or null: the picture and position operations need one.
PlayerBackend* Display(EngineContext* ctx) {
    return ctx->Player && ctx->Player->HasVideoDisplay() ? ctx->Player.get() : nullptr;
}

int Play(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    if (ctx->PlayState == 2) {
        return 1;
    }
    if (!ctx->Player || ctx->Player->Start() < 0) {
        return 0;
    }
    ctx->PlayState = 2;
    return 1;
}

// Pause and Stop both pause the session (a stopped recording keeps its picture).
int PauseTo(EngineContext* ctx, int32_t state) {
    Lock lock = LockFile(ctx);
    if (ctx->PlayState == state) {
        return 1;
    }
    if (!ctx->Player) {
        return 0;
    }
    if (ctx->Player->SessionStarted()) {
        ctx->Player->Pause();
    }
    ctx->PlayState = state;
    return 1;
}
int Pause(EngineContext* ctx) {
    return PauseTo(ctx, 3);
}
int Stop(EngineContext* ctx) {
    return PauseTo(ctx, 1);
}

int32_t GetPosition(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    PlayerBackend* player = Display(ctx);
    if (player == nullptr || ctx->FrameDurationMs <= 0) {
        return -1;
    }
    // Right after a start the clock reads 0 for a moment; ask again a few times.
    std::optional<int64_t> time = player->ClockTime();
    for (int i = 0; i < 10 && time && *time == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        time = player->ClockTime();
    }
    if (!time || *time < 0) {
        return -1;
    }
    const float unitsPerFrame = ctx->FrameDurationMs * 10000.0f;
    ctx->Position = static_cast<int32_t>(static_cast<float>(*time) / unitsPerFrame);
    return static_cast<int32_t>(ctx->Position);
}

int SeekFrame(EngineContext* ctx, int64_t frame) {
    Lock lock = LockFile(ctx);
    PlayerBackend* player = Display(ctx);
    if (player == nullptr) {
        return 0;
    }
    const auto position =
        static_cast<int64_t>(ctx->FrameDurationMs * static_cast<float>(frame) * 10000.0f);
    player->SeekTo(position);
    player->Repaint();
    return 1;
}

EngineContext* SetHardwareDecode(EngineContext* ctx, int32_t on) {
    ctx->HardwareDecode = on;
    return ctx;
}

int SetRate(EngineContext* ctx, int32_t code) {
    float rate = RateForCode(code, ctx->CanReverse != 0);
    if (code == -1 && !ctx->CanReverse) {
        // Without reverse play, "slower" from x1 means x0.5 and from x0.5 back to x1.
        if (ctx->RateCode == -2) {
            code = 1;
            rate = 1.0f;
        } else if (ctx->RateCode == 1) {
            code = -2;
            rate = 0.5f;
        } else {
            rate = 1.0f;
        }
    }
    ctx->RateCode = code;
    if (ctx->Player) {
        ctx->Player->SetVolume(code == 1 ? ctx->Volume : 0);
        ctx->Player->SetRate(rate, rate > 2.0f);
    }
    return 1;
}

int SetVolume(EngineContext* ctx, int32_t volume) {
    ctx->Volume = static_cast<uint16_t>(std::clamp(volume, 0, 65535));
    if (ctx->Player) {
        ctx->Player->SetVolume(ctx->RateCode == 1 ? ctx->Volume : 0);
    }
    return 1;
}

float GetFrameDuration(EngineContext* ctx) {
    return ctx->FrameDurationMs;
}

int Unavailable(EngineContext*) {
    return 0;
}
int ReturnsOne(EngineContext*) {
    return 1;
}

// Places the picture from the stored zoom, pan and aspect mode.
int ApplyPicture(EngineContext* ctx, int32_t aspectMode) {
    PlayerBackend* player = Display(ctx);
    int32_t w = 0, h = 0, vw = 0, vh = 0;
    if (player == nullptr || ctx->VideoWindow == nullptr || !ctx->VideoWindow->ClientSize(&w, &h)) {
        return 0;
    }
    player->NativeVideoSize(&vw, &vh);
    const auto rect = ComputePictureRect(w, h, ctx->ZoomCenterX, ctx->ZoomCenterY, ctx->ZoomScale,
                                         ctx->PanX, ctx->PanY, aspectMode == 1, vw, vh);
    if (!rect) {
        return 0;
    }
    ctx->VideoRect = *rect;
    if (!player->SetVideoRect(*rect, aspectMode == 1)) {
        return 0;
    }
    if (ctx->PlayState == 0 || ctx->PlayState > 3) {
        player->SetVolume(ctx->RateCode == 1 ? ctx->Volume : 0);
    }
    return 1;
}

int SetZoom(EngineContext* ctx, int32_t cx, int32_t cy, int32_t panX, int32_t panY, float scale,
            int32_t repaint) {
    Lock lock = LockFile(ctx);
    ctx->ZoomCenterX = cx;
    ctx->ZoomCenterY = cy;
    ctx->PanX = panX;
    ctx->PanY = panY;
    ctx->ZoomScale = scale;
    const int ok = ApplyPicture(ctx, ctx->AspectMode);
    if (ok && repaint && ctx->Player) {
        ctx->Player->Repaint();
    }
    return ok;
}

int SetAspectMode(EngineContext* ctx, int32_t keep) {
    Lock lock = LockFile(ctx);
    if (!ApplyPicture(ctx, keep)) {
        return 0;
    }
    ctx->AspectMode = keep;
    return 1;
}

int GetVideoSize(EngineContext* ctx, int32_t* width, int32_t* height) {
    PlayerBackend* player = Display(ctx);
    return player != nullptr && width != nullptr && height != nullptr &&
                   player->NativeVideoSize(width, height)
               ? 1
               : 0;
}

int Repaint(EngineContext* ctx) {
    PlayerBackend* player = Display(ctx);
    return player != nullptr && player->Repaint() ? 1 : 0;
}

// The view slots forward to the projection model under the file lock; without a presenter
// they do nothing and report their failure value.
int DragView(EngineContext* ctx, float dx, float dy, float zoom) {
    Lock lock = LockFile(ctx);
    PlayerBackend* player = Display(ctx);
    return player != nullptr ? player->DragView(dx, dy, zoom) : 0;
}
int CommitDrag(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    if (PlayerBackend* player = Display(ctx)) {
        player->CommitDrag();
    }
    return 0;
}
int FlipView(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    PlayerBackend* player = Display(ctx);
    return player != nullptr ? player->FlipView() : 0;
}
int SetViewType(EngineContext* ctx, int32_t mode) {
    Lock lock = LockFile(ctx);
    if (PlayerBackend* player = Display(ctx)) {
        player->SetViewType(mode);
    }
    return 0;
}
int SetViewAspect(EngineContext* ctx, int32_t width, int32_t height) {
    Lock lock = LockFile(ctx);
    if (PlayerBackend* player = Display(ctx)) {
        player->SetViewAspect(width, height);
    }
    return 0;
}
int ResetView(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    if (PlayerBackend* player = Display(ctx)) {
        player->ResetView();
    }
    return 0;
}

int SaveSnapshot(EngineContext* ctx, const char* path) {
    PlayerBackend* player = Display(ctx);
    int32_t vw = 0, vh = 0, w = 0, h = 0;
    if (player == nullptr || path == nullptr || !player->NativeVideoSize(&vw, &vh)) {
        return 0;
    }
    if (ctx->VideoWindow == nullptr || !ctx->VideoWindow->ClientSize(&w, &h)) {
        w = vw;
        h = vh;
    }
    return player->SaveCurrentImage(path, w, h) ? 1 : 0;
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
    ctx->PlayState = 0;
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
        ctx->PlayState = 0;
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

}  // namespace

std::optional<PictureRect> ComputePictureRect(int32_t clientWidth, int32_t clientHeight,
                                              int32_t centerX, int32_t centerY, float scale,
                                              int32_t panX, int32_t panY, bool keepAspect,
                                              int32_t videoWidth, int32_t videoHeight) {
    if (scale == 0.0f || clientWidth <= 0 || clientHeight <= 0) {
        return std::nullopt;
    }
    PictureRect r{0, 0, clientWidth, clientHeight};
    const float g = scale - 1.0f;
    const float w = static_cast<float>(clientWidth);
    const float h = static_cast<float>(clientHeight);
    const float cx = static_cast<float>(centerX);
    const float cy = static_cast<float>(centerY);
    // The point at (centerX, centerY) stays where it is while the picture grows.
    r.right += static_cast<int32_t>((1.0f - cx / w) * w * g);
    r.left -= static_cast<int32_t>(cx / w * w * g);
    if (r.right < r.left) {
        return std::nullopt;
    }
    r.bottom += static_cast<int32_t>((1.0f - cy / h) * h * g);
    r.top -= static_cast<int32_t>(cy / h * h * g);
    r.left += panX;
    r.right += panX;
    r.top += panY;
    r.bottom += panY;
    if (keepAspect && videoWidth > 0 && videoHeight > 0) {
        const float x = static_cast<float>(videoWidth) / static_cast<float>(videoHeight);
        int32_t width = r.right - r.left;
        int32_t height = r.bottom - r.top;
        if (w / h > x) {
            width = static_cast<int32_t>(static_cast<float>(height) * x);
        } else {
            height = static_cast<int32_t>(static_cast<float>(width) / x);
        }
        r = {(r.left + r.right - width) / 2, (r.top + r.bottom - height) / 2,
             (r.left + r.right + width) / 2 + 2, (r.top + r.bottom + height) / 2 + 2};
    }
    return r;
}

float RateForCode(int32_t code, bool canReverse) {
    switch (code) {
        case 1:
            return 1.0f;
        case 2:
            return 2.0f;
        case 4:
            return 4.0f;
        case -1:
            return canReverse ? -1.0f : 1.0f;
        case -2:
            return canReverse ? -2.0f : 0.5f;
        case -4:
            return canReverse ? -4.0f : 0.25f;
        default:
            return 1.0f;
    }
}

bool MeasureMovie(EngineContext* ctx, const std::string& path) {
    if (!LooksLikeMp4(path)) {
        return false;
    }
    TrackReader& scratch = ctx->Track;
    if (!scratch.OpenMapped(path)) {
        return false;
    }
    std::optional<float> seconds;
    std::optional<float> frameDuration;
    const bool scanned =
        ScanMovieSeconds(scratch, &seconds) && WalkFrameDuration(scratch, &frameDuration);
    const float duration = frameDuration.value_or(0.0f);
    ResetReader(scratch);
    scratch.FrameDurationMs = 0;
    // A scan that reaches the end without its box succeeds: the length then counts as 0.
    if (!scanned || !(seconds.value_or(0.0f) > 1.5f || duration == 15.0f)) {
        return false;
    }
    if (duration > 0) {
        ctx->FrameDurationMs = duration;
        return true;
    }
    const auto rate = ctx->ProbeFrameRate ? ctx->ProbeFrameRate(path) : std::nullopt;
    if (!rate || !(*rate > 0)) {
        return false;
    }
    ctx->FrameDurationMs = static_cast<float>(1000.0 / *rate);
    return true;
}

bool PrefetchTrack(EngineContext* ctx, const char* pathOrNull) {
    if (!ctx->Ready || !ctx->CacheMutex) {
        return false;
    }
    TrackReader& prefetch = ctx->Prefetch;
    prefetch.Cancel = 1;
    // The reset happens under CacheMutex so that it never races LoadTrack taking the
    // prefetched track, nor another prefetch thread.
    Lock cache(*ctx->CacheMutex);
    prefetch.Cancel = 0;
    ResetReader(prefetch);
    prefetch.Busy = 1;
    bool ok = true;
    if (pathOrNull != nullptr) {
        SetRequestedPath(prefetch, pathOrNull);
        ok = ParseTrack(prefetch, pathOrNull);
    } else {
        SetRequestedPath(prefetch, {});
    }
    cache.unlock();
    prefetch.Busy = 0;
    return ok;
}

bool PublishTrack(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    FreeTrack(ctx->Track);
    return MoveTrack(ctx->LoadedTrack, ctx->Track);
}

int32_t NextRateCode(EngineContext* ctx, int32_t faster) {
    if (!ctx->Ready) {
        return 0;
    }
    if (ctx->PlayState != 2) {
        return 1;
    }
    const int32_t c = ctx->RateCode;
    if (faster) {
        switch (c) {
            case -4:
                return -2;
            case -2:
                return ctx->CanReverse ? -1 : 1;
            case -1:
                return 1;
            case 1:
                return 2;
            case 2:
            case 4:
                return 4;
            default:
                return 1;
        }
    }
    const bool player = ctx->Player != nullptr;
    switch (c) {
        case -4:
            return player ? 1 : -4;
        case -2:
            return player ? -2 : -4;
        case -1:
            return -2;
        case 1:
            return -1;
        case 2:
            return 1;
        case 4:
            return 2;
        default:
            return 1;
    }
}

int ReadCameraInfo(EngineContext* ctx, CameraInfo* destination, const char* path) {
    Lock lock = LockFile(ctx);
    TrackReader reader;
    reader.ScanMutex = &FindMutex();
    if (destination != nullptr && path != nullptr && reader.OpenMapped(path)) {
        ScanPattern gps0{0, "gps0", [destination](TrackReader&, ByteView v) {
                             ParseCameraBlock(v, *destination);
                             return 0;
                         }};
        FindFirstGps0(reader, gps0);
    }
    return 1;
}

bool CollectAllTracks(EngineContext* ctx, const RecordingList& list) {
    Lock lock = LockFile(ctx);
    ctx->AllTracks = std::make_unique<std::vector<GpsSample>>();
    for (const RecordingEntry& entry : list) {
        TrackReader temporary;
        temporary.ScanMutex = &FindMutex();
        if (!ParseGpsOnly(temporary, entry.Path, *ctx->AllTracks)) {
            return false;
        }
    }
    return true;
}

RecordingLibrary::ContentTest ContentTestOf(EngineContext* ctx) {
    return [ctx](const std::string& path) { return IsRecordingFile(ctx, path.c_str()) != 0; };
}

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
