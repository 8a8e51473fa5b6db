#pragma once
// The direction pad: four arrow buttons that turn the 360 view while held, and a reset. A held
// button turns the view 30 pixels' worth every 30 ms on the pad's worker thread; the buttons
// work by projection mode (all five on the sphere, left and right on the panorama, none flat).

#include <QWidget>
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "video/render/view_control.h"

namespace tavrilo {

class CSkinButton;

inline constexpr int kPadUp = 23;
inline constexpr int kPadLeft = 24;
inline constexpr int kPadRight = 25;
inline constexpr int kPadDown = 26;
inline constexpr int kPadReset = 27;

// The turn one step of a held button asks for, (0, 0) for the reset and unknown ids.
QPoint PadTurn(int id);

class CControllerDlg : public QWidget {
    Q_OBJECT
  public:
    // `view` takes the drags (from the worker thread); `viewHeight` is the video view's client
    // height; `resetView` puts the view back to its start (engine ResetView and Repaint).
    CControllerDlg(ViewTarget& view, std::function<int()> viewHeight,
                   std::function<void()> resetView, QWidget* parent);
    ~CControllerDlg() override;

    // Enables the buttons (up, left, right, down, reset); a button no longer enabled lets go.
    void SetButtonsEnabled(const std::array<bool, 5>& on);
    // Disables every button and stops the movement (an opening, an empty list).
    void DisableAll();
    // Stops the movement of a held button.
    void Stop();
    void SetZoom(float zoom) { zoom_ = zoom; }
    int held() const { return held_.load(); }
    CSkinButton* button(int id) const;
    // How many steps the worker has taken since the pad was made, for the tests.
    int steps() const { return steps_.load(); }

  protected:
    bool event(QEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

  private:
    void Press(int id);
    void Release();
    void Work();

    ViewTarget& view_;
    std::function<int()> viewHeight_;
    std::function<void()> resetView_;
    std::array<CSkinButton*, 5> buttons_{};
    CMoment moment_;  // the pad's own motion record; only the worker touches it
    std::atomic<float> zoom_{1.0f};
    std::atomic<int> held_{0};
    std::atomic<int> steps_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;  // guarded by mutex_
    std::thread worker_;
};

}  // namespace tavrilo
