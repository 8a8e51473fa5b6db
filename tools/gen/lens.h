#pragma once
// The fisheye lens as the viewer's sphere model sees it. The viewer lays the frame on a
// sphere of radius 200 with texture coordinates
//   u = 0.5 - (x / 200) * s * 0.286,  v = (z / 200) * s * 0.286 + 0.5,
//   s = sqrt((y + 200) * 400 / (x*x + z*z)),
// so the lens axis is -y and the texture radius is 0.572 * sin(theta / 2) for the angle theta
// from -y. The generator inverts that mapping so the sphere view shows its scene undistorted.
//
// Model directions: +y up, -y down, -z front, -x right, +z back, +x left (the viewer's sphere
// camera looks along -z with +y up and has -x on its right at the start orientation).

#include <optional>

namespace tavrilo::gen {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

struct TexCoord {
    double u = 0, v = 0;
};

// Unit direction seen at texture coordinate (u, v), or nullopt outside the part of the
// texture the lens covers (texture radius beyond 0.572).
std::optional<Vec3> DirectionAtTexel(double u, double v);

// The forward mapping for a unit direction (the formula above on a sphere of radius 200);
// the nadir maps to the centre.
TexCoord TexelOfDirection(const Vec3& unitDirection);

// Azimuth in degrees clockwise from the front, in [0, 360), and elevation in degrees.
double AzimuthDeg(const Vec3& d);
double ElevationDeg(const Vec3& d);

// Signed difference a - b of two azimuths in degrees, in (-180, 180].
double AzimuthDeltaDeg(double a, double b);

// Unit direction for an azimuth and elevation in degrees.
Vec3 DirectionFromAngles(double azimuthDeg, double elevationDeg);

}  // namespace tavrilo::gen
