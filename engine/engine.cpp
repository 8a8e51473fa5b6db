#include "engine/engine.h"

#include <fstream>

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

// Playing, seeking and the position need the player's session; until it exists these report
// failure.
int32_t GetPosition(EngineContext*) {
    return -1;
}
int SeekFrame(EngineContext*, int64_t) {
    return 0;
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

// The picture and the view need the player's presenter; until then they fail.
int Unavailable(EngineContext*) {
    return 0;
}
int ReturnsOne(EngineContext*) {
    return 1;
}
int SetAspectMode(EngineContext*, int32_t) {
    return 0;
}
int GetVideoSize(EngineContext*, int32_t*, int32_t*) {
    return 0;
}
int SetZoom(EngineContext*, int32_t, int32_t, int32_t, int32_t, float, int32_t) {
    return 0;
}
int DragView(EngineContext*, float, float, float) {
    return 0;
}
int SetViewType(EngineContext*, int32_t) {
    return 0;
}
int SetViewAspect(EngineContext*, int32_t, int32_t) {
    return 0;
}
int SaveSnapshot(EngineContext*, const char*) {
    return 0;
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

}  // namespace engine

const EngineOps& GetEngineOps() {
    using namespace engine;
    static const EngineOps ops = {
        Init,          Shutdown,          IsRecordingFile, OpenMovie,   CloseMovie,
        LoadTrack,     UnloadTrack,       Unavailable,     ReturnsOne,  Unavailable,
        Unavailable,   GetPosition,       SeekFrame,       SeekFrame,   Unavailable,
        Unavailable,   SetHardwareDecode, Unavailable,     SetRate,     ReturnsOne,
        SetAspectMode, GetFrameCount,     GetFrameCount,   Unavailable, GetFrameDuration,
        GetVideoSize,  SetVolume,         ReturnsOne,      ReturnsOne,  ReturnsOne,
        SetZoom,       DragView,          Unavailable,     Unavailable, SetViewType,
        SetViewAspect, Unavailable,       SaveSnapshot,    Unavailable, ReturnsOne,
    };
    return ops;
}

}  // namespace tavrilo
