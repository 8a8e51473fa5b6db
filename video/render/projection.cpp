#include "video/render/projection.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace tavrilo {
namespace {

constexpr float kDegToRad = 0.01745329f;

Vec3f Sub(Vec3f a, Vec3f b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3f Cross(Vec3f a, Vec3f b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(Vec3f a, Vec3f b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3f Normalize(Vec3f a) {
    const float len = std::sqrt(Dot(a, a));
    return len > 0 ? Vec3f{a.x / len, a.y / len, a.z / len} : a;
}

// Six vertices per cell, rows bottom to top, cells left to right.
template <typename Coord>
void AddCell(std::vector<ScreenVertex>& out, float x, float y, float x1, float y1, Coord coord) {
    for (auto [vx, vy] : {std::pair{x, y}, {x1, y}, {x, y1}, {x, y1}, {x1, y}, {x1, y1}}) {
        const auto [u, v] = coord(vx, vy);
        out.push_back({vx, vy, 0.0f, 0xFFFFFFFFu, u, v});
    }
}

}  // namespace

Mat4 Identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k) {
                s += a[i * 4 + k] * b[k * 4 + j];
            }
            r[i * 4 + j] = s;
        }
    }
    return r;
}

std::array<float, 4> Transform(const std::array<float, 4>& v, const Mat4& m) {
    std::array<float, 4> r{};
    for (int j = 0; j < 4; ++j) {
        r[j] = v[0] * m[j] + v[1] * m[4 + j] + v[2] * m[8 + j] + v[3] * m[12 + j];
    }
    return r;
}

Mat4 LookAtLH(Vec3f eye, Vec3f at, Vec3f up) {
    const Vec3f z = Normalize(Sub(at, eye));
    const Vec3f x = Normalize(Cross(up, z));
    const Vec3f y = Cross(z, x);
    return {x.x, y.x, z.x, 0, x.y,          y.y,          z.y,          0,
            x.z, y.z, z.z, 0, -Dot(x, eye), -Dot(y, eye), -Dot(z, eye), 1};
}

Mat4 PerspectiveFovLH(float fovY, float aspect, float zn, float zf) {
    const float yScale = 1.0f / std::tan(fovY / 2);
    const float xScale = yScale / aspect;
    return {xScale, 0, 0, 0, 0, yScale, 0, 0, 0, 0, zf / (zf - zn), 1, 0, 0, -zn * zf / (zf - zn),
            0};
}

float FieldOfViewY(float zoom) {
    return (60.0f / zoom) * kDegToRad;
}

void UpdateMatrixFromQuaternion(SphereOrientation& o) {
    const auto [w, x, y, z] = o.current;
    o.matrix = {1 - 2 * (y * y + z * z),
                2 * (w * z + x * y),
                2 * (x * z - w * y),
                0,
                2 * (x * y - w * z),
                1 - 2 * (z * z + x * x),
                2 * (w * x + y * z),
                0,
                2 * (w * y + x * z),
                2 * (y * z - w * x),
                1 - 2 * (x * x + y * y),
                0,
                0,
                0,
                0,
                1};
}

void ResetOrientation(SphereOrientation& o) {
    o = SphereOrientation{};
}

void TrackballRotate(SphereOrientation& o, double rx, double ry) {
    const double len = std::sqrt(rx * rx + ry * ry);
    if (len == 0) {
        return;
    }
    const double a = len * 2 * M_PI * 0.5;
    const double k = std::sin(a) / len;
    const double pw = std::cos(a), px = k * ry, py = k * rx, pz = 0;
    const auto [bw, bx, by, bz] = o.base;
    o.current = {pw * bw - px * bx - py * by - pz * bz, pw * bx + px * bw + py * bz - pz * by,
                 pw * by - px * bz + py * bw + pz * bx, pw * bz + px * by - py * bx + pz * bw};
    UpdateMatrixFromQuaternion(o);
}

std::array<double, 2> RotateDragVector(double dx, double dy, int degrees) {
    const double c = std::cos(degrees * 0.01745329);
    const double s = std::sin(degrees * 0.01745329);
    return {dx * c + dy * s, dx * s - dy * c};
}

Mat4 WorldFromOrientation(const SphereOrientation& o) {
    Mat4 m{};
    for (size_t i = 0; i < 16; ++i) {
        m[i] = static_cast<float>(o.matrix[i]);
    }
    return m;
}

bool IsOrientationAllowed(const SphereOrientation& o) {
    static constexpr std::array<std::array<float, 4>, 8> kHorizon = {{{-0.5f, 0, -0.5f, 0},
                                                                      {-0.5f, 0, 0.5f, 0},
                                                                      {0.5f, 0, -0.5f, 0},
                                                                      {0.5f, 0, 0.5f, 0},
                                                                      {0, 0, -0.5f, 0},
                                                                      {0, 0, 0.5f, 0},
                                                                      {-0.5f, 0, 0, 0},
                                                                      {0.5f, 0, 0, 0}}};
    const Mat4 m = WorldFromOrientation(o);
    float lowest = 10.0f;
    for (const auto& v : kHorizon) {
        lowest = std::min(lowest, Transform(v, m)[2]);
    }
    return lowest > -0.70710677f;
}

std::vector<ScreenVertex> BuildFlatScreen(float cx, float cy, float a, int cells) {
    std::vector<ScreenVertex> out;
    cells = std::max(cells, 1);
    out.reserve(static_cast<size_t>(cells * cells * 6));
    const float x0 = cx - a * 0.5f;
    const float y0 = cy - 0.5f;
    const float ch = 1.0f / static_cast<float>(cells);  // 0.0625 for 16 cells
    const float cw = a * ch;
    auto coord = [x0, y0, a](float vx, float vy) {
        return std::pair{1 - ((vx - x0) / (a * 0.5f)) * 0.5f, 1 - ((vy - y0) * 2) * 0.5f};
    };
    for (int r = 0; r < cells; ++r) {
        const float y = r * ch + y0;
        for (int c = 0; c < cells; ++c) {
            const float x = c * cw + x0;
            AddCell(out, x, y, x + cw, y + ch, coord);
        }
    }
    return out;
}

IndexedScreenMesh IndexTriangles(const std::vector<ScreenVertex>& list) {
    // Vertices are the same when all their bits are: the triangles keep every float they had.
    using Bits = std::array<uint32_t, sizeof(ScreenVertex) / 4>;
    struct Hash {
        size_t operator()(const Bits& b) const {
            size_t h = 0;
            for (const uint32_t w : b) {
                h = h * 0x9E3779B97F4A7C15ull + w;
            }
            return h;
        }
    };
    IndexedScreenMesh mesh;
    std::unordered_map<Bits, uint32_t, Hash> seen;
    mesh.indices.reserve(list.size());
    for (const ScreenVertex& v : list) {
        Bits bits;
        std::memcpy(bits.data(), &v, sizeof v);
        const auto [at, added] =
            seen.try_emplace(bits, static_cast<uint32_t>(mesh.vertices.size()));
        if (added) {
            mesh.vertices.push_back(v);
        }
        mesh.indices.push_back(at->second);
    }
    return mesh;
}

std::vector<ScreenVertex> BuildPanoramaStrip(float cx, float cy) {
    std::vector<ScreenVertex> out;
    out.reserve(kPanoramaCells * kPanoramaCells * 6);
    const float x0 = cx - 2.0f;
    const float y0 = cy - 2.9f + 0.39f;
    const float cw = 0.0416666679f;
    const float ch = 0.0604166687f;
    auto coord = [x0, y0](float vx, float vy) {
        const float angle = ((vy - y0) * -157.0f) / 100.0f;
        const double s = std::sin(static_cast<double>(angle));
        const double r = std::sqrt(2 * (s + 1));
        const double phi = static_cast<double>(((vx - x0) * 157.0f) / 100.0f - 1.5707964f);
        return std::pair{static_cast<float>(r * std::sin(phi) * 0.312 + 0.5),
                         static_cast<float>(r * std::cos(phi) * 0.312 + 0.5)};
    };
    for (int r = 0; r < kPanoramaCells; ++r) {
        const float y = r * ch + y0;
        for (int c = 0; c < kPanoramaCells; ++c) {
            const float x = c * cw + x0;
            AddCell(out, x, y, x + cw, y + ch, coord);
        }
    }
    return out;
}

std::array<float, 2> SphereTexCoord(float x, float y, float z) {
    // 58 degrees as the float 1.0122909545898438, cosine in double.
    static const float limit =
        static_cast<float>(200.0 * std::cos(static_cast<double>(1.0122909545898438f)));
    float u, v;
    if (x * x + z * z == 0.0f) {
        // On the axis the formula divides 0 by 0: the nadir is the texture's centre, the zenith
        // lies in the clamped cap.
        u = v = y < 0 ? 0.5f : 0.0f;
    } else {
        const float s = std::sqrt(((y + 200.0f) * 400.0f) / (x * x + z * z));
        u = 0.5f - (x / 200.0f) * s * 0.286f;
        v = (z / 200.0f) * s * 0.286f + 0.5f;
    }
    if (y > limit) {
        u = u > 0.5f ? 0.99999f : 0.01f;
        v = v > 0.5f ? 0.99999f : 0.01f;
    }
    return {u, v};
}

SphereMesh BuildSphere() {
    SphereMesh mesh;
    // Rings from the zenith (+y) to the nadir (-y); each ring repeats its first vertex at the
    // end so texture coordinates never wrap inside a triangle.
    for (int stack = 0; stack <= kSphereStacks; ++stack) {
        const double polar = M_PI * stack / kSphereStacks;
        for (int slice = 0; slice <= kSphereSlices; ++slice) {
            const double azimuth = 2 * M_PI * slice / kSphereSlices;
            float x = static_cast<float>(kSphereRadius * std::sin(polar) * std::cos(azimuth));
            float y = static_cast<float>(kSphereRadius * std::cos(polar));
            float z = static_cast<float>(kSphereRadius * std::sin(polar) * std::sin(azimuth));
            if (stack == 0 || stack == kSphereStacks) {
                x = z = 0;  // exact poles
            }
            const auto [u, v] = SphereTexCoord(x, y, z);
            mesh.vertices.push_back({x, y, z, u, v});
        }
    }
    const uint32_t ring = kSphereSlices + 1;
    for (uint32_t stack = 0; stack < kSphereStacks; ++stack) {
        for (uint32_t slice = 0; slice < kSphereSlices; ++slice) {
            const uint32_t a = stack * ring + slice, b = a + 1, c = a + ring, d = c + 1;
            mesh.indices.insert(mesh.indices.end(), {a, c, b, b, c, d});
        }
    }
    return mesh;
}

}  // namespace tavrilo
