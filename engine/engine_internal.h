#pragma once
// What the engine's operation files share: the lock helpers, the reader resets and the slot
// functions the table points at. Not for callers outside engine/.

#include <mutex>
#include <string>

#include "engine/engine.h"

namespace tavrilo::engine {

using Lock = std::unique_lock<std::recursive_mutex>;

// FileMutex, or no lock before Init / after Shutdown.
Lock LockFile(EngineContext* ctx);
// Waits until whoever holds CacheMutex (a running prefetch) lets go.
void WaitForCache(EngineContext* ctx);
// Asks a running prefetch to stop and waits until it has.
void CancelPrefetch(EngineContext* ctx);
// Frees the arrays, closes the file and forgets the path.
void ResetReader(TrackReader& r);
void TearDownReader(TrackReader& r);
std::string RequestedPathOf(const TrackReader& r);
void SetRequestedPath(TrackReader& r, std::string path);
// The player with a video display, or null: the picture and position operations need one.
// Call with FileMutex held.
PlayerBackend* Display(EngineContext* ctx);

// The slots of the table.
int Init(EngineContext* ctx, MessageTarget* videoWindow);
int Shutdown(EngineContext* ctx);
int IsRecordingFile(EngineContext* ctx, const char* path);
int OpenMovie(EngineContext* ctx, const char* path);
int CloseMovie(EngineContext* ctx);
int LoadTrack(EngineContext* ctx, const char* path);
int UnloadTrack(EngineContext* ctx);
int Play(EngineContext* ctx);
int Pause(EngineContext* ctx);
int Stop(EngineContext* ctx);
int32_t GetPosition(EngineContext* ctx);
int SeekFrame(EngineContext* ctx, int64_t frame);
EngineContext* SetHardwareDecode(EngineContext* ctx, int32_t on);
int SetRate(EngineContext* ctx, int32_t code);
int SetAspectMode(EngineContext* ctx, int32_t keep);
int64_t GetFrameCount(EngineContext* ctx);
float GetFrameDuration(EngineContext* ctx);
int GetVideoSize(EngineContext* ctx, int32_t* width, int32_t* height);
int SetVolume(EngineContext* ctx, int32_t volume);
int SetZoom(EngineContext* ctx, int32_t cx, int32_t cy, int32_t panX, int32_t panY, float scale,
            int32_t repaint);
int DragView(EngineContext* ctx, float dx, float dy, float zoom);
int CommitDrag(EngineContext* ctx);
int FlipView(EngineContext* ctx);
int SetViewType(EngineContext* ctx, int32_t mode);
int SetViewAspect(EngineContext* ctx, int32_t width, int32_t height);
int ResetView(EngineContext* ctx);
int SaveSnapshot(EngineContext* ctx, const char* path);
int Repaint(EngineContext* ctx);

}  // namespace tavrilo::engine
