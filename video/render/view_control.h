#pragma once
// Turning pixel movements of the mouse into drags of the projection model.

#include <cstdint>

namespace tavrilo {

// The drag and momentum record of the 360 view.
class CMoment {
  public:
    virtual ~CMoment() = default;
    int32_t x = 0, y = 0;        // last pointer position used for velocity
    float zoom = 1.0f;           // zoom factor of the view
    int32_t accX = 0, accY = 0;  // momentum movement accumulated since the release
    int32_t vx = 0, vy = 0;      // last movement per mouse event, each within -100..100

    void Clear() { x = y = vx = vy = accX = accY = 0; }
};

// What the drag functions need of the engine (its view operations).
class ViewTarget {
  public:
    virtual ~ViewTarget() = default;
    virtual bool Ready() const = 0;
    virtual bool DragView(float dx, float dy, float zoom) = 0;
    virtual void CommitDrag() = 0;
    virtual void Repaint() = 0;
    virtual int32_t PlayState() const = 0;
};

// A drag of (dx, dy) pixels in a view `clientHeight` pixels high: a drag across the whole height
// turns one vertical field of view. With the axis lock only the larger part moves (a tie keeps
// the horizontal one). False when the drag was refused with no horizontal part.
bool ViewDrag(CMoment& s, int clientHeight, ViewTarget& target, bool axisLock, int dx, int dy,
              float zoom);

// Changes the zoom to `newZoom` keeping the point (px, py) in place.
void ViewZoomAt(CMoment& s, int clientWidth, int clientHeight, ViewTarget& target, bool vertical,
                int px, int py, float newZoom);

}  // namespace tavrilo
