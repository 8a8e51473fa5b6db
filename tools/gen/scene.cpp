#include "tools/gen/scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string_view>

#include "tools/gen/frame_strip.h"
#include "tools/gen/glyphs.h"
#include "tools/gen/lens.h"

namespace tavrilo::gen {
namespace {

struct Rgb {
    uint8_t r, g, b;
};

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr double kBallElevation = 8.0;
constexpr double kBallRadius = 5.0;
constexpr double kBallDegreesPerSecond = 45.0;

struct Panel {
    double azimuth;
    std::string_view text;
    Rgb colour;
    Rgb ink;
};

// Front, right, back, left, each a distinct colour with its name.
constexpr std::array<Panel, 4> kPanels = {{
    {0, "FRONT", {200, 40, 40}, {255, 255, 255}},
    {90, "RIGHT", {40, 170, 60}, {255, 255, 255}},
    {180, "BACK", {40, 70, 210}, {255, 255, 255}},
    {270, "LEFT", {225, 205, 40}, {20, 20, 20}},
}};
constexpr double kPanelHalfWidth = 25.0;
constexpr double kPanelBottom = -10.0;
constexpr double kPanelTop = 22.0;
constexpr double kUpZone = 24.0;
constexpr double kDownZone = -65.0;

struct Label {
    SphereLabel where;
    Rgb ink;
};

constexpr std::array<Label, 9> kLabels = {{
    {{"FRONT", 0, 20.0, 1.6, 2.6}, {255, 255, 255}},
    {{"RIGHT", 90, 20.0, 1.6, 2.6}, {255, 255, 255}},
    {{"BACK", 180, 20.0, 1.6, 2.6}, {255, 255, 255}},
    {{"LEFT", 270, 20.0, 1.6, 2.6}, {20, 20, 20}},
    {{"UP", 45, 31.5, 1.2, 1.0}, {20, 20, 20}},
    {{"UP", 135, 31.5, 1.2, 1.0}, {20, 20, 20}},
    {{"UP", 225, 31.5, 1.2, 1.0}, {20, 20, 20}},
    {{"UP", 315, 31.5, 1.2, 1.0}, {20, 20, 20}},
    {{"DOWN", 0, -30.0, 2.2, 2.6}, {255, 255, 255}},
}};

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    auto m = [t](uint8_t x, uint8_t y) { return static_cast<uint8_t>(x + (y - x) * t + 0.5); };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Rgb StillColour(double az, double el) {
    for (const Label& l : kLabels) {
        if (OnSphereLabel(l.where, az, el)) {
            return l.ink;
        }
    }
    Rgb c;
    if (el >= kUpZone) {
        c = {150, 235, 235};
    } else if (el >= 0) {
        c = Mix({175, 205, 235}, {60, 110, 200}, el / kUpZone);
    } else if (el > kDownZone) {
        c = Mix({120, 110, 90}, {70, 65, 55}, -el / -kDownZone);
    } else {
        c = {185, 60, 170};
    }
    if (el >= kPanelBottom && el <= kPanelTop) {
        for (const Panel& p : kPanels) {
            if (std::abs(AzimuthDeltaDeg(az, p.azimuth)) < kPanelHalfWidth) {
                c = p.colour;
            }
        }
    }
    const double gridWidth = 0.35;
    const double azLine =
        std::abs(AzimuthDeltaDeg(az, std::round(az / 15.0) * 15.0)) * std::cos(el * kDeg);
    const double elLine = std::abs(el - std::round(el / 10.0) * 10.0);
    if (std::abs(el) < 0.7) {
        c = {255, 255, 255};
    } else if ((azLine < gridWidth && el > kDownZone) || elLine < gridWidth) {
        c = {25, 25, 25};
    }
    return c;
}

}  // namespace

FisheyeScene::FisheyeScene(int width, int height)
    : width_(width),
      height_(height),
      still_(static_cast<size_t>(width) * height * 3),
      directions_(static_cast<size_t>(width) * height * 3, 0.0f) {
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            const size_t i = static_cast<size_t>(py) * width + px;
            const double u = (px + 0.5) / width;
            const double v = (py + 0.5) / height;
            // The image circle is the largest circle the frame holds; outside it the lens
            // sees nothing and the recorder's frames are black.
            const auto dir =
                std::hypot(u - 0.5, v - 0.5) <= 0.5 ? DirectionAtTexel(u, v) : std::nullopt;
            Rgb c{0, 0, 0};
            if (dir) {
                c = StillColour(AzimuthDeg(*dir), ElevationDeg(*dir));
                directions_[i * 3] = static_cast<float>(dir->x);
                directions_[i * 3 + 1] = static_cast<float>(dir->y);
                directions_[i * 3 + 2] = static_cast<float>(dir->z);
            }
            still_[i * 3] = c.r;
            still_[i * 3 + 1] = c.g;
            still_[i * 3 + 2] = c.b;
        }
    }
}

double FisheyeScene::BallAzimuthDeg(double seconds) {
    return std::fmod(seconds * kBallDegreesPerSecond, 360.0);
}

void FisheyeScene::Render(uint32_t index, double seconds, uint8_t* rgb) const {
    std::memcpy(rgb, still_.data(), still_.size());
    const Vec3 ball = DirectionFromAngles(BallAzimuthDeg(seconds), kBallElevation);
    const float bx = static_cast<float>(ball.x);
    const float by = static_cast<float>(ball.y);
    const float bz = static_cast<float>(ball.z);
    const float limit = static_cast<float>(std::cos(kBallRadius * kDeg));
    const size_t pixels = static_cast<size_t>(width_) * height_;
    for (size_t i = 0; i < pixels; ++i) {
        const float* d = &directions_[i * 3];
        if (d[0] * bx + d[1] * by + d[2] * bz > limit) {
            rgb[i * 3] = 255;
            rgb[i * 3 + 1] = 140;
            rgb[i * 3 + 2] = 0;
        }
    }
    DrawFrameStrip(rgb, width_ * 3, width_, height_, index);
}

}  // namespace tavrilo::gen
