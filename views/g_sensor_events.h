#pragma once
// The G-sensor graph's arithmetic and its event classifier, apart from the widget: the time
// base, the value scale, the ten event classes with their gate, and the rising edges that make
// one mark (or one map point) per event.

#include <array>
#include <cstdint>
#include <vector>

#include "recordings/track_reader.h"

namespace tavrilo {

inline constexpr int kEventClasses = 10;
inline constexpr int kNoEvent = -1;

// The event code each class gives a sample (kNoEvent where it does not match), the classes
// tried in the graph's order: class 6 first, then 0..9. A matching "clearing" class (0, 1, 2, 6,
// 7, 8) clears the sample's mark code for the classes after it, so a sample is not counted
// twice. The sample itself is not changed: the track is shared with the other views.
// `gate` is off for recordings of kinds A, P and T.
std::array<int, kEventClasses> ClassifySample(const GSample& sample, bool gate);

// The gate for a recording of this event kind code (-1 for a name without a kind).
bool EventGate(int eventKindCode);

// Whether class `cls` may report code `code` to the map: codes 6 to 13 only when the class that
// produces them is on the map.
bool ReportsToMap(int code, const std::array<int32_t, kEventClasses>& onMap);

struct EventPoint {
    int cls;
    int index;  // the sample (or frame) index
    int code;
    bool operator==(const EventPoint&) const = default;
};

// The main window's event list: rising edges of the classes that are on the map, class 6 first,
// over the samples (per frame: the samples FrameIndex names).
std::vector<EventPoint> CollectEvents(const std::vector<GSample>& samples,
                                      const std::vector<int32_t>* frameIndex, bool gate,
                                      const std::array<int32_t, kEventClasses>& onMap);

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
