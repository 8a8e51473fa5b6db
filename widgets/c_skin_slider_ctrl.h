#pragma once
// The seek and volume sliders: a filled and an empty track with a thumb, all skin images. The
// slider reports presses, drags and releases to its parent (UWM_SLIDER_PRESS, _TRACK and
// _RELEASE with the control id and the position) and never moves its own thumb: its owner
// sets the position.

#include <QWidget>

#include "widgets/slider_geometry.h"

namespace tavrilo {

struct SliderImages {
    int filled, empty, thumb, thumbDragged;
};
inline constexpr SliderImages kSeekSliderImages{174, 159, 160, 161};
inline constexpr SliderImages kVolumeSliderImages{167, 168, 169, 170};

class CSkinSliderCtrl : public QWidget {
    Q_OBJECT
  public:
    CSkinSliderCtrl(int controlId, QWidget* parent);

    void SetImages(const SliderImages& images);
    void SetRange(int minimum, int maximum);
    // Redraws at once.
    void SetPos(int position);
    int pos() const { return position_; }
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int controlId() const { return controlId_; }
    // What the last press or drag pointed at, and whether that press missed the thumb.
    int pressedPosition() const { return pressedPosition_; }
    bool pressOutsideThumb() const { return pressOutsideThumb_; }
    bool dragging() const { return dragging_; }
    SliderGeometry geometryNow() const;

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

  private:
    void Report(uint32_t message);

    int controlId_;
    SliderImages images_{};
    int minimum_ = 0, maximum_ = 0, position_ = 0;
    int pressedPosition_ = 0;
    bool dragging_ = false;
    bool pressOutsideThumb_ = false;
};

}  // namespace tavrilo
