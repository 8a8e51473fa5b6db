#pragma once
// Where every child of the main window goes in each layout, full screen and the wide
// (panorama) arrangement; plain arithmetic, tested without a window.

#include <QRect>
#include <array>

namespace tavrilo {

inline constexpr QSize kMainWindowSize{1120, 700};
inline constexpr int kButtonCount = 16;

struct LayoutRects {
    QRect video;
    bool videoEdge = true;  // the client edge around the video
    QRect seekSlider;
    QRect infoPanel;  // empty when hidden
    QRect pad;
    QRect graph;
    QRect mapOrLogo;
    QRect fileManager;
    std::array<QRect, kButtonCount> buttons{};  // empty when the slot is hidden
    QRect close, size, minimise;
    QRect volume;
    QRect progress;  // the job progress bar (on the bottom of the layout 0 video area)
    QPoint zoomCentre;
    // Painted black in the wide arrangement, above and below the video band.
    QRect barTop, barBottom;
};

// The rectangles of layout 0, 1 or 2; `wide` is the panorama arrangement of layout 0.
LayoutRects ComputeLayout(int layout, bool wide);

// The layout the size button leads to, and the tooltip that names it: "中", "大", "小".
int NextLayout(int layout);
int SizeTooltipSlot(int layout);

// Full screen: the video covers the monitor, in projection 4 a centred band of the monitor's
// width and width / 3.43 high.
QRect FullScreenVideoRect(const QRect& monitor, int projection);

// Where a window at `window` goes so that it lies on the work area of its monitor: moved back
// by the distance its corners stick out (the top-left wins over the bottom-right when the
// window is larger than the work area); unchanged when it lies inside.
QPoint PlaceOnWorkArea(const QRect& window, const QRect& work);

// The button bar slots shown in layout 2: 0-5 and 8-11.
bool SlotShownInLayout2(int slot);

}  // namespace tavrilo
