#pragma once
// A 5 x 7 bitmap font for the scene's labels (upper-case letters, digits, a few signs).

namespace tavrilo::gen {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;

// True when the pixel (x, y) of character `c` is set; false outside the glyph or for
// characters the font does not have.
bool GlyphPixel(char c, int x, int y);

}  // namespace tavrilo::gen
