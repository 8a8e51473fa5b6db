#pragma once
// The seven shared UI fonts. Created once during start-up and read by every window that
// draws text; never changed afterwards.

#include <QFont>
#include <QStringList>

class QPaintDevice;

namespace tavrilo {

// Pixel height of a font of `points`, sized so that it keeps the same pixel height at every
// display scaling: MulDiv(trunc(points / (dpiX / 96)), dpiY, 72), rounded as MulDiv rounds.
int UiFontPixelHeight(int points, int dpiX, int dpiY);

// The face name from the text table first, then the CJK face Debian ships.
QStringList UiFontFamilies();

struct UiFonts {
    QFont f9, f10, f12, f13, f15, f17, f22;

    // Builds the set for a display with the given logical dots per inch.
    static UiFonts Create(int dpiX, int dpiY);
    // Builds the set for the display a window (or any paint device) is on.
    static UiFonts ForDevice(const QPaintDevice& device);
};

}  // namespace tavrilo
