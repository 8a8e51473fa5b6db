// The track pipeline: the content test, parsing a recording's sensor records, the prefetch of
// the next one, publishing, the camera block and the route of a whole list.

#include "engine/engine_internal.h"
#include "recordings/content_test.h"
#include "recordings/mp4_scan.h"
#include "recordings/sensor_track.h"

namespace tavrilo::engine {

int IsRecordingFile(EngineContext* ctx, const char* path) {
    Lock lock = LockFile(ctx);
    return path != nullptr && IsRecordingFileContent(path) ? 1 : 0;
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
    return ok && ctx->Ready && BuildFrameIndex(ctx->LoadedTrack, ctx->Frames) ? 1 : 0;
}

int UnloadTrack(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    FreeTrack(ctx->LoadedTrack);
    ResetReader(ctx->Track);
    return 1;
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

}  // namespace tavrilo::engine
