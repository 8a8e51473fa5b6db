#pragma once
// The video view: the native window the engine's presenter draws the video into, and the
// user's hold on the 360 view. A drag turns the sphere or the panorama (modes 3 and 4), a
// release with speed lets it coast (the momentum thread), a quick single click asks the main
// window for a zoom step, a double click for full screen. The player's notices reach the main
// window through it.

#include <QPoint>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/engine.h"
#include "video/render/view_control.h"

class QOpenGLContext;

namespace tavrilo {

// What the video view calls on the main window, on the window thread.
class MovieViewHost {
  public:
    virtual ~MovieViewHost() = default;
    virtual void OnViewZoomStep(QPoint click) = 0;
    virtual void OnViewDoubleClick() = 0;
    virtual void OnViewContextMenu(QPoint screen) = 0;
    virtual void OnPlayerOpened() = 0;
    virtual void OnPlayerEnded() = 0;
    // The view's size changed (a layout, full screen): the picture is placed again.
    virtual void OnViewResized() = 0;
};

class CMovieStatic : public QWindow, public MessageTarget, public ViewTarget {
    Q_OBJECT
  public:
    CMovieStatic(EngineContext& ctx, MovieViewHost& host, CMoment& moment);
    ~CMovieStatic() override;

    // The main window keeps these current.
    void SetEnabled(bool on) { enabled_ = on; }
    void SetZoom(float zoom);
    void SetViewMode(int mode) { viewMode_ = mode; }
    int viewMode() const { return viewMode_; }
    void SetCustomCursor(bool on);
    void SkipNextMove() { skipNextMove_ = true; }
    // Stops the single-click timer and the momentum (before a menu, a move of the window).
    void StopTimers();
    // The view was told a menu was shown: the release that follows is no click.
    void MenuShown();

    // Paints black when no recording is open; the engine repaints the frame otherwise.
    void RefreshPicture();

    // MessageTarget, from any thread.
    void PostAppMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;
    bool ClientSize(int32_t* width, int32_t* height) const override;

    // ViewTarget over the engine's view slots.
    bool Ready() const override;
    bool DragView(float dx, float dy, float zoom) override;
    void CommitDrag() override;
    void Repaint() override;
    int32_t PlayState() const override;

    // For tests: how many momentum steps ran since the last release, and whether it coasts.
    int momentumSteps() const { return momentumSteps_.load(); }
    bool coasting() const;
    bool singleClickPending() const { return singleClick_.isActive(); }

  protected:
    bool event(QEvent*) override;
    void exposeEvent(QExposeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override {}
    void resizeEvent(QResizeEvent*) override;

  private:
    void OnSingleClickTimer();
    void OnGuardTimer();
    void MomentumLoop();
    bool Open() const;

    EngineContext& ctx_;
    const EngineOps& ops_;
    MovieViewHost& host_;
    CMoment& moment_;
    mutable std::mutex momentMutex_;  // the moment is shared with the momentum thread
    std::atomic<int> viewHeight_{0};  // read by the momentum thread

    bool enabled_ = true;
    bool dragging_ = false;
    bool buttonReleased_ = false;
    bool doubleClickGuard_ = false;
    bool skipNextMove_ = false;
    bool customCursor_ = false;
    QPoint press_, last_, release_;
    float zoom_ = 1.0f;
    std::atomic<int> viewMode_{0};

    QTimer singleClick_;  // 201: the system's double-click time, once
    QTimer guard_;        // 202: 500 ms, until the button is up again
    QOpenGLContext* blackContext_ = nullptr;

    std::thread momentum_;
    std::condition_variable wake_;
    bool coast_ = false;  // guarded by momentMutex_
    std::atomic<bool> stopMomentum_{false};
    std::atomic<int> momentumSteps_{0};
};

}  // namespace tavrilo
