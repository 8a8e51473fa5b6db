#include "tools/gen/lens.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavrilo::gen {
namespace {
constexpr double kRadiusScale = 0.572;  // texture radius of a direction 180 degrees from -y
constexpr double kDeg = std::numbers::pi / 180.0;
}  // namespace

std::optional<Vec3> DirectionAtTexel(double u, double v) {
    const double du = u - 0.5;
    const double dv = v - 0.5;
    const double r = std::hypot(du, dv);
    if (r >= kRadiusScale) {
        return std::nullopt;
    }
    const double theta = 2.0 * std::asin(r / kRadiusScale);
    if (r == 0.0) {
        return Vec3{0, -1, 0};
    }
    const double horizontal = std::sin(theta);
    return Vec3{-du / r * horizontal, -std::cos(theta), dv / r * horizontal};
}

TexCoord TexelOfDirection(const Vec3& d) {
    const double horizontal = std::hypot(d.x, d.z);
    if (horizontal == 0.0) {
        // The formula divides 0 by 0 at the nadir; its limit is the centre.
        return {0.5, 0.5};
    }
    // On a sphere x*x + z*z = (1 - y)(1 + y), so s = sqrt(2 / (1 - y)) for unit vectors.
    const double s = std::sqrt(2.0 * (d.y + 1.0) / (horizontal * horizontal));
    return {0.5 - d.x * s * 0.286, d.z * s * 0.286 + 0.5};
}

double AzimuthDeg(const Vec3& d) {
    double az = std::atan2(-d.x, -d.z) / kDeg;
    if (az < 0) {
        az += 360.0;
    }
    return az >= 360.0 ? az - 360.0 : az;
}

double ElevationDeg(const Vec3& d) {
    return std::asin(std::clamp(d.y, -1.0, 1.0)) / kDeg;
}

double AzimuthDeltaDeg(double a, double b) {
    double d = std::fmod(a - b, 360.0);
    if (d <= -180.0) {
        d += 360.0;
    } else if (d > 180.0) {
        d -= 360.0;
    }
    return d;
}

Vec3 DirectionFromAngles(double azimuthDeg, double elevationDeg) {
    const double az = azimuthDeg * kDeg;
    const double el = elevationDeg * kDeg;
    return Vec3{-std::sin(az) * std::cos(el), std::sin(el), -std::cos(az) * std::cos(el)};
}

}  // namespace tavrilo::gen
