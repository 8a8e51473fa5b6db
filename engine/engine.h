#pragma once
// The playback engine: one context record and a table of 40 operations in a fixed slot order,
// plain functions taking the context first and returning 1 for success and 0 for failure
// (frame positions -1). The window thread calls the table; the prefetch threads call
// PrefetchTrack only.
//
// Locks, always taken in this order: FileMutex (the back-end, PlayState, Position, the rate,
// volume, zoom and picture fields, Track, LoadedTrack, AllTracks), CacheMutex (Prefetch; held
// by PrefetchTrack for its whole parse), then the scan mutex shared by all readers. No thread
// holding CacheMutex waits for FileMutex. Every operation that touches the back-end, the
// tracks or the view holds FileMutex, so any thread may call them while CloseMovie, LoadTrack
// or a prefetch runs on another.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/player_backend.h"
#include "recordings/frame_times.h"
#include "recordings/library.h"
#include "recordings/track_reader.h"

namespace tavrilo {

// What the open recording is doing.
enum class MovieState : int32_t { kClosed = 0, kStopped = 1, kPlaying = 2, kPaused = 3 };

struct EngineContext {
    uint16_t Volume = 0;
    MessageTarget* VideoWindow = nullptr;  // target of posted messages; not owned
    float FrameDurationMs = 0;             // the mean time a picture is shown
    FrameTimes Frames;                     // when each picture of the open recording is shown
    int32_t CanReverse = 0;
    int32_t HardwareDecode = 0;
    int32_t RateCode = 0;
    int32_t AspectMode = 0;
    int32_t ZoomCenterX = 0, ZoomCenterY = 0;
    float ZoomScale = 0;
    PictureRect VideoRect;
    int32_t PanX = 0, PanY = 0;
    MovieState PlayState = MovieState::kClosed;
    int64_t Position = 0;
    std::atomic<int32_t> Ready{0};  // set by the owner after Init; tested before each call
    int32_t MovieLoaded = 0;        // kept by the owner

    std::string FileMutexName;
    std::unique_ptr<std::recursive_mutex> FileMutex;
    std::string CacheMutexName;
    std::unique_ptr<std::recursive_mutex> CacheMutex;

    TrackReader Track;        // the published track every view reads
    TrackReader LoadedTrack;  // what LoadTrack produces
    TrackReader Prefetch;     // what PrefetchTrack produces in the background

    std::unique_ptr<PlayerBackend> Player;
    std::unique_ptr<std::vector<GpsSample>> AllTracks;  // every GPS sample of a list, for the map

    // How the back-end is built; set by the owner before OpenMovie.
    PlayerFactory MakePlayer = nullptr;
    // Why the last OpenMovie failed, in one line (empty after a success), and as a kind.
    std::string OpenError;
    VideoProblem OpenProblem = VideoProblem::kNone;

    // Where a failed platform call while the back-end is built is reported (the main window
    // shows it in a message box titled "ERROR"), and the text for a missing codec (UI 114).
    std::function<void(const std::string& text)> ReportError;
    std::string CodecMissingText;
};

// The operation table, in slot order.
struct EngineOps {
    int (*Init)(EngineContext*, MessageTarget* videoWindow);               // 0
    int (*Shutdown)(EngineContext*);                                       // 1
    int (*IsRecordingFile)(EngineContext*, const char* path);              // 2
    int (*OpenMovie)(EngineContext*, const char* path);                    // 3
    int (*CloseMovie)(EngineContext*);                                     // 4
    int (*LoadTrack)(EngineContext*, const char* path);                    // 5
    int (*UnloadTrack)(EngineContext*);                                    // 6
    int (*Play)(EngineContext*);                                           // 7
    int (*Reserved8)(EngineContext*);                                      // 8
    int (*Pause)(EngineContext*);                                          // 9
    int (*Stop)(EngineContext*);                                           // 10
    int32_t (*GetPosition)(EngineContext*);                                // 11
    int (*SeekFrame)(EngineContext*, int64_t frame);                       // 12
    int (*SeekFrameAlias)(EngineContext*, int64_t frame);                  // 13
    int (*Reserved14)(EngineContext*);                                     // 14
    int (*Reserved15)(EngineContext*);                                     // 15
    EngineContext* (*SetHardwareDecode)(EngineContext*, int32_t on);       // 16
    int (*Reserved17)(EngineContext*);                                     // 17
    int (*SetRate)(EngineContext*, int32_t code);                          // 18
    int (*Reserved19)(EngineContext*);                                     // 19
    int (*SetAspectMode)(EngineContext*, int32_t keep);                    // 20
    int64_t (*GetFrameCount)(EngineContext*);                              // 21
    int64_t (*GetFrameCountAlias)(EngineContext*);                         // 22
    int (*Reserved23)(EngineContext*);                                     // 23
    float (*GetFrameDuration)(EngineContext*);                             // 24
    int (*GetVideoSize)(EngineContext*, int32_t* width, int32_t* height);  // 25
    int (*SetVolume)(EngineContext*, int32_t volume);                      // 26
    int (*Reserved27)(EngineContext*);                                     // 27
    int (*Reserved28)(EngineContext*);                                     // 28
    int (*Reserved29)(EngineContext*);                                     // 29
    int (*SetZoom)(EngineContext*, int32_t cx, int32_t cy, int32_t panX, int32_t panY, float scale,
                   int32_t repaint);                                      // 30
    int (*DragView)(EngineContext*, float dx, float dy, float zoom);      // 31
    int (*CommitDrag)(EngineContext*);                                    // 32
    int (*FlipView)(EngineContext*);                                      // 33
    int (*SetViewType)(EngineContext*, int32_t mode);                     // 34
    int (*SetViewAspect)(EngineContext*, int32_t width, int32_t height);  // 35
    int (*ResetView)(EngineContext*);                                     // 36
    int (*SaveSnapshot)(EngineContext*, const char* path);                // 37
    int (*Repaint)(EngineContext*);                                       // 38
    int (*Reserved39)(EngineContext*);                                    // 39
};
static_assert(sizeof(EngineOps) == 40 * sizeof(void (*)()), "the table has 40 slots");

const EngineOps& GetEngineOps();

namespace engine {

// Operations outside the table.
bool PrefetchTrack(EngineContext* ctx, const char* pathOrNull);
bool PublishTrack(EngineContext* ctx);
int32_t NextRateCode(EngineContext* ctx, int32_t faster);
int ReadCameraInfo(EngineContext* ctx, CameraInfo* destination, const char* path);
bool CollectAllTracks(EngineContext* ctx, const RecordingList& list);

// The engine's content test (slot 2, under the file lock) for a RecordingLibrary.
RecordingLibrary::ContentTest ContentTestOf(EngineContext* ctx);

// The picture rectangle for a client area of `clientWidth` x `clientHeight`: zoomed by
// `scale` about (centerX, centerY), moved by the pan, and, with `keepAspect`, fitted to the
// video's aspect (centred, plus 2 pixels right and bottom). nullopt for a zoom of 0 or a
// rectangle that turned inside out.
std::optional<PictureRect> ComputePictureRect(int32_t clientWidth, int32_t clientHeight,
                                              int32_t centerX, int32_t centerY, float scale,
                                              int32_t panX, int32_t panY, bool keepAspect,
                                              int32_t videoWidth, int32_t videoHeight);

// The text a failed platform call is reported with: its symbolic name, the codec text for
// VFW_E_INVALIDMEDIATYPE (0x80040200), or "Unknown 0x%x".
std::string EngineErrorText(uint32_t code, const std::string& codecMissingText);

// The rate a code plays at (the table of rate codes).
float RateForCode(int32_t code, bool canReverse);

// The measuring pass of OpenMovie: the pictures' times (into ctx->Frames and, as their mean,
// ctx->FrameDurationMs) and the movie length. False, with ctx->OpenError and OpenProblem set,
// when the recording cannot be played: no video pictures to be had, or under 1.5 seconds
// (unless its pictures last exactly 15 ms).
bool MeasureMovie(EngineContext* ctx, const std::string& path);

}  // namespace engine
}  // namespace tavrilo
