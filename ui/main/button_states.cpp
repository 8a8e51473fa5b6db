#include "ui/main/button_states.h"

namespace tavrilo {

std::array<bool, kButtonCount> ComputeButtonStates(const ButtonContext& c) {
    std::array<bool, kButtonCount> on{};
    if (c.busy) {
        return on;
    }
    on[15] = c.csvAvailable;
    if (c.listSize == 0) {
        on[12] = true;  // only the source can be chosen
        return on;
    }
    const bool playing = c.playState == MovieState::kPlaying;
    const bool single = c.listSize == 1;
    on[0] = playing || c.playState == MovieState::kPaused;
    on[1] = !single && c.currentIndex > 0;
    on[2] = playing || c.loaded;
    on[3] = playing && c.rateCode >= -1;
    on[4] = playing && c.rateCode < 4;
    on[5] = !single && c.currentIndex < c.listSize - 1;
    on[6] = c.loaded;
    on[7] = c.sourceKind == SourceKind::kCard;
    on[8] = c.loaded;
    on[9] = c.threeD && c.projection != 1;
    on[10] = c.threeD;
    on[11] = c.projection == 3 ? c.threeD : c.layout == 0;
    on[12] = true;
    on[13] = c.sourceKind != SourceKind::kFile;
    on[14] = true;
    return on;
}

std::array<bool, 5> PadButtonStates(int projection, bool busy) {
    if (busy || (projection != 3 && projection != 4)) {
        return {};
    }
    return projection == 3 ? std::array<bool, 5>{true, true, true, true, true}
                           : std::array<bool, 5>{false, true, true, false, false};
}

int MarginFramesAtRate(int rateCode) {
    return rateCode == 2 ? 40 : rateCode == 4 ? 80 : 20;
}

int64_t EndMarginFrames(int rateCode, float frameDurationMs) {
    if (frameDurationMs <= 0) {
        return 0;
    }
    return static_cast<int64_t>(MarginFramesAtRate(rateCode) * 1000.0 / 29.1 / frameDurationMs);
}

bool WithinEndMargin(const MarginContext& c) {
    if (!c.loaded || c.playState != MovieState::kPlaying || c.frameCount <= 0) {
        return false;
    }
    return c.position + EndMarginFrames(c.rateCode, c.frameDurationMs) >= c.frameCount;
}

}  // namespace tavrilo
