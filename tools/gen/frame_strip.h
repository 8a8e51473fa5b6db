#pragma once
// The frame-index strip: a row of black and white cells at the centre of every generated frame
// (inside the image circle, at the nadir) that spells the frame number, so a test can tell
// exactly which frame a decoder or the viewer shows.
//
// Cells, left to right: one white start cell, kStripBits data cells (most significant bit
// first, white = 1), one black end cell. A picture that is mirrored left-right (as the flat
// view shows the circle) reads back with the end cell first and is reversed by the reader.

#include <cstdint>
#include <optional>

namespace tavrilo::gen {

inline constexpr int kStripBits = 20;
inline constexpr int kStripCells = kStripBits + 2;

struct StripLayout {
    int cellWidth;   // pixels
    int cellHeight;  // pixels
    int left;        // x of the first cell
    int top;         // y of the cells
};

// Where the strip lies in a frame of the given size: at most 10 pixels a cell, so that it
// stays a small mark on large frames.
StripLayout StripLayoutFor(int width, int height);

// Draws `frame` (modulo 2^kStripBits) into an RGB24 picture.
void DrawFrameStrip(uint8_t* rgb, int stride, int width, int height, uint32_t frame);

// The same into a picture of one byte a pixel (grey, or colour numbers of a palette), with
// the byte values of the black and the white cells.
void DrawFrameStripBytes(uint8_t* plane, int stride, int width, int height, uint32_t frame,
                         uint8_t black, uint8_t white);

// Reads the strip from an 8-bit luma (or grey) plane laid out like the generated frame.
// nullopt when the start and end cells are not where they belong.
std::optional<uint32_t> ReadFrameStrip(const uint8_t* luma, int stride, int width, int height);

// Reads a strip of the same cell count from any rectangle of a grey picture (for pictures the
// viewer drew at another scale): the rectangle spans exactly the kStripCells cells.
std::optional<uint32_t> ReadFrameStripIn(const uint8_t* luma, int stride, double left, double top,
                                         double cellWidth, double cellHeight);

}  // namespace tavrilo::gen
