#pragma once
// The geometry and arithmetic of the 360-degree projections: the meshes the fisheye frame is
// laid on, the cameras that look at them, and the sphere orientation the user turns. Matrices
// are 4x4 row-major and apply to row vectors (v' = v * M), left-handed, as the projections were
// first written; the GPU receives them unchanged (a row-major matrix read as column-major is
// its transpose, which is what column vectors need).

#include <array>
#include <cstdint>
#include <vector>

namespace tavrilo {

enum ViewMode : int32_t {
    VIEW_FLAT_FIXED = 1,
    VIEW_FLAT = 2,
    VIEW_SPHERE = 3,
    VIEW_PANORAMA = 4,
};

struct Vec3f {
    float x = 0, y = 0, z = 0;
};

using Mat4 = std::array<float, 16>;  // row-major
Mat4 Identity();
Mat4 Multiply(const Mat4& a, const Mat4& b);
// Row vector (x, y, z, w) times m.
std::array<float, 4> Transform(const std::array<float, 4>& v, const Mat4& m);

Mat4 LookAtLH(Vec3f eye, Vec3f at, Vec3f up);
Mat4 PerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);

// Vertical field of view of every camera: (60 / zoom) degrees.
float FieldOfViewY(float zoom);

struct SphereOrientation {
    std::array<double, 4> base{1, 0, 0, 0};     // w, x, y, z at the start of the drag step
    std::array<double, 4> current{1, 0, 0, 0};  // base combined with the drag
    std::array<double, 16> matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

void UpdateMatrixFromQuaternion(SphereOrientation& o);
void ResetOrientation(SphereOrientation& o);
// Turns `current` by 2 * pi * |(rx, ry)| about the axis (ry, rx, 0), applied before base.
void TrackballRotate(SphereOrientation& o, double rx, double ry);
// (dx, dy) turned by `degrees`; at 0 this is (dx, -dy).
std::array<double, 2> RotateDragVector(double dx, double dy, int degrees);
// The horizon may not tip past 135 degrees from the view direction.
bool IsOrientationAllowed(const SphereOrientation& o);
// The orientation's matrix as float, for the GPU.
Mat4 WorldFromOrientation(const SphereOrientation& o);

// Vertices of the flat screen and the panorama strips: position, colour, texture coordinate
// (24 bytes, as the strips were laid out for the GPU).
struct ScreenVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 24);

// A triangle list with each distinct vertex once, drawn through indices: a vertex that several
// triangles share is transformed once.
struct IndexedScreenMesh {
    std::vector<ScreenVertex> vertices;
    std::vector<uint32_t> indices;
};
// Indexes a triangle list; its triangles, read through the indices, are the list's exactly.
IndexedScreenMesh IndexTriangles(const std::vector<ScreenVertex>& list);

// Sphere vertices: position and texture coordinate.
struct SphereVertex {
    float x, y, z, u, v;
};

inline constexpr int kFlatCells = 16;
inline constexpr int kPanoramaCells = 96;
inline constexpr int kSphereSlices = 128;
inline constexpr int kSphereStacks = 128;
inline constexpr float kSphereRadius = 200.0f;
inline constexpr std::array<float, 3> kPanoramaStripCentres = {-5.0f, -1.0f, 3.0f};
inline constexpr float kPanoramaStripCentreY = 0.92f;

// A unit-high rectangle of width `aspect` centred on (cx, cy), `cells` x `cells` cells of two
// triangles, u from 1 at the left edge to 0 at the right, v from 1 at the bottom to 0 at the
// top. The texture coordinates are linear in the position, so one cell draws the same picture
// as any number of them: the drawing uses one, with far fewer edges for the rasteriser to walk.
std::vector<ScreenVertex> BuildFlatScreen(float cx, float cy, float aspect, int cells = kFlatCells);

// One 4.0 x 5.8 strip of 96 x 96 cells unrolling one turn round the fisheye axis.
std::vector<ScreenVertex> BuildPanoramaStrip(float cx, float cy);

// The texture coordinate of a sphere vertex: the lens axis is -y, and the cap within 58 degrees
// of +y (outside the image circle) is pushed to the texture's corner values.
std::array<float, 2> SphereTexCoord(float x, float y, float z);

struct SphereMesh {
    std::vector<SphereVertex> vertices;
    std::vector<uint32_t> indices;  // triangle list
};
// A sphere of radius 200 with poles on the y axis, 128 slices and 128 stacks.
SphereMesh BuildSphere();

}  // namespace tavrilo
