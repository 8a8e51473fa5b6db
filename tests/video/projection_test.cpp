// The projection arithmetic, to the float: meshes, cameras, orientation.

#include "video/render/projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace tavrilo {
namespace {

TEST(FlatScreen, UnitHighRectangleMirroredTextureCoordinates) {
    const auto v = BuildFlatScreen(0, 0, 1.0f);
    ASSERT_EQ(v.size(), 16u * 16u * 6u);  // 512 triangles
    // First cell: bottom-left corner of the screen, u = 1 at the left edge, v = 1 at the bottom.
    EXPECT_FLOAT_EQ(v[0].x, -0.5f);
    EXPECT_FLOAT_EQ(v[0].y, -0.5f);
    EXPECT_FLOAT_EQ(v[0].u, 1.0f);
    EXPECT_FLOAT_EQ(v[0].v, 1.0f);
    EXPECT_EQ(v[0].colour, 0xFFFFFFFFu);
    // Six vertices a cell in the order (x,y) (x1,y) (x,y1) (x,y1) (x1,y) (x1,y1).
    EXPECT_FLOAT_EQ(v[1].x, -0.5f + 0.0625f);
    EXPECT_FLOAT_EQ(v[2].y, -0.5f + 0.0625f);
    const ScreenVertex& last = v.back();
    EXPECT_FLOAT_EQ(last.x, 0.5f);
    EXPECT_FLOAT_EQ(last.y, 0.5f);
    EXPECT_NEAR(last.u, 0.0f, 1e-6);
    EXPECT_NEAR(last.v, 0.0f, 1e-6);
    // A wider screen keeps its height and texture range.
    const auto wide = BuildFlatScreen(0, 0, 2.0f);
    EXPECT_FLOAT_EQ(wide[0].x, -1.0f);
    EXPECT_FLOAT_EQ(wide.back().x, 1.0f);
}

TEST(FlatScreen, OneCellDrawsTheSamePictureAsSixteen) {
    for (const float aspect : {1.0f, 16.0f / 9.0f}) {
        const auto quad = BuildFlatScreen(0.25f, -0.5f, aspect, 1);
        ASSERT_EQ(quad.size(), 6u);
        // The one cell spans the same rectangle with the same corner coordinates.
        const auto cells = BuildFlatScreen(0.25f, -0.5f, aspect);
        EXPECT_FLOAT_EQ(quad[0].x, cells[0].x);
        EXPECT_FLOAT_EQ(quad[0].y, cells[0].y);
        EXPECT_NEAR(quad[5].x, cells.back().x, 1e-6);
        EXPECT_NEAR(quad[5].y, cells.back().y, 1e-6);
        // Every vertex of the cells lies where the one cell's interpolation puts it: u and v
        // are linear in x and y, so the rasteriser fills both alike.
        const float w = quad[5].x - quad[0].x, h = quad[5].y - quad[0].y;
        for (const ScreenVertex& v : cells) {
            const float s = (v.x - quad[0].x) / w, t = (v.y - quad[0].y) / h;
            ASSERT_NEAR(v.u, quad[0].u + s * (quad[5].u - quad[0].u), 1e-5) << v.x << "," << v.y;
            ASSERT_NEAR(v.v, quad[0].v + t * (quad[5].v - quad[0].v), 1e-5) << v.x << "," << v.y;
        }
    }
}

TEST(IndexTriangles, TheTrianglesReadThroughTheIndicesAreTheListsBitForBit) {
    for (const auto& list : {BuildPanoramaStrip(-1.0f, 0.92f), BuildFlatScreen(0, 0, 1.5f)}) {
        const IndexedScreenMesh mesh = IndexTriangles(list);
        ASSERT_EQ(mesh.indices.size(), list.size());
        for (size_t i = 0; i < list.size(); ++i) {
            ASSERT_LT(mesh.indices[i], mesh.vertices.size());
            ASSERT_EQ(std::memcmp(&mesh.vertices[mesh.indices[i]], &list[i], sizeof list[i]), 0)
                << i;
        }
        // Corners that neighbouring cells share are stored once.
        EXPECT_LT(mesh.vertices.size(), list.size() / 2);
    }
    // Vertices that differ in any field stay apart, even by one bit of a coordinate.
    ScreenVertex a{0.5f, 0.5f, 0.0f, 0xFFFFFFFFu, 0.25f, 0.75f};
    ScreenVertex b = a;
    b.v = std::nextafter(a.v, 1.0f);
    const IndexedScreenMesh two = IndexTriangles({a, b, a});
    EXPECT_EQ(two.vertices.size(), 2u);
    EXPECT_EQ(two.indices, (std::vector<uint32_t>{0, 1, 0}));
}

TEST(PanoramaStrip, GridAndLensMapping) {
    const auto v = BuildPanoramaStrip(-1.0f, 0.92f);
    ASSERT_EQ(v.size(), 96u * 96u * 6u);  // 18432 triangles
    // y0 = 0.92 - 2.9 + 0.39 = -1.59; x0 = cx - 2.
    EXPECT_FLOAT_EQ(v[0].y, 0.92f - 2.9f + 0.39f);
    EXPECT_FLOAT_EQ(v[0].x, -3.0f);
    // At y0 the angle is 0: s = 0, r = sqrt(2); at x0 phi = -pi/2: u = 0.5 - sqrt(2) * 0.312.
    EXPECT_NEAR(v[0].u, 0.5 - std::sqrt(2.0) * 0.312, 1e-6);
    EXPECT_NEAR(v[0].v, 0.5, 1e-6);
    // The strip is 4.0 wide and 5.8 high.
    EXPECT_NEAR(v.back().x - v[0].x, 4.0, 1e-4);
    EXPECT_NEAR(v.back().y - v[0].y, 5.8, 1e-4);
}

TEST(SphereTexCoord, NadirHorizonAndCap) {
    const auto nadir = SphereTexCoord(0, -200, 0);
    EXPECT_FLOAT_EQ(nadir[0], 0.5f);
    EXPECT_FLOAT_EQ(nadir[1], 0.5f);
    // The horizon lies at radius 0.286 * sqrt(2) round the centre.
    const auto front = SphereTexCoord(0, 0, -200);
    EXPECT_NEAR(front[0], 0.5, 1e-6);
    EXPECT_NEAR(front[1], 0.5 - 0.286 * std::sqrt(2.0), 1e-6);
    const auto zenith = SphereTexCoord(0, 200, 0);
    EXPECT_FLOAT_EQ(zenith[0], 0.01f);
    EXPECT_FLOAT_EQ(zenith[1], 0.01f);
    // Exactly at the cap limit nothing is clamped; just above it is.
    const float limit =
        static_cast<float>(200.0 * std::cos(static_cast<double>(1.0122909545898438f)));
    EXPECT_NEAR(limit, 105.98, 0.01);
    const float side = std::sqrt(200.0f * 200.0f - limit * limit);
    const auto at = SphereTexCoord(side, limit, 0);
    EXPECT_NE(at[0], 0.01f);
    EXPECT_NE(at[0], 0.99999f);
    const auto above = SphereTexCoord(-side * 0.99f, std::nextafter(limit, 300.0f), 0);
    EXPECT_FLOAT_EQ(above[0], 0.99999f);
    EXPECT_FLOAT_EQ(above[1], 0.01f);
}

TEST(Sphere, MeshHasPolesAndClosedRings) {
    const SphereMesh m = BuildSphere();
    EXPECT_EQ(m.indices.size(), 128u * 128u * 6u);
    EXPECT_FLOAT_EQ(m.vertices.front().y, 200.0f);
    EXPECT_FLOAT_EQ(m.vertices.back().y, -200.0f);
    EXPECT_FLOAT_EQ(m.vertices.back().u, 0.5f);
    for (const SphereVertex& v : m.vertices) {
        EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 200.0f, 1e-3);
    }
}

TEST(Cameras, LookAtAndPerspectiveAsLeftHandedRowVectorMatrices) {
    // Looking from +z towards the origin, the world's -x is on the right of the screen.
    const Mat4 view = LookAtLH({0, 0, 0.1f}, {0, 0, 0}, {0, 0.1f, 0});
    const auto right = Transform({-1, 0, -1, 1}, view);
    EXPECT_GT(right[0], 0.0f);
    const auto ahead = Transform({0, 0, -1, 1}, view);
    EXPECT_NEAR(ahead[2], 1.1f, 1e-6);
    const Mat4 proj = PerspectiveFovLH(FieldOfViewY(1.0f), 1.0f, 0.01f, 1000.0f);
    // 60 degrees vertical: a point at 30 degrees up lands on the top edge.
    const auto top = Transform({0, std::tan(30.0f * 0.01745329f), 1, 1}, proj);
    EXPECT_NEAR(top[1] / top[3], 1.0, 1e-5);
    EXPECT_NEAR(FieldOfViewY(2.0f), 30.0f * 0.01745329f, 1e-7);
}

TEST(Orientation, QuaternionMatrixAndTrackball) {
    SphereOrientation o;
    TrackballRotate(o, 0, 0);  // zero length: unchanged
    EXPECT_EQ(o.current, (std::array<double, 4>{1, 0, 0, 0}));
    // rx = 0.25: a quarter turn about the y axis.
    TrackballRotate(o, 0.25, 0);
    EXPECT_NEAR(o.current[0], std::cos(M_PI / 4), 1e-12);
    EXPECT_NEAR(o.current[2], std::sin(M_PI / 4), 1e-12);
    EXPECT_EQ(o.base, (std::array<double, 4>{1, 0, 0, 0}));  // base untouched
    // Row 0 of the matrix is (1 - 2(y^2 + z^2), 2(wz + xy), 2(xz - wy), 0).
    EXPECT_NEAR(o.matrix[0], 0.0, 1e-12);
    EXPECT_NEAR(o.matrix[2], -1.0, 1e-12);
    EXPECT_TRUE(IsOrientationAllowed(o));
    // A horizon point may not come within 45 degrees of straight behind (z below cos 135
    // of its 0.707 length): a turn of exactly 45 degrees puts a diagonal there.
    SphereOrientation diagonal;
    TrackballRotate(diagonal, 0.125, 0);
    EXPECT_FALSE(IsOrientationAllowed(diagonal));
    SphereOrientation near;
    TrackballRotate(near, 0.12, 0);
    EXPECT_TRUE(IsOrientationAllowed(near));
    SphereOrientation pitched;
    TrackballRotate(pitched, 0, 0.25);
    EXPECT_TRUE(IsOrientationAllowed(pitched));
    ResetOrientation(pitched);
    EXPECT_EQ(pitched.matrix[5], 1.0);
}

TEST(Orientation, DragVectorRotation) {
    const auto q0 = RotateDragVector(3, 4, 0);
    EXPECT_DOUBLE_EQ(q0[0], 3);
    EXPECT_DOUBLE_EQ(q0[1], -4);
    const auto q90 = RotateDragVector(3, 4, 90);
    EXPECT_NEAR(q90[0], 4, 1e-6);
    EXPECT_NEAR(q90[1], 3, 1e-6);
}

}  // namespace
}  // namespace tavrilo
