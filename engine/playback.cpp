// Opening a recording, the play states, the position and seeking.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "engine/engine_internal.h"
#include "recordings/mp4_scan.h"

namespace tavrilo::engine {
namespace {

// The cheap content check of OpenMovie: not empty, "ftyp" at bytes 4..7.
bool LooksLikeMp4(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[8] = {};
    return in.read(head, sizeof head) && std::string_view(head + 4, 4) == "ftyp";
}

}  // namespace

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
    if (!player) {
        return 0;
    }
    if (!player->Open(path)) {
        if (ctx->ReportError) {
            ctx->ReportError(EngineErrorText(player->LastError(), ctx->CodecMissingText));
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
    // The seek returns once its frame is drawn: no second drawing of it.
    player->SeekTo(position);
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

}  // namespace tavrilo::engine
