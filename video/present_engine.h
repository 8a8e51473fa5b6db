#pragma once
// Draws decoded frames through the projection model with OpenGL 3.3: owns the context, the
// canvas the model draws on and the model itself. A lost context paints the picture black;
// the next frame builds everything again (the view state survives, it is process-wide).
//
// Thread: all calls on the thread the engine was initialised on (the presenting thread).

#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <memory>

#include "video/gl_canvas.h"
#include "video/sample_pool.h"
#include "video/sphere_model.h"

namespace tavrilo {

class GLPresentEngine {
  public:
    GLPresentEngine();
    ~GLPresentEngine();

    // Creates the context and the canvas ("3D available"). Needs a platform with OpenGL; under
    // X11 a display (Xvfb will do).
    bool Initialize();
    bool ready() const { return canvas_.initialized(); }

    // Sizes the model's resources for frames of this size (a new recording or format).
    int SetVideoSize(int width, int height);
    // The size of the picture drawn (the video window, or a capture size).
    bool SetTargetSize(int width, int height);

    // Draws `frame` (or repeats the last one when null). Always reports success: a lost
    // context paints the picture black and is rebuilt on the next call.
    int PresentFrame(const VideoFrame* frame);

    // Waits for the GPU to finish drawing (benchmarks).
    void Finish() { canvas_.Finish(); }

    // The picture last drawn, as a top-down RGB image of the target size.
    QImage GrabImage();

    CSphereModel& model() { return model_; }
    SamplePool<VideoFrame>& pool() { return pool_; }

    // Test hook: drops the context as a lost device would.
    void SimulateContextLoss();

  private:
    bool Rebuild();

    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<QOffscreenSurface> surface_;
    GlCanvas canvas_;
    CSphereModel model_;
    SamplePool<VideoFrame> pool_;
    int videoWidth_ = 0, videoHeight_ = 0;
    int targetWidth_ = 0, targetHeight_ = 0;
    VideoFrame last_;
    bool lost_ = false;
};

}  // namespace tavrilo
