// The rate ladder: what each rate code plays at, the next code up or down, and the volume that
// goes with a rate.

#include <algorithm>

#include "engine/engine_internal.h"

namespace tavrilo::engine {

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

int SetRate(EngineContext* ctx, int32_t code) {
    Lock lock = LockFile(ctx);
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
    Lock lock = LockFile(ctx);
    ctx->Volume = static_cast<uint16_t>(std::clamp(volume, 0, 65535));
    if (ctx->Player) {
        ctx->Player->SetVolume(ctx->RateCode == 1 ? ctx->Volume : 0);
    }
    return 1;
}

int32_t NextRateCode(EngineContext* ctx, int32_t faster) {
    if (!ctx->Ready) {
        return 0;
    }
    Lock lock = LockFile(ctx);
    if (ctx->PlayState != MovieState::kPlaying) {
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

}  // namespace tavrilo::engine
