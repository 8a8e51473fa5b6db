#include "views/g_sensor_events.h"

#include <algorithm>
#include <cmath>

namespace tavrilo {

GraphTimeBase GraphTimeBase::For(int width, int samples, int frames, int cursor) {
    GraphTimeBase t;
    t.perSample = frames < samples;
    if (t.perSample) {
        t.rawStep = samples > 0 ? static_cast<double>(width) / samples / 6 : 0;
    } else {
        t.rawStep = frames > 0 ? static_cast<double>(width) / frames : 0;
    }
    t.step = std::max(t.rawStep, 1.0);
    t.first = (1 - t.rawStep / t.step) * cursor;
    return t;
}

double QuantiseG(double g) {
    const double clamped = std::clamp(g, -2.0, 2.0);
    const double sign = clamped < 0 ? -1.0 : 1.0;
    return sign * std::floor(std::abs(clamped) * 10) / 10;
}

int GraphScale(int backgroundHeight, int paneMode) {
    const int h = backgroundHeight / 2;
    const int d = std::clamp(paneMode, 0, 3) + 1;
    return static_cast<int>(((h - 6) / d) * 0.8);
}

int CursorX(int margin, int width, int position, int count) {
    return count > 0 ? margin + static_cast<int>(static_cast<int64_t>(position) * width / count)
                     : margin;
}

}  // namespace tavrilo
