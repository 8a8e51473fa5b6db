#pragma once
// A 5 x 7 bitmap font for the scene's labels (upper-case letters, digits, a few signs), and
// text laid out on the sphere of directions around the camera.

#include <string_view>

namespace tavrilo::gen {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;

// True when the pixel (x, y) of character `c` is set; false outside the glyph or for
// characters the font does not have.
bool GlyphPixel(char c, int x, int y);

// A line of text centred on an azimuth, its glyph pixels so many degrees wide and high.
struct SphereLabel {
    std::string_view text;
    double azimuth;  // centre, degrees clockwise from the front
    double top;      // elevation of the top edge, degrees
    double cellAz;   // degrees per glyph pixel along the horizon (widened away from it)
    double cellEl;   // degrees per glyph pixel upwards
};

// True when the direction (azimuth, elevation in degrees) falls on an inked glyph pixel.
bool OnSphereLabel(const SphereLabel& label, double azimuth, double elevation);

}  // namespace tavrilo::gen
