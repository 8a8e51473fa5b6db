#pragma once
// The trip information panel: the date and time of the frame shown, the rate text, the speed,
// the GPS fix, a status picture and the three G values. The main window pushes the values in at
// every position change; the panel holds no track of its own. Its three toggle buttons switch
// the axis events (UWM_INFO_TOGGLE with the button's index and its new state).

#include <QString>
#include <QWidget>
#include <array>

#include "engine/messages.h"
#include "platform/system_time.h"

namespace tavrilo {

inline constexpr uint32_t UWM_INFO_TOGGLE = kWmApp + 701;

class CSkinCheckButton;

class CInfoDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CInfoDlg(QWidget* parent);

    // The values, as the main window sets them.
    SystemTime StartTime;
    int32_t HasStartTime = 0;
    int32_t FrameIndex = -1;
    float FrameDuration = 0;
    double GFrontBack = -5.0, GLeftRight = -5.0, GUpDown = -5.0;
    int32_t GpsValid = 0;
    double SpeedKmh = -1.0;
    int32_t StatusByte = 77;
    QString RateText;

    // G values -5, speed -1, no frame, status 'M', no fix; redraws.
    void Reset();
    void SetLayout(int layout);
    int layout() const { return layout_; }
    bool toggleState(int index) const;

    // Onto the main window's client area: the speaker picture (155 from the right, 30 above the
    // bottom), and in layout 2 the strip along the bottom with the rate, time and speed.
    void DrawSpeakerPicture(QPainter& p, const QRect& mainClient) const;
    void DrawBottomStrip(QPainter& p, const QRect& mainClient) const;

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

  private:
    void PlaceToggles();
    void DrawTime(QPainter& p, const QRect& box, int pixels) const;
    void DrawSpeed(QPainter& p, const QRect& box, int pixels) const;

    int layout_ = 0;
    std::array<CSkinCheckButton*, 3> toggles_{};
};

}  // namespace tavrilo
