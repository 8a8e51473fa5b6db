#include "ui/main/c_movie_static.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QStyleHints>

#include "ui/main/movie_interaction.h"
#include "video/present/player.h"
#include "video/render/present_engine.h"
#include "widgets/app_message.h"
#include "widgets/c_resource_image.h"

namespace tavrilo {

CMovieStatic::CMovieStatic(EngineContext& ctx, MovieViewHost& host, CMoment& moment)
    : ctx_(ctx), ops_(GetEngineOps()), host_(host), moment_(moment) {
    setSurfaceType(QWindow::OpenGLSurface);
    setFormat(VideoSurfaceFormat());
    singleClick_.setSingleShot(true);
    connect(&singleClick_, &QTimer::timeout, this, [this] { OnSingleClickTimer(); });
    guard_.setInterval(500);
    connect(&guard_, &QTimer::timeout, this, [this] { OnGuardTimer(); });
    momentum_ = std::thread([this] { MomentumLoop(); });
}

CMovieStatic::~CMovieStatic() {
    {
        std::lock_guard lock(momentMutex_);
        stopMomentum_ = true;
    }
    wake_.notify_all();
    momentum_.join();
    delete blackContext_;
}

void CMovieStatic::SetZoom(float zoom) {
    std::lock_guard lock(momentMutex_);
    zoom_ = zoom;
}

void CMovieStatic::SetCustomCursor(bool on) {
    customCursor_ = on;
    if (on) {
        setCursor(QCursor(CResourceImage::Pixmap(191)));
    } else {
        unsetCursor();
    }
}

bool CMovieStatic::Open() const {
    return ctx_.Ready != 0 && ctx_.PlayState != MovieState::kClosed;
}

bool CMovieStatic::Ready() const {
    return ctx_.Ready != 0;
}
bool CMovieStatic::DragView(float dx, float dy, float zoom) {
    return ops_.DragView(&ctx_, dx, dy, zoom) != 0;
}
void CMovieStatic::CommitDrag() {
    if (Ready()) {
        ops_.CommitDrag(&ctx_);
    }
}
void CMovieStatic::Repaint() {
    ops_.Repaint(&ctx_);
}
int32_t CMovieStatic::PlayState() const {
    return static_cast<int32_t>(ctx_.PlayState);
}

void CMovieStatic::PostAppMessage(uint32_t message, intptr_t wParam, intptr_t lParam) {
    tavrilo::PostAppMessage(this, message, wParam, lParam);
}

bool CMovieStatic::ClientSize(int32_t* width, int32_t* height) const {
    *width = this->width();
    *height = this->height();
    return true;
}

bool CMovieStatic::event(QEvent* e) {
    switch (MessageOf(e)) {
        case UWM_SESSION_READY:
            host_.OnPlayerOpened();
            return true;
        case UWM_SESSION_ENDED:
            host_.OnPlayerEnded();
            return true;
        case 0:
            break;
        default:
            return true;  // UWM_SESSION_PAUSED and the rest: nothing to do
    }
    if (e->type() == QEvent::ContextMenu) {
        host_.OnViewContextMenu(static_cast<QContextMenuEvent*>(e)->globalPos());
        return true;
    }
    if (e->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(e)->button() == Qt::RightButton) {
        host_.OnViewContextMenu(static_cast<QMouseEvent*>(e)->globalPosition().toPoint());
        return true;
    }
    return QWindow::event(e);
}

void CMovieStatic::resizeEvent(QResizeEvent* e) {
    viewHeight_ = height();
    QWindow::resizeEvent(e);
    host_.OnViewResized();
}

void CMovieStatic::exposeEvent(QExposeEvent*) {
    RefreshPicture();
}

void CMovieStatic::RefreshPicture() {
    if (!isExposed()) {
        return;
    }
    if (Open()) {
        ops_.Repaint(&ctx_);
        return;
    }
    // Nothing open: the view is black. The presenter's context is gone with the player.
    if (blackContext_ == nullptr) {
        blackContext_ = new QOpenGLContext;
        blackContext_->setFormat(requestedFormat());
        if (!blackContext_->create()) {
            return;
        }
    }
    if (blackContext_->makeCurrent(this)) {
        QOpenGLFunctions* gl = blackContext_->functions();
        gl->glClearColor(0, 0, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        blackContext_->swapBuffers(this);
        blackContext_->doneCurrent();
    }
}

void CMovieStatic::StopTimers() {
    singleClick_.stop();
    std::lock_guard lock(momentMutex_);
    coast_ = false;
    moment_.vx = moment_.vy = 0;
}

void CMovieStatic::MenuShown() {
    singleClick_.stop();
    dragging_ = false;
}

void CMovieStatic::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QWindow::mousePressEvent(e);
        return;
    }
    const QPoint p = e->position().toPoint();
    if (enabled_) {
        buttonReleased_ = false;
        dragging_ = true;
        last_ = press_ = p;
        if (!doubleClickGuard_) {
            if (viewMode_ == 3 || viewMode_ == 4) {
                setCursor(Qt::ClosedHandCursor);
            }
            std::lock_guard lock(momentMutex_);
            coast_ = false;
            moment_.Clear();
            CommitDrag();  // also ends a running momentum, whose next step sees no speed
            moment_.x = p.x();
            moment_.y = p.y();
        }
    }
}

void CMovieStatic::mouseMoveEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    if (enabled_ && dragging_ && !skipNextMove_ && (viewMode_ == 3 || viewMode_ == 4)) {
        std::lock_guard lock(momentMutex_);
        moment_.vx = std::clamp(p.x() - moment_.x, -100, 100);
        moment_.vy = std::clamp(p.y() - moment_.y, -100, 100);
        moment_.x = p.x();
        moment_.y = p.y();
        if (!ViewDrag(moment_, height(), *this, true, p.x() - last_.x(),
                      viewMode_ == 4 ? 0 : p.y() - last_.y(), zoom_)) {
            moment_.Clear();
            CommitDrag();
        }
        last_ = p;
        CommitDrag();  // every move becomes the new base of the orientation
    }
    skipNextMove_ = false;
}

void CMovieStatic::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !enabled_) {
        return;
    }
    buttonReleased_ = true;
    dragging_ = false;
    if (doubleClickGuard_) {
        doubleClickGuard_ = false;
        unsetCursor();
        return;
    }
    release_ = e->position().toPoint();
    CommitDrag();
    std::unique_lock lock(momentMutex_);
    if (std::abs(moment_.vx) <= 3 && std::abs(moment_.vy) <= 3) {
        singleClick_.start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    }
    if ((viewMode_ == 3 || viewMode_ == 4) && release_ != press_ &&
        StartsMomentum(press_, release_, moment_.vx, moment_.vy)) {
        coast_ = true;
        momentumSteps_ = 0;
        lock.unlock();
        wake_.notify_all();
    }
    if (customCursor_) {
        setCursor(QCursor(CResourceImage::Pixmap(191)));
    } else {
        unsetCursor();
    }
}

void CMovieStatic::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        return;
    }
    singleClick_.stop();
    dragging_ = false;
    doubleClickGuard_ = true;
    unsetCursor();
    host_.OnViewDoubleClick();
    guard_.start();
}

void CMovieStatic::OnSingleClickTimer() {
    if (release_ == press_) {
        host_.OnViewZoomStep(last_);
    }
}

void CMovieStatic::OnGuardTimer() {
    if (buttonReleased_) {
        doubleClickGuard_ = false;
        guard_.stop();
    }
}

bool CMovieStatic::coasting() const {
    std::lock_guard lock(momentMutex_);
    return coast_;
}

void CMovieStatic::MomentumLoop() {
    std::unique_lock lock(momentMutex_);
    while (!stopMomentum_) {
        wake_.wait(lock, [this] { return coast_ || stopMomentum_; });
        if (stopMomentum_) {
            return;
        }
        if (!MomentumStep(moment_, viewMode_)) {
            coast_ = false;
            CommitDrag();
            continue;
        }
        ++momentumSteps_;
        ViewDrag(moment_, viewHeight_, *this, true, moment_.accX, moment_.accY, zoom_);
        wake_.wait_for(lock, std::chrono::milliseconds(30),
                       [this] { return stopMomentum_.load(); });
    }
}

}  // namespace tavrilo
