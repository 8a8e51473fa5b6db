#include "video/render/sphere_model.h"

#include <cmath>

namespace tavrilo {
namespace {

std::recursive_mutex& ModelLock() {
    static std::recursive_mutex lock;
    return lock;
}

ViewState& State() {
    static ViewState state;
    return state;
}

constexpr float kNear = 0.01f;
constexpr float kFar = 1000.0f;
constexpr float kFlatPanScale = 10.775663f;  // 3.43 pi

float Toggle(float up) {
    return up > 0 ? -0.1f : 0.1f;
}

}  // namespace

ViewState CurrentViewState() {
    std::lock_guard lock(ModelLock());
    return State();
}

void ResetViewStateForTesting() {
    std::lock_guard lock(ModelLock());
    State() = ViewState{};
}

CameraMatrices CSphereModel::PanoramaCamera(ViewState& s, float aspect) {
    s.panoramaAspect = aspect;
    return {LookAtLH({s.panoramaPanX, s.panoramaPanY, 1.0f}, {s.panoramaPanX, s.panoramaPanY, 0},
                     {0, s.panoramaUp, 0}),
            PerspectiveFovLH(FieldOfViewY(s.panoramaZoom), aspect, kNear, kFar), Identity()};
}

CameraMatrices CSphereModel::FlatCamera(ViewState& s, float aspect) {
    s.flatAspect = aspect;
    return {
        LookAtLH({s.flatPanX, s.flatPanY, 0.865f}, {s.flatPanX, s.flatPanY, 0}, {0, s.flatUp, 0}),
        PerspectiveFovLH(FieldOfViewY(s.flatZoom), aspect, kNear, kFar), Identity()};
}

CameraMatrices CSphereModel::SphereCamera(const ViewState& s, float aspect, float zoom) {
    return {LookAtLH({0, 0, 0.1f}, {0, 0, 0}, {0, s.sphereUp, 0}),
            PerspectiveFovLH(FieldOfViewY(zoom), aspect, kNear, kFar),
            WorldFromOrientation(s.sphereOrientation)};
}

CSphereModel::~CSphereModel() {
    std::lock_guard lock(ModelLock());
    ReleaseResources();
    canvas_ = nullptr;
}

float CSphereModel::sphereZoom() const {
    std::lock_guard lock(sphereLock_);
    return sphereZoom_;
}

namespace {

// The sphere and the panorama strips do not depend on the video: made once, they serve every
// opening (2.6 MB kept, where each opening took 10 to 20 ms to make them again).
struct FixedMeshes {
    SphereMesh sphere;
    std::array<IndexedScreenMesh, kPanoramaStripCentres.size()> strips;
};

const FixedMeshes& Fixed() {
    static const FixedMeshes meshes = [] {
        FixedMeshes m;
        m.sphere = BuildSphere();
        for (size_t i = 0; i < m.strips.size(); ++i) {
            m.strips[i] =
                IndexTriangles(BuildPanoramaStrip(kPanoramaStripCentres[i], kPanoramaStripCentreY));
        }
        return m;
    }();
    return meshes;
}

}  // namespace

int CSphereModel::CreateResources(GlCanvas* canvas, int videoWidth, int videoHeight) {
    std::lock_guard lock(ModelLock());
    if (canvas != nullptr && !canvas->initialized()) {
        return kFail;  // no OpenGL 3.3: no 3D
    }
    ReleaseResources();
    if (canvas == nullptr) {
        return kOk;
    }
    canvas_ = canvas;
    ViewState& s = State();
    {
        std::lock_guard flat(flatLock_);
        flat_ = canvas->CreateScreenMesh(IndexTriangles(BuildFlatScreen(
            0, 0, static_cast<float>(videoWidth) / static_cast<float>(videoHeight), 1)));
        FlatCamera(s, s.flatAspect);
    }
    {
        std::lock_guard sphere(sphereLock_);
        sphere_ = canvas->CreateSphereMesh(Fixed().sphere);
        UpdateMatrixFromQuaternion(s.sphereOrientation);
    }
    ForEachStrip([&](size_t i) {
        strips_[i] = canvas->CreateScreenMesh(Fixed().strips[i]);
        PanoramaCamera(s, s.panoramaAspect);
    });
    created_ = true;
    return kOk;
}

void CSphereModel::ReleaseResources() {
    std::lock_guard lock(ModelLock());
    if (canvas_ != nullptr) {
        {
            std::lock_guard flat(flatLock_);
            canvas_->DestroyMesh(flat_);
        }
        {
            std::lock_guard sphere(sphereLock_);
            canvas_->DestroyMesh(sphere_);
        }
        ForEachStrip([&](size_t i) { canvas_->DestroyMesh(strips_[i]); });
    }
    created_ = false;
}

void CSphereModel::ForgetResources() {
    std::lock_guard lock(ModelLock());
    flat_ = sphere_ = GlCanvas::Mesh{};
    strips_ = {};
    canvas_ = nullptr;
    created_ = false;
}

int CSphereModel::DrawFrame(GlCanvas* canvas, const VideoFrame* frame) {
    std::lock_guard lock(ModelLock());
    ViewState& s = State();
    if (!s.viewReady) {
        return kFail;
    }
    if (!created_ || canvas == nullptr) {
        return kOk;
    }
    const bool flat = s.viewMode == VIEW_FLAT || s.viewMode == VIEW_FLAT_FIXED;
    // The flat screen's cells never overlap: it needs no depth and no stencil.
    canvas->BeginFrame(!flat);
    if (frame == nullptr) {
        return kOk;  // black
    }
    // A frame that cannot be copied ends the sphere and panorama drawing; the flat screen
    // keeps showing the previous one.
    if (!canvas->UploadFrame(*frame) && (!flat || !canvas->hasFrame())) {
        return kFail;
    }
    switch (s.viewMode) {
        case VIEW_SPHERE: {
            std::lock_guard sphere(sphereLock_);
            const CameraMatrices m = SphereCamera(s, s.windowAspect, sphereZoom_);
            canvas->SetTransforms(m.view, m.projection, m.world);
            canvas->Draw(sphere_);
            break;
        }
        case VIEW_PANORAMA: {
            const CameraMatrices m = PanoramaCamera(s, s.windowAspect);
            canvas->SetTransforms(m.view, m.projection, m.world);
            ForEachStrip([&](size_t i) { canvas->Draw(strips_[i]); });
            break;
        }
        case VIEW_FLAT_FIXED:
        case VIEW_FLAT: {
            std::lock_guard flat(flatLock_);
            const CameraMatrices m = FlatCamera(s, s.windowAspect);
            canvas->SetTransforms(m.view, m.projection, m.world);
            canvas->Draw(flat_);
            break;
        }
        default:
            break;
    }
    return kOk;
}

int CSphereModel::Drag(float dx, float dy, float zoom) {
    std::lock_guard lock(ModelLock());
    ViewState& s = State();
    if (!s.viewReady || canvas_ == nullptr) {
        return 1;
    }
    switch (s.viewMode) {
        case VIEW_SPHERE: {
            std::lock_guard sphere(sphereLock_);
            double ddx = dx, ddy = dy;
            if (s.sphereUp < 0) {
                ddx = -ddx;
                ddy = -ddy;
            }
            sphereZoom_ = zoom;
            // Take the drag in the allowed direction nearest to the one asked for, shortened
            // by how far it had to turn.
            int best = 400, bestAngle = 0, result = 0;
            for (int i = 0; i < 360; ++i) {
                const auto q = RotateDragVector(ddx, ddy, i);
                SphereOrientation copy = s.sphereOrientation;
                TrackballRotate(copy, q[0], q[1]);
                if (IsOrientationAllowed(copy)) {
                    const int d = 180 - std::abs(i - 180);
                    if (d < best) {
                        best = d;
                        bestAngle = i;
                    }
                    if (d == 0) {
                        result = 1;
                    }
                }
            }
            if (best < 360) {
                const double k = std::sqrt((180.0 - best) / 180.0);
                const auto q = RotateDragVector(k * ddx, k * ddy, bestAngle);
                TrackballRotate(s.sphereOrientation, q[0], q[1]);
            }
            return result;
        }
        case VIEW_PANORAMA:
            // Once per strip: three increments, each followed by the wrap rule.
            ForEachStrip([&](size_t) {
                const float sx = s.panoramaUp < 0 ? -dx : dx;
                const float sy = s.panoramaUp < 0 ? -dy : dy;
                s.panoramaPanX += sx * static_cast<float>(M_PI);
                s.panoramaPanY += sy * static_cast<float>(M_PI);
                s.panoramaZoom = zoom;
                if (s.panoramaPanX > 0) {
                    s.panoramaPanX = -4.0f;
                } else if (s.panoramaPanX < -4.0f) {
                    s.panoramaPanX = 0;
                }
                if (zoom == 1.0f) {
                    s.panoramaPanY = 0;
                }
                PanoramaCamera(s, s.panoramaAspect);
            });
            return 1;
        case VIEW_FLAT_FIXED:
        case VIEW_FLAT: {
            std::lock_guard flat(flatLock_);
            const float sx = s.flatUp < 0 ? -dx : dx;
            const float sy = s.flatUp < 0 ? -dy : dy;
            s.flatZoom = zoom;
            s.flatPanX += sx * kFlatPanScale;
            s.flatPanY += sy * kFlatPanScale;
            if (zoom == 1.0f) {
                s.flatPanX = s.flatPanY = 0;
            }
            FlatCamera(s, s.flatAspect);
            return 1;
        }
        default:
            return 1;
    }
}

void CSphereModel::CommitDrag() {
    std::lock_guard lock(ModelLock());
    ViewState& s = State();
    if (!s.viewReady || canvas_ == nullptr) {
        return;
    }
    if (s.viewMode == VIEW_SPHERE) {
        std::lock_guard sphere(sphereLock_);
        s.sphereOrientation.base = s.sphereOrientation.current;
    } else if (s.viewMode == VIEW_PANORAMA) {
        ForEachStrip([&](size_t) { PanoramaCamera(s, s.panoramaAspect); });
    }
}

int CSphereModel::Flip() {
    std::lock_guard lock(ModelLock());
    ViewState& s = State();
    if (!s.viewReady || canvas_ == nullptr) {
        return 0;
    }
    {
        std::lock_guard sphere(sphereLock_);
        s.sphereUp = Toggle(s.sphereUp);
    }
    // Three strips, three toggles: the panorama ends flipped once.
    ForEachStrip([&](size_t) {
        s.panoramaUp = Toggle(s.panoramaUp);
        PanoramaCamera(s, s.panoramaAspect);
    });
    std::lock_guard flat(flatLock_);
    const bool wasUpright = s.flatUp > 0;
    s.flatUp = Toggle(s.flatUp);
    FlatCamera(s, s.flatAspect);
    return wasUpright ? 1 : 0;
}

void CSphereModel::SetViewMode(int mode) {
    std::lock_guard lock(ModelLock());
    if (canvas_ == nullptr) {
        return;
    }
    ViewState& s = State();
    s.viewMode = mode;
    s.viewReady = mode >= VIEW_FLAT_FIXED && mode <= VIEW_PANORAMA ? 1 : 0;
    if (mode == VIEW_PANORAMA) {
        {
            std::lock_guard sphere(sphereLock_);
            ResetOrientation(s.sphereOrientation);
        }
        ForEachStrip([&](size_t) { PanoramaCamera(s, s.panoramaAspect); });
    }
}

void CSphereModel::SetWindowAspect(int width, int height) {
    std::lock_guard lock(ModelLock());
    ViewState& s = State();
    if (s.viewReady && height != 0) {
        s.windowAspect = static_cast<float>(width) / static_cast<float>(height);
    }
}

void CSphereModel::ResetView() {
    std::lock_guard lock(ModelLock());
    ViewState& s = State();
    if (!s.viewReady || canvas_ == nullptr) {
        return;
    }
    if (s.viewMode == VIEW_SPHERE) {
        std::lock_guard sphere(sphereLock_);
        ResetOrientation(s.sphereOrientation);
    } else if (s.viewMode == VIEW_PANORAMA) {
        ForEachStrip([&](size_t) {
            s.panoramaPanX = s.panoramaPanY = 0;
            PanoramaCamera(s, s.panoramaAspect);
        });
    }
}

}  // namespace tavrilo
