// The sample card's drive through town: the route along the street grid, how the car moves on
// it (red lights, corners, a hard brake), and the street scene drawn from where the car is.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "tools/gen/drive.h"
#include "tools/gen/frame_strip.h"
#include "tools/gen/lens.h"
#include "tools/gen/route.h"
#include "tools/gen/street_scene.h"

namespace tavrilo::gen {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

// Distance to the nearest street centre line across the way the car is heading.
double LaneOffset(const RoutePose& p) {
    const double pitch = StreetGrid::kBlockPitch;
    const bool northSouth = std::abs(std::sin(p.headingDeg * kDeg)) < 0.5;
    const double across = northSouth ? p.x : p.y;
    const double centre = std::round(across / pitch) * pitch;
    // Positive when the centre line is on the car's right, as it is in the left lane.
    const double rightX = std::cos(p.headingDeg * kDeg), rightY = -std::sin(p.headingDeg * kDeg);
    return northSouth ? (centre - p.x) * rightX : (centre - p.y) * rightY;
}

TEST(TownRoute, ContinuousInTheLeftLaneWithItsHeadingAndOneUTurn) {
    const Route route = Route::Town(1);
    EXPECT_GT(route.Length(), 2000.0);
    EXPECT_LT(route.Length(), 3000.0);
    const double step = 0.25;
    RoutePose last = route.PoseAt(0);
    int straightSamples = 0;
    double uTurnStart = -1;
    for (double s = step; s <= route.Length(); s += step) {
        const RoutePose p = route.PoseAt(s);
        // One step along the route is one step on the ground, in the heading's direction.
        ASSERT_NEAR(std::hypot(p.x - last.x, p.y - last.y), step, 0.01) << s;
        const double moving = std::atan2(p.x - last.x, p.y - last.y) / kDeg;
        ASSERT_LT(std::abs(AzimuthDeltaDeg(moving, route.PoseAt(s - step / 2).headingDeg)), 2.0)
            << s;
        if (p.curvature == 0 && last.curvature == 0) {
            ++straightSamples;
            ASSERT_NEAR(LaneOffset(p), StreetGrid::kLaneOffset, 0.01) << s;
        }
        // Heading reversed within 15 m: the U-turn.
        const RoutePose back = route.PoseAt(std::max(0.0, s - 15));
        if (uTurnStart < 0 && std::abs(AzimuthDeltaDeg(p.headingDeg, back.headingDeg)) > 179) {
            uTurnStart = s;
        }
        last = p;
    }
    EXPECT_GT(straightSamples, static_cast<int>(route.Length() / step * 0.8));
    EXPECT_GT(uTurnStart, 0);
    // Red lights to wait at, corners to take slowly, and the car stays at the end.
    int stops = 0, corners = 0;
    for (const SpeedLimit& l : route.Limits()) {
        stops += l.holdSeconds > 0 && std::isfinite(l.holdSeconds);
        corners += l.to > l.from && l.speed < 6.0;
    }
    EXPECT_EQ(stops, 4);
    EXPECT_GE(corners, 8);
    EXPECT_TRUE(std::isinf(route.Limits().back().holdSeconds));
}

TEST(TownDrive, WaitsAtRedLightsBrakesGentlyAndParksAtTheEnd) {
    DriveSimulator sim(DriveStart{});
    const auto r = sim.Record(4000, {});
    int waits = 0, standing = 0, fastest = 0;
    for (size_t k = 0; k < r.size(); ++k) {
        fastest = std::max(fastest, r[k].speedKmh);
        standing = r[k].speedKmh == 0 ? standing + 1 : 0;
        waits += standing == 50;  // five seconds still
        if (k >= 10) {
            // Never more than 3 m/s^2 either way in ordinary driving (+1 for the rounding).
            ASSERT_LE(std::abs(r[k].speedKmh - r[k - 10].speedKmh), 12) << k;
        }
    }
    EXPECT_GE(waits, 5);  // four red lights and the end of the route
    EXPECT_GE(fastest, 40);
    EXPECT_LE(fastest, 60);
    EXPECT_EQ(r.back().speedKmh, 0);
    EXPECT_NEAR(sim.Distance(), Route::Town(1).Length(), 0.01);
    // The sensor shakes less when the car stands (mG around the resting values).
    double still = 0, moving = 0;
    for (size_t k = 1; k < 100; ++k) {
        (r[k].speedKmh > 30 ? moving : still) += std::abs(r[k].gz - r[k - 1].gz);
    }
    EXPECT_GT(moving, 0);
    const auto last = std::vector<SensorRecord>(r.end() - 100, r.end());
    double parked = 0;
    for (size_t k = 1; k < last.size(); ++k) {
        parked = std::max(parked, std::abs(last[k].gz - last[k - 1].gz) * 1.0);
    }
    EXPECT_LT(parked, 100);  // below the graph's first step
}

TEST(TownDrive, AHardBrakeStopsTheCarWithinTwoSecondsAndItDrivesOn) {
    DriveSimulator sim(DriveStart{});
    sim.Record(80, {});  // up to speed on the first street
    PieceOptions piece;
    piece.hardBrake = 0.5;
    const auto r = sim.Record(100, piece);
    EXPECT_GE(r[4].speedKmh, 40);
    const auto stop =
        std::find_if(r.begin(), r.end(), [](const SensorRecord& x) { return x.speedKmh == 0; });
    ASSERT_NE(stop, r.end());
    EXPECT_LE(stop - r.begin(), 5 + 20);
    // The first record of the brake: about -0.7 G on the front-back axis.
    EXPECT_LT(r[5].gx, -550);
    EXPECT_GT(r[5].gx, -850);
    EXPECT_GT(r.back().speedKmh, 5);  // on its way again
}

// Luma and chroma of one direction in a rendered frame.
struct Sample {
    int y, u, v;
};

class StreetPicture : public ::testing::Test {
  protected:
    static constexpr int kSize = 256;
    std::vector<uint8_t> y = std::vector<uint8_t>(kSize * kSize),
                         u = std::vector<uint8_t>(kSize * kSize / 4),
                         v = std::vector<uint8_t>(kSize * kSize / 4);
    YuvFrame Frame() {
        return {{y.data(), u.data(), v.data()}, {kSize, kSize / 2, kSize / 2}, kSize, kSize};
    }
    Sample At(double az, double el) const {
        const TexCoord t = TexelOfDirection(DirectionFromAngles(az, el));
        const int px = static_cast<int>(t.u * kSize), py = static_cast<int>(t.v * kSize);
        const size_t c = static_cast<size_t>(py / 2 * kSize / 2 + px / 2);
        return {y[static_cast<size_t>(py * kSize + px)], u[c], v[c]};
    }
};

TEST_F(StreetPicture, SkyRoadBuildingsAndTheCarWhereTheyBelong) {
    StreetScene scene(kSize);
    const RoutePose start = Route::Town(1).PoseAt(30);  // heading north in the left lane
    scene.Render({start.x, start.y, start.headingDeg}, 1234, Frame());
    const Sample sky = At(0, 20), road = At(0, -8), left = At(270, 8), hood = At(0, -40);
    // Down the street: blue sky (more blue than red), grey road.
    EXPECT_GT(sky.u, sky.v + 10);
    EXPECT_GT(sky.y, 150);
    EXPECT_NEAR(road.u, 128, 4);
    EXPECT_NEAR(road.v, 128, 4);
    EXPECT_LT(road.y, 120);
    // Beside the car a building, not sky; below, the car's own dark hood.
    EXPECT_LT(left.u, left.v + 10);
    EXPECT_LT(hood.y, 60);
    EXPECT_EQ(ReadFrameStrip(y.data(), kSize, kSize, kSize), 1234u);
}

TEST_F(StreetPicture, TheWorldStaysPutWhenTheCarTurnsAndMovesUnderItWhenItDrives) {
    const RoutePose p = Route::Town(1).PoseAt(30);
    StreetScene scene(kSize);
    scene.Render({p.x, p.y, 0}, 0, Frame());
    const std::vector<uint8_t> north = y;
    const int hood = At(0, -40).y;
    // Turned a quarter to the right, the picture is the same one turned a quarter back: the
    // lens's picture of a direction rotates about the centre with the azimuth.
    StreetScene turned(kSize);
    turned.Render({p.x, p.y, 90}, 0, Frame());
    int same = 0, compared = 0;
    for (int py = 0; py < kSize; ++py) {
        for (int px = 0; px < kSize; ++px) {
            const double dx = px + 0.5 - kSize / 2.0, dy = py + 0.5 - kSize / 2.0;
            const double r = std::hypot(dx, dy) / kSize;
            if (r < 0.3 || r > 0.48) {
                continue;  // the car's roof and the circle's edge
            }
            // Azimuth grows clockwise in the picture: the pixel a quarter further round.
            const int qx = static_cast<int>(kSize / 2.0 - dy - 0.5);
            const int qy = static_cast<int>(kSize / 2.0 + dx - 0.5);
            ++compared;
            same += std::abs(north[static_cast<size_t>(qy * kSize + qx)] -
                             y[static_cast<size_t>(py * kSize + px)]) < 3;
        }
    }
    EXPECT_GT(same, compared * 97 / 100) << same << " of " << compared;

    // Two metres on, the road under the car has moved; the car has not.
    StreetScene again(kSize);
    again.Render({p.x, p.y, 0}, 0, Frame());
    EXPECT_EQ(y, north);  // the same pose draws the same picture
    again.Render({p.x, p.y + 2.5, 0}, 0, Frame());
    EXPECT_NE(y, north);
    EXPECT_EQ(At(0, -40).y, hood);
}

TEST(StreetPose, InterpolatesBetweenRecordsAndTurnsTheShortWayRound) {
    const std::vector<DrivePose> poses = {{0, 0, 350}, {1, 2, 10}, {1, 2, 10}};
    const DrivePose half = StreetScene::PoseAt(poses, 0.05);
    EXPECT_DOUBLE_EQ(half.x, 0.5);
    EXPECT_DOUBLE_EQ(half.y, 1.0);
    EXPECT_NEAR(std::fmod(half.headingDeg + 360, 360), 0.0, 1e-9);
    EXPECT_DOUBLE_EQ(StreetScene::PoseAt(poses, 9.0).x, 1.0);  // past the end: the last
    EXPECT_DOUBLE_EQ(StreetScene::PoseAt({}, 1.0).x, 0.0);
}

}  // namespace
}  // namespace tavrilo::gen
