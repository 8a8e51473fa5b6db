#pragma once
// The G-sensor graph's arithmetic apart from the widget: the time base, the value scale and the
// cursor. Its event classes are the recordings' (recordings/event_classes.h).

#include <array>
#include <cstdint>
#include <vector>

#include "recordings/event_classes.h"

namespace tavrilo {

// How the graph lays the recording out along x.
struct GraphTimeBase {
    bool perSample = false;  // fewer frames than samples: one item per sample
    double rawStep = 0;      // r
    double step = 1;         // s = max(r, 1)
    double first = 0;        // b = (1 - r / s) x cursor

    // `width` is W (the client width less the 50-pixel margin).
    static GraphTimeBase For(int width, int samples, int frames, int cursor);
    // The item drawn k-th and its x (margin included), while k x s < W.
    int Item(int k) const { return static_cast<int>(first + k); }
    int X(int k, int margin) const { return margin + static_cast<int>(k * step); }
};

// A G value as drawn: clamped to -2..2 and cut towards zero to 0.1 G.
double QuantiseG(double g);
// Pixels per G: truncate(((h - 6) / d) x 0.8), h half the background's height, d the panes.
int GraphScale(int backgroundHeight, int paneMode);
// The cursor's x: margin + truncate(position x W / count); the margin with a count of 0.
int CursorX(int margin, int width, int position, int count);

}  // namespace tavrilo
