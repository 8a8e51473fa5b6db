#pragma once
// What the map page gets from the host: the track arrays, the marker names and icons, and the
// script texts of a track reset and of the event markers.

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <array>
#include <vector>

#include "recordings/event_classes.h"
#include "recordings/track_reader.h"

namespace tavrilo {

// Latitude, longitude and frame of every valid sample in order, then the number of values
// before the count (three per valid sample). No samples: the single element 0.
QVariantList MapTrackArray(const std::vector<GpsSample>& samples);

// The marker kinds 0..13: their names (empty for any other number) and icon images.
QString MarkName(int kind);
int MarkIcon(int kind);
inline constexpr int kMarkShadow = 186;

// An entry of the UI text table, empty outside it.
QString RcString(int index);

// The four calls of a track reset for the recording at `gridIndex` of the list.
QStringList TrackResetScripts(int gridIndex);

// "cplist.AddCrashPos(...)" for the recording's event points, the last first: only classes whose
// map flag is on and whose GPS sample lies off (0, 0); an event without its G sample or its GPS
// sample ends the list there. Each point's index is a frame of the track's FrameIndex.
QStringList CrashPosScripts(const std::vector<EventPoint>& events, const TrackReader& track,
                            const std::array<int32_t, kEventClasses>& onMap, int gridIndex);

}  // namespace tavrilo
