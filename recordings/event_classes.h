#pragma once
// The ten event classes of the G-sensor records, with their gate, and the rising edges that make
// one mark in the graph, one point on the map or one waypoint of a route per event.

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

// The UI text slot that names an event code on the map and in exported routes.
int EventNameSlot(int code);

}  // namespace tavrilo
