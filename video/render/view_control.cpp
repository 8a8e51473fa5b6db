#include "video/render/view_control.h"

#include <cmath>

namespace tavrilo {

bool ViewDrag(CMoment& s, int clientHeight, ViewTarget& target, bool axisLock, int dx, int dy,
              float zoom) {
    const float k = 60.0f / zoom / 360.0f / static_cast<float>(clientHeight);
    float e = static_cast<float>(dx) * k;
    float f = static_cast<float>(dy) * k;
    if (axisLock) {
        if (std::abs(f) > std::abs(e)) {
            e = 0;
        } else {
            f = 0;
        }
    }
    const bool ready = target.Ready();
    const bool taken = ready && target.DragView(e, f, zoom);
    if (!taken && e == 0.0f) {
        s.x = s.y = s.vx = s.vy = s.accX = s.accY = 0;
        if (ready) {
            target.CommitDrag();
        }
        return false;
    }
    const int32_t state = ready ? target.PlayState() : 0;
    if (ready && (state == 1 || state == 3) && (dx != 0 || dy != 0)) {
        target.Repaint();
    }
    return true;
}

void ViewZoomAt(CMoment& s, int clientWidth, int clientHeight, ViewTarget& target, bool vertical,
                int px, int py, float newZoom) {
    const int halfW = clientWidth / 2;
    const int halfH = clientHeight / 2;
    s.vx = s.vy = 0;
    const float rel = (newZoom - s.zoom) / s.zoom;
    s.x = px;
    s.y = py;
    s.zoom = newZoom;
    const int dx = static_cast<int>(static_cast<float>(halfW - px) * rel);
    const int dy = vertical ? static_cast<int>(static_cast<float>(halfH - py) * rel) : 0;
    ViewDrag(s, clientHeight, target, false, dx, dy, newZoom);
    if (target.Ready()) {
        target.CommitDrag();
    }
}

}  // namespace tavrilo
