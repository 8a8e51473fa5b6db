#include "tools/gen/glyphs.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/gen/lens.h"

#include <array>
#include <string_view>

namespace tavrilo::gen {
namespace {

struct Glyph {
    char c;
    std::array<std::string_view, kGlyphHeight> rows;
};

// clang-format off
constexpr Glyph kGlyphs[] = {
    {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'B', {"#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "}},
    {'C', {" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "}},
    {'D', {"#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'F', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "}},
    {'G', {" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ####"}},
    {'H', {"#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'I', {" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'K', {"#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
    {'N', {"#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"}},
    {'O', {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'P', {"#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "}},
    {'R', {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"}},
    {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
    {'T', {"#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'U', {"#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'W', {"#   #", "#   #", "#   #", "# # #", "# # #", "## ##", "#   #"}},
    {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
    {'1', {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'2', {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"}},
    {'3', {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "}},
    {'4', {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "}},
    {'5', {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "}},
    {'6', {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "}},
    {'7', {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "}},
    {'8', {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "}},
    {'9', {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "}},
    {'-', {"     ", "     ", "     ", "#####", "     ", "     ", "     "}},
};
// clang-format on

}  // namespace

bool GlyphPixel(char c, int x, int y) {
    if (x < 0 || x >= kGlyphWidth || y < 0 || y >= kGlyphHeight) {
        return false;
    }
    for (const Glyph& g : kGlyphs) {
        if (g.c == c) {
            return g.rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == '#';
        }
    }
    return false;
}

bool OnSphereLabel(const SphereLabel& l, double az, double el) {
    const size_t n = l.text.size();
    const double cellAz = l.cellAz / std::max(0.2, std::cos(l.top * std::numbers::pi / 180.0));
    const double widthDeg = (static_cast<double>(n) * (kGlyphWidth + 1) - 1) * cellAz;
    const double x = (AzimuthDeltaDeg(az, l.azimuth) + widthDeg / 2) / cellAz;
    const double y = (l.top - el) / l.cellEl;
    if (x < 0 || y < 0) {
        return false;
    }
    const int gx = static_cast<int>(x);
    const int gy = static_cast<int>(y);
    const size_t ch = static_cast<size_t>(gx / (kGlyphWidth + 1));
    return ch < n && GlyphPixel(l.text[ch], gx % (kGlyphWidth + 1), gy);
}

}  // namespace tavrilo::gen
