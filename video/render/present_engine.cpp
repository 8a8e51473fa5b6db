#include "video/render/present_engine.h"

#include <QCoreApplication>
#include <QThread>
#include <QWindow>
#include <mutex>

namespace tavrilo {
namespace {

// The drawing context of a closed recording, with its off-screen surface, kept for the next
// one: making a context is the slowest step of an opening on a software renderer. It lives on
// the GUI thread and is left to the end of the process on purpose (a context must not be
// destroyed after the application object it was made under).
struct ParkedContext {
    std::mutex mutex;
    std::unique_ptr<QOpenGLContext> context;
    std::unique_ptr<QOffscreenSurface> surface;
};

ParkedContext& Parked() {
    static auto* parked = new ParkedContext;
    return *parked;
}

}  // namespace

QSurfaceFormat VideoSurfaceFormat() {
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    return format;
}

GLPresentEngine::GLPresentEngine() = default;

GLPresentEngine::~GLPresentEngine() {
    if (context_ && context_->thread() == QThread::currentThread()) {
        Release();
        if (!lost_ && context_->isValid() && surface_) {
            ParkedContext& parked = Parked();
            std::lock_guard lock(parked.mutex);
            if (!parked.context) {
                parked.context = std::move(context_);
                parked.surface = std::move(surface_);
            }
        }
    }
}

void GLPresentEngine::MoveToThread(QThread* thread) {
    if (context_) {
        context_->doneCurrent();
        context_->moveToThread(thread);
    }
}

void GLPresentEngine::Release() {
    if (MakeCurrent()) {
        model_.CreateResources(nullptr, 0, 0);
        canvas_.Release();
        context_->doneCurrent();
    }
    if (context_ && QCoreApplication::instance() != nullptr) {
        context_->moveToThread(QCoreApplication::instance()->thread());
    }
}

bool GLPresentEngine::Initialize() {
    {
        ParkedContext& parked = Parked();
        std::lock_guard lock(parked.mutex);
        if (parked.context && parked.context->thread() == QThread::currentThread()) {
            context_ = std::move(parked.context);
            surface_ = std::move(parked.surface);
        }
    }
    if (!context_) {
        context_ = std::make_unique<QOpenGLContext>();
        context_->setFormat(VideoSurfaceFormat());
        if (!context_->create()) {
            context_.reset();
            return false;
        }
    }
    if (!surface_) {
        surface_ = std::make_unique<QOffscreenSurface>();
        surface_->setFormat(context_->format());
        surface_->create();
    }
    if (!context_->makeCurrent(surface_.get()) || !canvas_.Initialize()) {
        context_.reset();
        return false;
    }
    lost_ = false;
    return true;
}

bool GLPresentEngine::MakeCurrent() {
    return context_ && surface_ && context_->makeCurrent(surface_.get());
}

int GLPresentEngine::SetVideoSize(int width, int height) {
    videoWidth_ = width;
    videoHeight_ = height;
    if (!ready() || !MakeCurrent()) {
        return kFail;
    }
    canvas_.ReserveFrame(width, height);
    return model_.CreateResources(&canvas_, width, height);
}

bool GLPresentEngine::SetTargetSize(int width, int height) {
    targetWidth_ = width;
    targetHeight_ = height;
    model_.SetWindowAspect(width, height);
    return ready() && MakeCurrent() && canvas_.ResizeTarget(width, height);
}

bool GLPresentEngine::Rebuild() {
    // The old objects died with the old context.
    model_.ForgetResources();
    canvas_.Forget();
    if (!Initialize()) {
        return false;
    }
    return SetVideoSize(videoWidth_, videoHeight_) == kOk &&
           SetTargetSize(targetWidth_, targetHeight_);
}

int GLPresentEngine::PresentFrame(const VideoFrame* frame) {
    if (frame != nullptr) {
        last_ = *frame;
    }
    if (!context_ || !context_->isValid()) {
        // Paint black for this frame; build everything again for the next one.
        lost_ = true;
        Rebuild();
        return kOk;
    }
    lost_ = false;
    if (DrawIntoWindow()) {
        targetStale_ = true;
        return kOk;
    }
    context_->makeCurrent(surface_.get());
    DrawLastFrame();
    targetStale_ = false;
    if (window_ != nullptr && window_->isExposed() && context_->makeCurrent(window_)) {
        // A window without depth and stencil gets a copy of the render target.
        const WindowPicture p = PictureInWindow();
        canvas_.BlitTo(context_->defaultFramebufferObject(), p.width, p.height, p.rect.left(),
                       p.rect.top(), p.rect.left() + p.rect.width(),
                       p.rect.top() + p.rect.height());
        context_->swapBuffers(window_);
        context_->makeCurrent(surface_.get());
    }
    return kOk;
}

bool GLPresentEngine::DrawIntoWindow() {
    if (window_ == nullptr || !window_->isExposed() || !context_->makeCurrent(window_)) {
        return false;
    }
    if (!WindowHasDepthStencil()) {
        return false;
    }
    const WindowPicture p = PictureInWindow();
    canvas_.DrawIntoWindow(context_->defaultFramebufferObject(), p.width, p.height, p.rect);
    DrawLastFrame();
    canvas_.DrawIntoTarget();
    context_->swapBuffers(window_);
    // The context stays current on the window until the next frame: switching it to the
    // off-screen surface and back made the software renderer allocate the window's buffers
    // afresh for every frame (a page fault on each of their pages).
    return true;
}

GLPresentEngine::WindowPicture GLPresentEngine::PictureInWindow() const {
    const qreal scale = window_->devicePixelRatio();
    const int w = static_cast<int>(window_->width() * scale);
    const int h = static_cast<int>(window_->height() * scale);
    return {w, h, destination_.isEmpty() ? QRect(0, 0, w, h) : destination_};
}

void GLPresentEngine::DrawLastFrame() {
    model_.DrawFrame(&canvas_, last_.owner ? &last_ : nullptr);
}

bool GLPresentEngine::WindowHasDepthStencil() {
    if (checkedWindow_ != window_) {
        checkedWindow_ = window_;
        windowDrawable_ = canvas_.HasDepthAndStencil(context_->defaultFramebufferObject());
    }
    return windowDrawable_;
}

QImage GLPresentEngine::GrabImage() {
    if (lost_ || !MakeCurrent()) {
        QImage black(std::max(targetWidth_, 1), std::max(targetHeight_, 1), QImage::Format_RGB32);
        black.fill(Qt::black);
        lost_ = false;
        return black;
    }
    if (targetStale_) {
        DrawLastFrame();
        targetStale_ = false;
    }
    return canvas_.ReadTarget().convertToFormat(QImage::Format_RGB32);
}

void GLPresentEngine::SimulateContextLoss() {
    if (context_) {
        context_->doneCurrent();
    }
    context_.reset();
}

}  // namespace tavrilo
