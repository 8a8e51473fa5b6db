#include "ui/main/window_layout.h"

#include <algorithm>

namespace tavrilo {
namespace {

constexpr int kBarY = 665;

QRect BarButton(int slot) {
    return {slot < 12 ? 20 + 43 * slot : 50 + 43 * slot, kBarY, 32, 32};
}

}  // namespace

bool SlotShownInLayout2(int slot) {
    return (slot >= 0 && slot <= 5) || (slot >= 8 && slot <= 11);
}

LayoutRects ComputeLayout(int layout, bool wide) {
    LayoutRects r;
    r.close = QRect(1064, 0, 46, 18);
    r.size = QRect(1038, 0, 26, 18);
    r.minimise = QRect(1012, 0, 26, 18);
    r.volume = QRect(1000, 670, 100, 20);
    r.progress = QRect(6, 410, 722, 22);
    switch (layout) {
        default:
        case 0: {
            // V stays the normal video area even when the panorama band is narrower.
            const QRect v(6, 26, 722, 406);
            r.video = wide ? QRect(6, 67, 1108, 323) : v;
            r.videoEdge = !wide;
            if (wide) {
                r.barTop = QRect(QPoint(6, 26), QPoint(1113, 66));
                r.barBottom = QRect(QPoint(6, 390), QPoint(1113, 430));
            }
            r.seekSlider = QRect(v.left(), v.top() + v.height(), v.width(), 10);
            r.infoPanel = QRect(6, 442, 582, 120);
            r.pad = QRect(588, 442, 140, 120);
            r.graph = QRect(6, 562, 722, 98);
            r.mapOrLogo = QRect(728, 26, 386, 405);
            r.fileManager = QRect(728, 431, 386, 229);
            r.zoomCentre = QPoint(361, 203);
            break;
        }
        case 1: {
            r.video = QRect(6, 26, 868, 493);
            const int bottom = r.video.top() + r.video.height();
            r.seekSlider = QRect(r.video.left(), bottom, r.video.width(), 10);
            r.infoPanel = QRect(6, bottom + 10, r.video.width(), 700 - bottom - 50);
            r.fileManager = QRect(r.video.left() + r.video.width(), 26, 240, 634);
            r.zoomCentre = QPoint(434, 246);
            break;
        }
        case 2: {
            r.video = QRect(6, 26, 1108, 628);
            r.seekSlider =
                QRect(r.video.left(), r.video.top() + r.video.height(), r.video.width(), 10);
            r.zoomCentre = QPoint(554, 314);
            break;
        }
    }
    int packed = 0;
    for (int slot = 0; slot < kButtonCount; ++slot) {
        if (layout != 2) {
            r.buttons[static_cast<size_t>(slot)] = BarButton(slot);
        } else if (SlotShownInLayout2(slot)) {
            r.buttons[static_cast<size_t>(slot)] = QRect(20 + 43 * packed++, kBarY, 32, 32);
        }
    }
    return r;
}

int NextLayout(int layout) {
    return (layout + 1) % 3;
}

int SizeTooltipSlot(int layout) {
    // UI 8 "中", UI 7 "大", UI 18 "小".
    return layout == 0 ? 8 : layout == 1 ? 7 : 18;
}

QRect FullScreenVideoRect(const QRect& monitor, int projection) {
    if (projection != 4) {
        return monitor;
    }
    const int height = static_cast<int>(monitor.width() / 3.43);
    return {monitor.left(), monitor.top() + (monitor.height() - height) / 2, monitor.width(),
            height};
}

QPoint PlaceOnWorkArea(const QRect& window, const QRect& work) {
    QPoint at = window.topLeft();
    // Bottom-right first, so that a window larger than the work area keeps its top-left on it.
    if (window.right() > work.right()) {
        at.rx() -= window.right() - work.right();
    }
    if (window.bottom() > work.bottom()) {
        at.ry() -= window.bottom() - work.bottom();
    }
    at.setX(std::max(at.x(), work.left()));
    at.setY(std::max(at.y(), work.top()));
    return at;
}

}  // namespace tavrilo
