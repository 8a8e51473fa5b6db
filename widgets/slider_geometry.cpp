#include "widgets/slider_geometry.h"

#include <algorithm>
#include <cmath>

namespace tavrilo {

double SliderGeometry::FilledFraction(int position) const {
    return steps() > 0 ? static_cast<double>(position) / steps() : 0.0;
}

int SliderGeometry::ThumbX(int position) const {
    return steps() > 0 ? position * (width - thumbWidth) / steps() : 0;
}

int SliderGeometry::PositionAt(int x) const {
    if (steps() <= 0 || width <= 0) {
        return minimum;
    }
    const double stepWidth = static_cast<double>(width) / steps();
    const int position = static_cast<int>(std::trunc(x / stepWidth));
    return std::clamp(position, minimum, std::max(minimum, maximum));
}

bool SliderGeometry::HitsThumb(int x, int position) const {
    const int left = ThumbX(position);
    return x > left - 10 && x < left + thumbWidth + 10;
}

}  // namespace tavrilo
