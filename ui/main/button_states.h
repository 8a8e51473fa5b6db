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

// The end margin: while playing, the last stretch of a recording in which the controls, the
// context menu and seeking refuse to act, so the end of the recording is handled alone. It is
// m frames at 29.1 frames per second scaled to the recording's rate, m = 40 at rate code 2, 80 at
// rate code 4 and 20 otherwise. Never while nothing is loaded, while stopped or paused, or
// without a frame count.
struct MarginContext {
    bool loaded = false;
    MovieState playState = MovieState::kClosed;
    int rateCode = 1;
    int64_t position = 0;
    int64_t frameCount = 0;
    float frameDurationMs = 0;
};
// m itself: the frames at 29.1 a second that a rate keeps clear of the end (seeks stop there).
int MarginFramesAtRate(int rateCode);
int64_t EndMarginFrames(int rateCode, float frameDurationMs);
bool WithinEndMargin(const MarginContext& c);

}  // namespace tavrilo
