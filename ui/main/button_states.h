#pragma once
// Which of the bar's sixteen buttons are enabled, from the state of the window, the engine and
// the source: plain rules, applied after every change of state.

#include <array>

#include "engine/engine.h"
#include "recordings/library.h"
#include "ui/main/window_layout.h"

namespace tavrilo {

struct ButtonContext {
    int listSize = 0;
    int currentIndex = -1;
    bool loaded = false;  // the engine's track-loaded flag
    MovieState playState = MovieState::kClosed;
    int rateCode = 1;
    SourceKind sourceKind = SourceKind::kCard;
    int layout = 0;
    bool threeD = false;
    int projection = 2;
    bool csvAvailable = false;
    bool busy = false;  // an opening runs: everything waits
};

std::array<bool, kButtonCount> ComputeButtonStates(const ButtonContext& c);

// The direction pad's buttons by projection: all five in the sphere, left and right in the
// panorama, none otherwise (up, left, right, down, reset).
std::array<bool, 5> PadButtonStates(int projection, bool busy);

}  // namespace tavrilo
