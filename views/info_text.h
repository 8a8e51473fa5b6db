#pragma once
// What the trip information panel writes, apart from the widget: the date and time of a frame,
// the G values, the speed, the rate text and the status picture.

#include <QString>
#include <optional>

#include "platform/system_time.h"

namespace tavrilo {

// The frame's time: the start plus frame x duration (ms) x 10,000 in 100-ns units, computed in
// single precision and truncated; a year of 2050 or later is shown 35 years earlier. nullopt
// (the placeholder) without a start time, before the first frame, or for a year 0.
std::optional<QString> FrameDateText(const SystemTime& start, bool hasStart, int frame,
                                     float frameDurationMs);

// "%.2fG" of the value truncated to hundredths; nullopt (the "-0.00G" placeholder) for -5 or
// less, the value of "no sample".
std::optional<QString> GValueText(double g);

// "%.0f " of the speed capped at 999 while the fix is valid; nullopt (the placeholder) else.
std::optional<QString> SpeedText(bool gpsValid, double kmh);

// UI 61..64 for the rate codes 2, 4, -2, -4; empty for the others and while not ready.
QString RateText(int rateCode, bool engineReady);

// The status picture by the record's status byte: 'R', 'r', anything else.
int StatusImage(int statusByte);

}  // namespace tavrilo
