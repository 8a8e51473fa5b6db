#include "tools/gen/street_scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numbers>
#include <thread>

#include "tools/gen/frame_strip.h"
#include "tools/gen/glyphs.h"
#include "tools/gen/lens.h"
#include "tools/gen/route.h"

namespace tavrilo::gen {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr double kEyeHeight = 1.35;  // metres above the road
constexpr int kBins = 2048;          // azimuth bins of the look around
constexpr double kFar = 420.0;       // metres; nothing is drawn beyond
constexpr double kDetail = 70.0;     // metres; road texture and windows end here
constexpr double kStorey = 3.2;      // metres
constexpr double kWindowPitch = 3.0;
// The road repeats from block to block, so it is drawn once into textures of one block
// (coarser ones for farther away, where thin lines would only flicker) and looked up.
constexpr std::array<int, 3> kGroundTexels = {2048, 512, 128};       // per block, each way
constexpr std::array<double, 3> kGroundReach = {22.0, 70.0, 200.0};  // metres each level serves
constexpr uint8_t kGroundFar = 3;                                    // beyond: plain road colour
constexpr double kWrapOffset = 64 * StreetGrid::kBlockPitch;         // keeps texel numbers positive
constexpr int kWindowCells = 64;  // the window pattern of one storey and window pitch

constexpr double kPitch = StreetGrid::kBlockPitch;
constexpr double kRoad = StreetGrid::kRoadHalfWidth;
constexpr double kStreet = StreetGrid::kStreetHalfWidth;

struct Rgb {
    uint8_t r, g, b;
};

// The palette. Façades come in lit and shaded variants, the sky in bands of elevation.
enum Colour : uint8_t {
    kBlack,
    kWhite,
    kBody,
    kBodyShine,
    kMarkInk,
    kAsphalt,
    kAsphaltPatch,
    kAsphaltFar,
    kLine,
    kKerb,
    kWalk,
    kWalkTile,
    kWindow,
    kShopGlass,
    kShopSign,
    kFacade,  // kFacadeCount lit colours, then as many shaded
};
constexpr std::array<Rgb, 6> kFacades = {{{196, 170, 140},
                                          {168, 92, 72},
                                          {204, 204, 198},
                                          {122, 134, 146},
                                          {222, 212, 182},
                                          {150, 162, 150}}};
constexpr int kFacadeCount = static_cast<int>(kFacades.size());
constexpr int kSky = kFacade + 2 * kFacadeCount;
constexpr int kSkyBands = 32;
constexpr double kSkyTop = 32.0;  // degrees: the lens sees a little less above the horizon

constexpr std::array<Rgb, kFacade> kFixedColours = {{{0, 0, 0},
                                                     {255, 255, 255},
                                                     {40, 44, 52},
                                                     {96, 102, 114},
                                                     {205, 205, 205},
                                                     {94, 94, 98},
                                                     {80, 80, 85},
                                                     {122, 122, 128},
                                                     {232, 232, 226},
                                                     {176, 174, 166},
                                                     {152, 148, 140},
                                                     {138, 134, 128},
                                                     {58, 74, 96},
                                                     {40, 56, 72},
                                                     {186, 48, 44}}};

// The small direction marks on the car: FRONT on the hood, the others on the roof's edge.
constexpr std::array<SphereLabel, 4> kMarks = {{{"FRONT", 0, -34.0, 0.8, 0.9},
                                                {"RIGHT", 90, -56.0, 0.8, 0.9},
                                                {"BACK", 180, -56.0, 0.8, 0.9},
                                                {"LEFT", 270, -56.0, 0.8, 0.9}}};

// Elevation of the edge of the car's body: the hood reaches higher ahead.
double BodyEdge(double az) {
    const double off = std::abs(AzimuthDeltaDeg(az, 0)) / 60.0;
    return -52.0 + 22.0 * std::max(0.0, 1.0 - off * off);
}

uint8_t FixedColour(double az, double el) {
    for (const SphereLabel& m : kMarks) {
        if (OnSphereLabel(m, az, el)) {
            return kMarkInk;
        }
    }
    return el > BodyEdge(az) - 2.5 ? kBodyShine : kBody;
}

uint32_t Hash(int32_t a, int32_t b, int32_t c = 0, int32_t d = 0) {
    uint32_t h = static_cast<uint32_t>(a) * 73856093u ^ static_cast<uint32_t>(b) * 19349663u ^
                 static_cast<uint32_t>(c) * 83492791u ^ static_cast<uint32_t>(d) * 2654435761u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

// x - floor(x / m) * m: in [0, m) for negative x too.
double Wrap(double x, double m) {
    return x - std::floor(x / m) * m;
}

// Paint on a road: `across` metres from its centre line (signed), `along` metres along it,
// `crossing` metres from the centre line of the street that crosses it next (signed).
uint8_t RoadColour(double across, double along, double crossing, double distance) {
    const double a = std::abs(across);
    const double c = std::abs(crossing);
    if (c > kRoad + 0.6 && c < kStreet - 0.1 && a < kRoad - 0.4) {
        return static_cast<int>(std::floor((across + kRoad) / 0.9)) % 2 ? kLine : kAsphalt;
    }
    if (c > kStreet + 1.0 && c < kStreet + 1.45 && a < kRoad - 0.5 && across * crossing > 0) {
        return kLine;  // the stop line, across the lane that comes up to the crossing
    }
    if (c > kStreet + 1.0) {
        if (a < 0.08 && Wrap(along, 10.0) < 5.0) {
            return kLine;  // the dashed centre line
        }
        if (a > kRoad - 0.65 && a < kRoad - 0.5) {
            return kLine;  // the edge lines
        }
    }
    if (distance < kDetail && Hash(static_cast<int>(std::floor(along / 2.5)),
                                   static_cast<int>(std::floor(across / 1.5))) %
                                      7 ==
                                  0) {
        return kAsphaltPatch;
    }
    return kAsphalt;
}

// The road, kerbs and pavements at a point of the grid, as seen from `distance` metres.
uint8_t GroundPattern(double wx, double wy, double distance) {
    const double sx = Wrap(wx + kPitch / 2, kPitch) - kPitch / 2;  // from the nearest N-S street
    const double sy = Wrap(wy + kPitch / 2, kPitch) - kPitch / 2;  // from the nearest E-W street
    const double ax = std::abs(sx), ay = std::abs(sy);
    if (ax < kRoad && ay < kRoad) {
        return kAsphalt;  // the crossing itself
    }
    if (ax < kRoad) {
        return RoadColour(sx, wy, sy, distance);
    }
    if (ay < kRoad) {
        return RoadColour(sy, wx, sx, distance);
    }
    if ((ax < kRoad + 0.25 && ay > kRoad) || (ay < kRoad + 0.25 && ax > kRoad)) {
        return kKerb;
    }
    if (distance < kDetail / 2 &&
        (static_cast<int>(std::floor(wx * 2)) + static_cast<int>(std::floor(wy * 2))) % 2) {
        return kWalkTile;
    }
    return kWalk;
}

}  // namespace

StreetScene::StreetScene(int size)
    : size_(size), sights_(kBins), colours_(static_cast<size_t>(size) * size, kBlack) {
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const uint32_t pixel = static_cast<uint32_t>(py * size + px);
            const double u = (px + 0.5) / size;
            const double v = (py + 0.5) / size;
            const auto dir =
                std::hypot(u - 0.5, v - 0.5) <= 0.5 ? DirectionAtTexel(u, v) : std::nullopt;
            if (!dir) {
                continue;  // outside the image circle: black
            }
            const double az = AzimuthDeg(*dir);
            const double el = ElevationDeg(*dir);
            Ray ray;
            ray.pixel = pixel;
            ray.bin = static_cast<uint16_t>(static_cast<int>(az / 360.0 * kBins) % kBins);
            if (el < BodyEdge(az)) {
                colours_[pixel] = FixedColour(az, el);  // the car's own: never changes
            } else if (el < 0) {
                const double d = std::min(kEyeHeight / std::tan(-el * kDeg), 4 * kFar);
                ray.a = static_cast<float>(d * std::cos(az * kDeg));
                ray.b = static_cast<float>(d * std::sin(az * kDeg));
                ray.colour = kGroundFar;  // here: which ground texture, or none
                for (size_t level = kGroundReach.size(); level-- > 0;) {
                    if (d < kGroundReach[level]) {
                        ray.colour = static_cast<uint8_t>(level);
                    }
                }
                groundRays_.push_back(ray);
            } else {
                ray.a = static_cast<float>(std::tan(el * kDeg));
                ray.colour = static_cast<uint8_t>(
                    kSky + std::min(kSkyBands - 1, static_cast<int>(el / kSkyTop * kSkyBands)));
                aboveRays_.push_back(ray);
            }
        }
    }
    for (size_t level = 0; level < kGroundTexels.size(); ++level) {
        const int n = kGroundTexels[level];
        std::vector<uint8_t>& texture = ground_[level];
        texture.resize(static_cast<size_t>(n) * n);
        for (int ty = 0; ty < n; ++ty) {
            for (int tx = 0; tx < n; ++tx) {
                texture[static_cast<size_t>(ty) * n + tx] =
                    GroundPattern((tx + 0.5) * kPitch / n, (ty + 0.5) * kPitch / n,
                                  level == 0 ? 0.0 : kGroundReach[level - 1]);
            }
        }
    }
    windows_.resize(kWindowCells * kWindowCells);
    for (int up = 0; up < kWindowCells; ++up) {
        for (int across = 0; across < kWindowCells; ++across) {
            const double h = (up + 0.5) * kStorey / kWindowCells;
            const double a = (across + 0.5) * kWindowPitch / kWindowCells;
            windows_[static_cast<size_t>(up * kWindowCells + across)] =
                h > 1.0 && h < 2.4 && a > 0.7 && a < 2.3;
        }
    }
    // The palette in video-range YUV (BT.601), as the encoder expects it.
    std::array<Rgb, 256> palette{};
    std::copy(kFixedColours.begin(), kFixedColours.end(), palette.begin());
    for (int f = 0; f < kFacadeCount; ++f) {
        const Rgb lit = kFacades[static_cast<size_t>(f)];
        palette[static_cast<size_t>(kFacade + f)] = lit;
        auto shade = [](uint8_t c) { return static_cast<uint8_t>(c * 0.7); };
        palette[static_cast<size_t>(kFacade + kFacadeCount + f)] = {shade(lit.r), shade(lit.g),
                                                                    shade(lit.b)};
    }
    for (int s = 0; s < kSkyBands; ++s) {
        const double t = static_cast<double>(s) / (kSkyBands - 1);
        auto mix = [t](int low, int high) { return static_cast<uint8_t>(low + (high - low) * t); };
        palette[static_cast<size_t>(kSky + s)] = {mix(208, 92), mix(222, 148), mix(236, 218)};
    }
    uint8_t lutU[256], lutV[256];
    for (size_t i = 0; i < palette.size(); ++i) {
        const double r = palette[i].r, g = palette[i].g, b = palette[i].b;
        lutY_[i] =
            static_cast<uint8_t>(std::lround(16 + (65.738 * r + 129.057 * g + 25.064 * b) / 256));
        lutU[i] =
            static_cast<uint8_t>(std::lround(128 + (-37.945 * r - 74.494 * g + 112.439 * b) / 256));
        lutV[i] =
            static_cast<uint8_t>(std::lround(128 + (112.439 * r - 94.154 * g - 18.285 * b) / 256));
    }
    // Chroma is the mean of a 2 x 2 block: the sums of U and of V for a pair of neighbours,
    // packed in one word, halve the lookups.
    chromaPairs_.resize(65536);
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t b = 0; b < 256; ++b) {
            chromaPairs_[a << 8 | b] = (uint32_t{lutU[a]} + lutU[b]) | (uint32_t{lutV[a]} + lutV[b])
                                                                           << 16;
        }
    }
}

void StreetScene::LookAround(const DrivePose& pose) {
    for (int bin = 0; bin < kBins; ++bin) {
        Sight& sight = sights_[static_cast<size_t>(bin)];
        sight = Sight{static_cast<float>(1e9), -1e9f, 0, 0, 0};
        const double az = (pose.headingDeg + (bin + 0.5) * 360.0 / kBins) * kDeg;
        const double dx = std::sin(az), dy = std::cos(az);
        // Walk the blocks the sight passes, nearest first, until one is hit (grid traversal).
        int cx = static_cast<int>(std::floor(pose.x / kPitch));
        int cy = static_cast<int>(std::floor(pose.y / kPitch));
        const int stepX = dx > 0 ? 1 : -1, stepY = dy > 0 ? 1 : -1;
        const double inf = 1e30;
        const double deltaX = std::abs(dx) > 1e-12 ? kPitch / std::abs(dx) : inf;
        const double deltaY = std::abs(dy) > 1e-12 ? kPitch / std::abs(dy) : inf;
        double nextX =
            std::abs(dx) > 1e-12 ? ((dx > 0 ? (cx + 1) * kPitch : cx * kPitch) - pose.x) / dx : inf;
        double nextY =
            std::abs(dy) > 1e-12 ? ((dy > 0 ? (cy + 1) * kPitch : cy * kPitch) - pose.y) / dy : inf;
        for (double reached = 0; reached < kFar;) {
            const double x0 = cx * kPitch + kStreet, x1 = (cx + 1) * kPitch - kStreet;
            const double y0 = cy * kPitch + kStreet, y1 = (cy + 1) * kPitch - kStreet;
            const double tx0 = std::abs(dx) > 1e-12 ? (x0 - pose.x) / dx : -inf;
            const double tx1 = std::abs(dx) > 1e-12 ? (x1 - pose.x) / dx : inf;
            const double ty0 = std::abs(dy) > 1e-12 ? (y0 - pose.y) / dy : -inf;
            const double ty1 = std::abs(dy) > 1e-12 ? (y1 - pose.y) / dy : inf;
            const bool insideX = std::abs(dx) > 1e-12 || (pose.x > x0 && pose.x < x1);
            const bool insideY = std::abs(dy) > 1e-12 || (pose.y > y0 && pose.y < y1);
            const double enterX = std::min(tx0, tx1), enterY = std::min(ty0, ty1);
            const double enter = std::max(enterX, enterY);
            const double leave = std::min(std::max(tx0, tx1), std::max(ty0, ty1));
            if (insideX && insideY && enter <= leave && enter > 0 && enter < kFar) {
                // Which front: one facing east or west (along y), or north or south.
                const bool ewFront = enterX > enterY;
                const int face = ewFront ? (dx > 0 ? 0 : 1) : (dy > 0 ? 2 : 3);
                const double along = ewFront ? pose.y + enter * dy - y0 : pose.x + enter * dx - x0;
                const double lotWidth = 12.0 + 4.0 * (Hash(cx, cy) % 4);
                const uint32_t lot = Hash(cx, cy, face, static_cast<int>(along / lotWidth));
                const double height = 7.0 + 3.5 * (lot % 9);
                // The sun stands in the south-east: fronts facing west or north are in shade.
                const bool shaded = face == 0 || face == 2;
                sight.distance = static_cast<float>(enter);
                sight.tanTop = static_cast<float>((height - kEyeHeight) / enter);
                sight.along = static_cast<float>(along);
                sight.facade = static_cast<uint8_t>(kFacade + (lot >> 8) % kFacadeCount +
                                                    (shaded ? kFacadeCount : 0));
                const uint32_t shop = (lot >> 12) % 3;
                sight.shopFront = shop == 0   ? uint8_t{kShopGlass}
                                  : shop == 1 ? uint8_t{kShopSign}
                                              : sight.facade;
                break;
            }
            if (nextX < nextY) {
                reached = nextX;
                nextX += deltaX;
                cx += stepX;
            } else {
                reached = nextY;
                nextY += deltaY;
                cy += stepY;
            }
        }
    }
}

uint8_t StreetScene::BuildingColour(const Sight& sight, double height, double distance) const {
    if (height < 3.0) {
        return height > 2.4 ? sight.facade : sight.shopFront;
    }
    if (distance < kDetail * 2) {
        const int across = static_cast<int>(sight.along * (kWindowCells / kWindowPitch));
        const int up = static_cast<int>(height * (kWindowCells / kStorey));
        if (windows_[static_cast<size_t>((up & (kWindowCells - 1)) * kWindowCells +
                                         (across & (kWindowCells - 1)))]) {
            return kWindow;
        }
    }
    return sight.facade;
}

void StreetScene::DrawRays(const DrivePose& pose, int part, int parts) {
    const float sinH = static_cast<float>(std::sin(pose.headingDeg * kDeg));
    const float cosH = static_cast<float>(std::cos(pose.headingDeg * kDeg));
    // Single precision is plenty: a few kilometres from the origin it still resolves 1 mm.
    const float x0 = static_cast<float>(pose.x + kWrapOffset);
    const float y0 = static_cast<float>(pose.y + kWrapOffset);
    auto range = [part, parts](const std::vector<Ray>& rays) {
        return std::make_pair(rays.size() * part / parts, rays.size() * (part + 1) / parts);
    };
    const auto [aboveBegin, aboveEnd] = range(aboveRays_);
    for (size_t i = aboveBegin; i < aboveEnd; ++i) {
        const Ray& ray = aboveRays_[i];
        const Sight& sight = sights_[ray.bin];
        colours_[ray.pixel] =
            ray.a < sight.tanTop
                ? BuildingColour(sight, kEyeHeight + sight.distance * ray.a, sight.distance)
                : ray.colour;
    }
    const auto [groundBegin, groundEnd] = range(groundRays_);
    for (size_t i = groundBegin; i < groundEnd; ++i) {
        const Ray& ray = groundRays_[i];
        const Sight& sight = sights_[ray.bin];
        const float d2 = ray.a * ray.a + ray.b * ray.b;
        uint8_t colour;
        if (d2 > sight.distance * sight.distance) {
            // The sight meets a building below eye level.
            const double d = std::sqrt(d2);
            colour = BuildingColour(sight, kEyeHeight * (1.0 - sight.distance / d), sight.distance);
        } else if (ray.colour == kGroundFar) {
            colour = kAsphaltFar;
        } else {
            const int n = kGroundTexels[ray.colour];
            const float scale = static_cast<float>(n / kPitch);
            const float wx = x0 + ray.a * sinH + ray.b * cosH;
            const float wy = y0 + ray.a * cosH - ray.b * sinH;
            const int tx = static_cast<int>(wx * scale) & (n - 1);
            const int ty = static_cast<int>(wy * scale) & (n - 1);
            colour = ground_[ray.colour][static_cast<size_t>(ty) * n + tx];
        }
        colours_[ray.pixel] = colour;
    }
}

void StreetScene::ConvertRows(const YuvFrame& out, int part, int parts) const {
    const uint8_t* lutY = lutY_;
    const uint32_t* chromaPairs = chromaPairs_.data();
    // Whole pairs of rows, so that each part owns its chroma rows.
    const int pairs = size_ / 2;
    for (int y = pairs * part / parts; y < pairs * (part + 1) / parts; ++y) {
        const uint8_t* __restrict top = &colours_[static_cast<size_t>(2 * y) * size_];
        const uint8_t* __restrict bottom = top + size_;
        uint8_t* __restrict lumaTop =
            out.planes[0] + static_cast<ptrdiff_t>(2 * y) * out.strides[0];
        uint8_t* __restrict lumaBottom = lumaTop + out.strides[0];
        uint8_t* __restrict u = out.planes[1] + static_cast<ptrdiff_t>(y) * out.strides[1];
        uint8_t* __restrict v = out.planes[2] + static_cast<ptrdiff_t>(y) * out.strides[2];
        for (int x = 0; x < size_; ++x) {
            lumaTop[x] = lutY[top[x]];
            lumaBottom[x] = lutY[bottom[x]];
        }
        for (int x = 0; x < size_ / 2; ++x) {
            const uint32_t sum = chromaPairs[top[2 * x] << 8 | top[2 * x + 1]] +
                                 chromaPairs[bottom[2 * x] << 8 | bottom[2 * x + 1]];
            u[x] = static_cast<uint8_t>(((sum & 0xFFFF) + 2) / 4);
            v[x] = static_cast<uint8_t>(((sum >> 16) + 2) / 4);
        }
    }
}

void StreetScene::Render(const DrivePose& pose, uint32_t index, const YuvFrame& out) {
    // Two halves at once: every pixel depends only on the pose, so the split changes nothing
    // in the picture.
    auto inHalves = [](const std::function<void(int)>& work) {
        std::thread other(work, 1);
        work(0);
        other.join();
    };
    const bool moved =
        !drawn_ || pose.x != last_.x || pose.y != last_.y || pose.headingDeg != last_.headingDeg;
    if (moved) {
        LookAround(pose);
        inHalves([&](int part) { DrawRays(pose, part, 2); });
        drawn_ = true;
        last_ = pose;
    }
    DrawFrameStripBytes(colours_.data(), size_, size_, size_, index, kBlack, kWhite);
    inHalves([&](int part) { ConvertRows(out, part, 2); });
}

DrivePose StreetScene::PoseAt(const std::vector<DrivePose>& poses, double seconds) {
    if (poses.empty()) {
        return {};
    }
    const double at = std::max(0.0, seconds * 10.0);
    const size_t k = std::min(static_cast<size_t>(at), poses.size() - 1);
    const size_t next = std::min(k + 1, poses.size() - 1);
    const double f = std::min(1.0, at - static_cast<double>(k));
    const DrivePose& a = poses[k];
    const DrivePose& b = poses[next];
    if (f == 0.0 || k == next) {
        return a;
    }
    return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f,
            a.headingDeg + AzimuthDeltaDeg(b.headingDeg, a.headingDeg) * f};
}

}  // namespace tavrilo::gen
