#pragma once
// Draws decoded frames through the projection model with OpenGL 3.3: owns the context, the
// canvas the model draws on and the model itself. A lost context paints the picture black;
// the next frame builds everything again (the view state survives, it is process-wide).
//
// Thread: all calls on the thread the engine was initialised on (the presenting thread).

#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QRect>
#include <memory>

class QThread;
class QWindow;

#include "video/frames/sample_pool.h"
#include "video/render/gl_canvas.h"
#include "video/render/sphere_model.h"

namespace tavrilo {

// The format of the drawing context and of the windows it draws into: OpenGL 3.3 core with
// depth and stencil, so that a window can be drawn into directly.
QSurfaceFormat VideoSurfaceFormat();

class GLPresentEngine {
  public:
    GLPresentEngine();
    ~GLPresentEngine();

    // Creates the context and the canvas ("3D available"). Needs a platform with OpenGL; under
    // X11 a display (Xvfb will do). On the GUI thread.
    bool Initialize();
    bool ready() const { return canvas_.initialized(); }
    // Hands the context to the thread that will draw (from the thread that holds it now).
    void MoveToThread(QThread* thread);
    // Frees the GPU objects; on the drawing thread, which gives the context back to the GUI
    // thread.
    void Release();

    // Where each picture is shown besides the render target: a window (null for none) and the
    // rectangle of it the picture fills (empty: all of it).
    void SetWindow(QWindow* window) { window_ = window; }
    void SetDestination(const QRect& rect) { destination_ = rect; }

    // Sizes the model's resources for frames of this size (a new recording or format).
    int SetVideoSize(int width, int height);
    // The size of the picture drawn (the video window, or a capture size).
    bool SetTargetSize(int width, int height);

    // Draws `frame` (or repeats the last one when null) into the window's rectangle, or into
    // the render target without a window. Always reports success: a lost context paints the
    // picture black and is rebuilt on the next call.
    int PresentFrame(const VideoFrame* frame);

    // Waits for the GPU to finish drawing (benchmarks).
    void Finish() { canvas_.Finish(); }

    // The picture last drawn, as a top-down RGB image of the target size (drawn into the
    // render target here when it went to the window).
    QImage GrabImage();

    CSphereModel& model() { return model_; }
    SamplePool<VideoFrame>& pool() { return pool_; }

    // Test hook: drops the context as a lost device would.
    void SimulateContextLoss();

  private:
    bool Rebuild();
    // Makes the context current on the calling thread (the one that draws).
    bool MakeCurrent();
    // Draws the last frame straight into the window; false where the window cannot take it.
    bool DrawIntoWindow();
    // Whether the window's framebuffer (the context current on it) has depth and stencil.
    bool WindowHasDepthStencil();
    // The window's size in pixels and the rectangle of it the picture fills.
    struct WindowPicture {
        int width, height;
        QRect rect;
    };
    WindowPicture PictureInWindow() const;
    // Draws the last frame (black without one) where the canvas draws now.
    void DrawLastFrame();

    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<QOffscreenSurface> surface_;
    GlCanvas canvas_;
    CSphereModel model_;
    SamplePool<VideoFrame> pool_;
    int videoWidth_ = 0, videoHeight_ = 0;
    int targetWidth_ = 0, targetHeight_ = 0;
    VideoFrame last_;
    bool lost_ = false;
    bool targetStale_ = false;  // the last frame went to the window only
    QWindow* window_ = nullptr;
    QWindow* checkedWindow_ = nullptr;  // the window whose framebuffer was looked at
    bool windowDrawable_ = false;
    QRect destination_;
};

}  // namespace tavrilo
