#pragma once
// The rules of the 360 view's mouse handling that need no window: the momentum after a drag,
// whether a release starts it, and the zoom step of a single click.

#include <QPoint>
#include <QRect>

#include "video/render/view_control.h"

namespace tavrilo {

// Whether a release starts the momentum: the last movement lies within 30 degrees of the
// whole drag from `press` to `release`.
bool StartsMomentum(QPoint press, QPoint release, int vx, int vy);

// One 30-ms momentum step: the velocity shrinks by 1 % (truncated), the movement accumulates;
// in the panorama only the horizontal half of it counts. False, and nothing changed, when the
// velocity has run out (at most 3 both ways).
bool MomentumStep(CMoment& m, int viewMode);

// The main window's zoom: the picture's centre, the pan and the factor (1 = none, each step
// adds 1, a step past 3 resets).
struct ZoomState {
    QPoint centre;
    QPoint point;  // where the last zoom step was asked for
    QPoint offset;
    float factor = 1.0f;

    void Reset(QPoint layoutCentre);
    // A zoom step at `click`, with the engine's picture rectangle and the view's client
    // rectangle; resets when the factor would pass 3.
    void Step(QPoint click, const QRect& picture, const QRect& client, QPoint layoutCentre);
};

}  // namespace tavrilo
