#include "tools/gen/frame_strip.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tavrilo::gen {
namespace {

bool CellBit(uint32_t frame, int cell) {
    if (cell == 0) {
        return true;
    }
    if (cell == kStripCells - 1) {
        return false;
    }
    return ((frame >> (kStripBits - cell)) & 1u) != 0;
}

// Mean of the middle half of a cell, so the ringing of a lossy codec at the cell edges does
// not decide the bit.
int CellMean(const uint8_t* luma, int stride, double left, double top, double w, double h) {
    const int x0 = static_cast<int>(left + w * 0.25);
    const int x1 = std::max(x0 + 1, static_cast<int>(left + w * 0.75));
    const int y0 = static_cast<int>(top + h * 0.25);
    const int y1 = std::max(y0 + 1, static_cast<int>(top + h * 0.75));
    long sum = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            sum += luma[static_cast<long>(y) * stride + x];
        }
    }
    return static_cast<int>(sum / (static_cast<long>(x1 - x0) * (y1 - y0)));
}

void DrawCells(uint8_t* pixels, int stride, int width, int height, uint32_t frame,
               int bytesPerPixel, uint8_t black, uint8_t white) {
    const StripLayout s = StripLayoutFor(width, height);
    for (int cell = 0; cell < kStripCells; ++cell) {
        const uint8_t value = CellBit(frame, cell) ? white : black;
        for (int y = s.top; y < s.top + s.cellHeight; ++y) {
            uint8_t* row = pixels + static_cast<long>(y) * stride;
            const int x0 = s.left + cell * s.cellWidth;
            std::memset(row + x0 * bytesPerPixel, value,
                        static_cast<size_t>(s.cellWidth) * bytesPerPixel);
        }
    }
}

}  // namespace

StripLayout StripLayoutFor(int width, int height) {
    const int cellWidth = std::clamp(width / 48, 2, 10);
    const int cellHeight = 2 * cellWidth;
    return {cellWidth, cellHeight, (width - cellWidth * kStripCells) / 2,
            (height - cellHeight) / 2};
}

void DrawFrameStrip(uint8_t* rgb, int stride, int width, int height, uint32_t frame) {
    DrawCells(rgb, stride, width, height, frame, 3, 0, 255);
}

void DrawFrameStripBytes(uint8_t* plane, int stride, int width, int height, uint32_t frame,
                         uint8_t black, uint8_t white) {
    DrawCells(plane, stride, width, height, frame, 1, black, white);
}

std::optional<uint32_t> ReadFrameStripIn(const uint8_t* luma, int stride, double left, double top,
                                         double cellWidth, double cellHeight) {
    std::array<bool, kStripCells> bits{};
    for (int cell = 0; cell < kStripCells; ++cell) {
        bits[static_cast<size_t>(cell)] =
            CellMean(luma, stride, left + cell * cellWidth, top, cellWidth, cellHeight) >= 128;
    }
    if (!bits.front() && bits.back()) {
        std::reverse(bits.begin(), bits.end());
    }
    if (!bits.front() || bits.back()) {
        return std::nullopt;
    }
    uint32_t frame = 0;
    for (int cell = 1; cell <= kStripBits; ++cell) {
        frame = (frame << 1) | (bits[static_cast<size_t>(cell)] ? 1u : 0u);
    }
    return frame;
}

std::optional<uint32_t> ReadFrameStrip(const uint8_t* luma, int stride, int width, int height) {
    const StripLayout s = StripLayoutFor(width, height);
    return ReadFrameStripIn(luma, stride, s.left, s.top, s.cellWidth, s.cellHeight);
}

}  // namespace tavrilo::gen
