// tavrilo-play: a small development window that plays one recording through the engine, with
// the mouse drag of the 360 view. The main window replaces it as the user's entry point later.

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <string>

#include "engine/engine.h"
#include "video/present/ffmpeg_backend.h"
#include "video/present/frame_presenter.h"
#include "video/present/player.h"
#include "video/render/present_engine.h"
#include "video/render/view_control.h"

namespace {

using namespace tavrilo;

constexpr QEvent::Type kEngineEvent = static_cast<QEvent::Type>(QEvent::User + 1);

// An engine message delivered to the window's thread.
class EngineEvent : public QEvent {
  public:
    explicit EngineEvent(uint32_t m) : QEvent(kEngineEvent), message(m) {}
    uint32_t message;
};

class PlayWindow : public QWindow, public MessageTarget, public ViewTarget {
  public:
    PlayWindow(int view, int rate, long long seek, bool stats)
        : view_(view), rate_(rate), seek_(seek), stats_(stats) {
        setSurfaceType(QWindow::OpenGLSurface);
        setFormat(VideoSurfaceFormat());
        resize(722, 406);
        setTitle("tavrilo-play");
    }

    bool Open(const std::string& path) {
        ops_.Init(&ctx_, this);
        ctx_.Ready = 1;
        ctx_.MakePlayer = MakeFfmpegPlayer;
        opened_ = std::chrono::steady_clock::now();
        return ops_.OpenMovie(&ctx_, path.c_str()) == 1;
    }
    void Close() {
        ops_.CloseMovie(&ctx_);
        ops_.Shutdown(&ctx_);
    }

    // MessageTarget: from any thread.
    void PostAppMessage(uint32_t message, intptr_t, intptr_t) override {
        QCoreApplication::postEvent(this, new EngineEvent(message));
    }
    bool ClientSize(int32_t* w, int32_t* h) const override {
        *w = width();
        *h = height();
        return true;
    }

    // ViewTarget over the engine's view slots.
    bool Ready() const override { return ctx_.Ready != 0; }
    bool DragView(float dx, float dy, float zoom) override {
        return ops_.DragView(&ctx_, dx, dy, zoom) != 0;
    }
    void CommitDrag() override { ops_.CommitDrag(&ctx_); }
    void Repaint() override { ops_.Repaint(&ctx_); }
    int32_t PlayState() const override { return static_cast<int32_t>(ctx_.PlayState); }

  protected:
    bool event(QEvent* e) override {
        if (e->type() == kEngineEvent) {
            OnEngine(static_cast<EngineEvent*>(e)->message);
            return true;
        }
        return QWindow::event(e);
    }
    void resizeEvent(QResizeEvent*) override { PlacePicture(); }
    void mousePressEvent(QMouseEvent* e) override {
        dragging_ = true;
        last_ = e->position().toPoint();
        moment_.Clear();
        CommitDrag();
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (!dragging_ || (view_ != VIEW_SPHERE && view_ != VIEW_PANORAMA)) {
            return;
        }
        const QPoint p = e->position().toPoint();
        ViewDrag(moment_, height(), *this, true, p.x() - last_.x(),
                 view_ == VIEW_PANORAMA ? 0 : p.y() - last_.y(), moment_.zoom);
        last_ = p;
        CommitDrag();
    }
    void mouseReleaseEvent(QMouseEvent*) override { dragging_ = false; }
    void keyPressEvent(QKeyEvent*) override { QCoreApplication::quit(); }

  private:
    void PlacePicture() {
        ops_.SetZoom(&ctx_, width() / 2, height() / 2, 0, 0, 1.0f, 1);
        ops_.SetViewAspect(&ctx_, width(), height());
    }

    void OnEngine(uint32_t message) {
        if (message == UWM_SESSION_READY) {
            if (stats_) {
                std::printf("first frame %.1f ms after OpenMovie\n", MsSince(opened_));
            }
            ops_.SetViewType(&ctx_, view_);
            PlacePicture();
            ops_.SetRate(&ctx_, rate_);
            if (seek_ >= 0) {
                ops_.SeekFrame(&ctx_, seek_);
            }
            started_ = std::chrono::steady_clock::now();
            ops_.Play(&ctx_);
        } else if (message == UWM_SESSION_ENDED) {
            auto* access = dynamic_cast<FfmpegPlayerAccess*>(ctx_.Player.get());
            if (stats_ && access != nullptr) {
                const FramePresenter& p = access->presenter();
                const double seconds =
                    MsSince(started_) / 1000.0 - 0.2;  // less the end notice's delay
                std::printf("frames presented %lld, late %lld, %.1f frames/s over %.2f s\n",
                            static_cast<long long>(p.framesPresented()),
                            static_cast<long long>(p.framesLate()),
                            static_cast<double>(p.framesPresented()) / seconds, seconds);
            }
            QCoreApplication::quit();
        }
    }
    static double MsSince(std::chrono::steady_clock::time_point t) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t)
            .count();
    }

    const EngineOps& ops_ = GetEngineOps();
    mutable EngineContext ctx_;
    int view_, rate_;
    long long seek_;
    bool stats_;
    bool dragging_ = false;
    QPoint last_;
    CMoment moment_;
    std::chrono::steady_clock::time_point opened_, started_;
};

int Usage() {
    std::fputs(
        "usage: tavrilo-play FILE [--view flat|sphere|panorama] [--rate CODE] [--seek FRAME] "
        "[--stats]\n",
        stderr);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::string file;
    int view = VIEW_SPHERE, rate = 1;
    long long seek = -1;
    bool stats = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (a == "--view") {
            const std::string v = next();
            view = v == "flat"       ? VIEW_FLAT
                   : v == "panorama" ? VIEW_PANORAMA
                   : v == "sphere"   ? VIEW_SPHERE
                                     : 0;
            if (view == 0) {
                return Usage();
            }
        } else if (a == "--rate") {
            rate = std::atoi(next().c_str());
        } else if (a == "--seek") {
            seek = std::atoll(next().c_str());
        } else if (a == "--stats") {
            stats = true;
        } else if (file.empty() && a.rfind("--", 0) != 0) {
            file = a;
        } else {
            return Usage();
        }
    }
    if (file.empty()) {
        return Usage();
    }
    PlayWindow window(view, rate, seek, stats);
    window.show();
    if (!window.Open(file)) {
        std::fprintf(stderr, "tavrilo-play: cannot open %s\n", file.c_str());
        window.Close();
        return 1;
    }
    const int rc = app.exec();
    window.Close();
    return rc;
}
