// Opening a recording, the play states, the position and seeking.

#include <chrono>
#include <cstdio>
#include <thread>

#include "engine/engine_internal.h"
#include "recordings/frame_times.h"
#include "recordings/mp4_scan.h"

namespace tavrilo::engine {

std::string EngineErrorText(uint32_t code, const std::string& codecMissingText) {
    switch (code) {
        case 0x80004001u:
            return "E_NOTIMPL";
        case 0x80004002u:
            return "E_NOINTERFACE";
        case 0x80004003u:
            return "E_POINTER";
        case 0x80040209u:
            return "VFW_E_NOT_CONNECTED";
        case 0x80040227u:
            return "VFW_E_WRONG_STATE";
        case 0x8007000Eu:
            return "E_OUTOFMEMORY";
        case 0x80070057u:
            return "E_INVALIDARG";
        case 0x80040200u:
            if (!codecMissingText.empty()) {
                return codecMissingText;
            }
            break;
        default:
            break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "Unknown 0x%x", code);
    return text;
}

int64_t GetFrameCount(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    return ctx->Player ? ctx->Frames.count() : 0;
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
    if (!player) {
        return 0;
    }
    if (!player->Open(path)) {
        ctx->OpenError = EngineErrorText(player->LastError(), ctx->CodecMissingText);
        ctx->OpenProblem = VideoProblem::kCannotDecode;
        if (ctx->ReportError) {
            ctx->ReportError(ctx->OpenError);
        }
        return 0;
    }
    ctx->CanReverse = player->CanReverse() ? 1 : 0;
    ctx->Player = std::move(player);
    if (ctx->Ready == 0 || GetFrameCount(ctx) <= 0) {
        ctx->Player.reset();
        return 0;
    }
    ctx->PlayState = MovieState::kStopped;
    return 1;
}

int CloseMovie(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    ctx->Player.reset();
    ctx->PlayState = MovieState::kClosed;
    return 1;
}

int Play(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    if (ctx->PlayState == MovieState::kPlaying) {
        return 1;
    }
    if (!ctx->Player || ctx->Player->Start() < 0) {
        return 0;
    }
    ctx->PlayState = MovieState::kPlaying;
    return 1;
}

// Pause and Stop both pause the session (a stopped recording keeps its picture).
int PauseTo(EngineContext* ctx, MovieState state) {
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
    return PauseTo(ctx, MovieState::kPaused);
}
int Stop(EngineContext* ctx) {
    return PauseTo(ctx, MovieState::kStopped);
}

int32_t GetPosition(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    PlayerBackend* player = Display(ctx);
    if (player == nullptr || ctx->Frames.empty()) {
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
    // The picture shown at that time, counted in the order pictures are shown.
    ctx->Position = ctx->Frames.FrameAt100ns(*time);
    return static_cast<int32_t>(ctx->Position);
}

int SeekFrame(EngineContext* ctx, int64_t frame) {
    Lock lock = LockFile(ctx);
    PlayerBackend* player = Display(ctx);
    if (player == nullptr) {
        return 0;
    }
    // The seek returns once its picture is drawn: no second drawing of it.
    player->SeekTo(ctx->Frames.Start100ns(frame));
    return 1;
}

EngineContext* SetHardwareDecode(EngineContext* ctx, int32_t on) {
    Lock lock = LockFile(ctx);
    ctx->HardwareDecode = on;
    return ctx;
}

float GetFrameDuration(EngineContext* ctx) {
    Lock lock = LockFile(ctx);
    return ctx->FrameDurationMs;
}

bool MeasureMovie(EngineContext* ctx, const std::string& path) {
    ctx->OpenError.clear();
    ctx->OpenProblem = VideoProblem::kNone;
    TrackReader& scratch = ctx->Track;
    if (!scratch.OpenMapped(path)) {
        ctx->OpenError = "the file cannot be opened";
        ctx->OpenProblem = VideoProblem::kUnreadable;
        return false;
    }
    VideoTrackInfo frames = ReadVideoTrack(*scratch.Source);
    std::optional<float> seconds;
    const bool scanned = frames.times && ScanMovieSeconds(scratch, &seconds);
    ResetReader(scratch);
    scratch.FrameDurationMs = 0;
    if (!frames.times) {
        ctx->OpenError = frames.error.check;
        ctx->OpenProblem = frames.problem;
        return false;
    }
    const auto duration = static_cast<float>(frames.times->MeanDurationMs());
    // A scan that reaches the end without its box succeeds: the length then counts as 0.
    if (!scanned || !(seconds.value_or(0.0f) > 1.5f || duration == 15.0f)) {
        ctx->OpenError = "the recording is shorter than 1.5 seconds";
        ctx->OpenProblem = VideoProblem::kTooShort;
        return false;
    }
    ctx->Frames = std::move(*frames.times);
    ctx->FrameDurationMs = duration;
    return true;
}

}  // namespace tavrilo::engine
