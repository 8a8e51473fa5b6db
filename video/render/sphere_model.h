#pragma once
// The projection model: lays each fisheye frame on a sphere (seen from its centre), on three
// panorama strips side by side (so panning wraps), or on a flat screen, and keeps the view the
// user turns and pans. The view state is process-wide: it outlives each model, so opening
// another recording keeps the current view.
//
// Locks: the model lock (one for all models, since it guards the shared view state), then at
// most one object lock (the sphere's, one strip's or the flat screen's).

#include <array>
#include <mutex>

#include "video/frames/video_frame.h"
#include "video/render/gl_canvas.h"
#include "video/render/projection.h"
#include "video/results.h"

namespace tavrilo {

struct ViewState {
    int32_t viewMode = VIEW_FLAT;
    int32_t viewReady = 0;
    float windowAspect = 1.0f;
    float sphereUp = 0.1f;
    SphereOrientation sphereOrientation;
    float panoramaPanX = 0, panoramaPanY = 0;
    float panoramaZoom = 1.0f;
    float panoramaAspect = 1.0f;
    float panoramaUp = 0.1f;
    float flatPanX = 0, flatPanY = 0;
    float flatZoom = 1.0f;
    float flatAspect = 1.0f;
    float flatUp = 0.1f;
};

// A copy of the process-wide view state, taken under the model lock.
ViewState CurrentViewState();
// Back to the state at program start (tests only: the program never resets it as a whole).
void ResetViewStateForTesting();

struct CameraMatrices {
    Mat4 view, projection, world;
};

class CSphereModel {
  public:
    CSphereModel() = default;
    ~CSphereModel();
    CSphereModel(const CSphereModel&) = delete;
    CSphereModel& operator=(const CSphereModel&) = delete;

    // Builds the meshes for a canvas and a frame size. Fails when the canvas has no OpenGL 3.3
    // context (no 3D). A null canvas only releases.
    int CreateResources(GlCanvas* canvas, int videoWidth, int videoHeight);
    void ReleaseResources();
    // Drops the resources without touching the GPU: their context is gone.
    void ForgetResources();
    bool created() const { return created_; }

    // Clears, draws the current mode with `frame` (black without one). Fails before a view
    // mode was chosen.
    int DrawFrame(GlCanvas* canvas, const VideoFrame* frame);

    // One drag step of the current mode; dx, dy already scaled by the caller. 1 when the drag
    // was taken as asked, 0 when the sphere had to turn it.
    int Drag(float dx, float dy, float zoom);
    void CommitDrag();
    int Flip();
    void SetViewMode(int mode);
    void SetWindowAspect(int width, int height);
    void ResetView();

    // The cameras (they also remember the aspect they were given, as drawing needs).
    static CameraMatrices PanoramaCamera(ViewState& s, float aspect);
    static CameraMatrices FlatCamera(ViewState& s, float aspect);
    static CameraMatrices SphereCamera(const ViewState& s, float aspect, float zoom);

    float sphereZoom() const;

  private:
    // Runs `step` for each strip in order, under that strip's lock alone.
    template <typename Step>
    void ForEachStrip(Step step) {
        for (size_t i = 0; i < strips_.size(); ++i) {
            std::lock_guard strip(stripLocks_[i]);
            step(i);
        }
    }

    GlCanvas* canvas_ = nullptr;  // borrowed
    bool created_ = false;
    float sphereZoom_ = 1.0f;
    GlCanvas::Mesh sphere_, flat_;
    std::array<GlCanvas::Mesh, 3> strips_{};
    mutable std::mutex sphereLock_;
    std::array<std::mutex, 3> stripLocks_;
    std::mutex flatLock_;
};

}  // namespace tavrilo
