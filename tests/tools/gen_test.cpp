// The generator's building blocks: lens inversion, the frame strip, record bytes, the clock.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tools/gen/drive.h"
#include "tools/gen/frame_strip.h"
#include "tools/gen/gps0_writer.h"
#include "tools/gen/lens.h"
#include "tools/gen/scene.h"

namespace tavrilo::gen {
namespace {

TEST(Lens, InverseMatchesTheViewersSphereFormula) {
    // Directions on a grid of angles map to texels and back.
    for (double az = 0; az < 360; az += 17) {
        for (double el = -89; el <= 30; el += 7) {
            const Vec3 d = DirectionFromAngles(az, el);
            // The viewer's own formula on a sphere of radius 200.
            const double x = d.x * 200, y = d.y * 200, z = d.z * 200;
            const double s = std::sqrt(((y + 200) * 400) / (x * x + z * z));
            const double u = 0.5 - (x / 200) * s * 0.286;
            const double v = (z / 200) * s * 0.286 + 0.5;
            const TexCoord t = TexelOfDirection(d);
            EXPECT_NEAR(t.u, u, 1e-9);
            EXPECT_NEAR(t.v, v, 1e-9);
            const auto back = DirectionAtTexel(u, v);
            ASSERT_TRUE(back.has_value());
            EXPECT_NEAR(back->x, d.x, 1e-9);
            EXPECT_NEAR(back->y, d.y, 1e-9);
            EXPECT_NEAR(back->z, d.z, 1e-9);
        }
    }
}

TEST(Lens, LandmarksOfTheImageCircle) {
    // Nadir at the centre, the horizon at radius 0.286 * sqrt(2), front towards the top.
    const auto centre = DirectionAtTexel(0.5, 0.5);
    ASSERT_TRUE(centre.has_value());
    EXPECT_NEAR(centre->y, -1.0, 1e-12);
    const TexCoord front = TexelOfDirection(DirectionFromAngles(0, 0));
    EXPECT_NEAR(front.u, 0.5, 1e-12);
    EXPECT_NEAR(front.v, 0.5 - 0.286 * std::sqrt(2.0), 1e-12);
    const TexCoord right = TexelOfDirection(DirectionFromAngles(90, 0));
    EXPECT_GT(right.u, 0.5);
    EXPECT_NEAR(right.v, 0.5, 1e-12);
    EXPECT_NEAR(AzimuthDeg(DirectionFromAngles(270, 10)), 270, 1e-9);
    EXPECT_NEAR(ElevationDeg(DirectionFromAngles(270, 10)), 10, 1e-9);
    EXPECT_FALSE(DirectionAtTexel(0.0, 0.0).has_value());  // corner, beyond the lens
}

TEST(FrameStrip, RoundTripsPlainAndMirrored) {
    const int w = 96, h = 96;
    std::vector<uint8_t> rgb(w * h * 3, 128);
    for (uint32_t frame : {0u, 1u, 7u, 1234u, 65535u, (1u << kStripBits) - 1}) {
        DrawFrameStrip(rgb.data(), w * 3, w, h, frame);
        std::vector<uint8_t> grey(w * h), mirrored(w * h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                grey[y * w + x] = rgb[(y * w + x) * 3];
                mirrored[y * w + (w - 1 - x)] = rgb[(y * w + x) * 3];
            }
        }
        EXPECT_EQ(ReadFrameStrip(grey.data(), w, w, h), frame);
        EXPECT_EQ(ReadFrameStrip(mirrored.data(), w, w, h), frame);
    }
    std::vector<uint8_t> flat(w * h, 40);
    EXPECT_FALSE(ReadFrameStrip(flat.data(), w, w, h).has_value());
    // On large frames the strip stays a small mark at the centre, drawn into any plane.
    const int big = 1440;
    const StripLayout s = StripLayoutFor(big, big);
    EXPECT_EQ(s.cellWidth, 10);
    EXPECT_EQ(s.left * 2 + s.cellWidth * kStripCells, big);
    std::vector<uint8_t> plane(big * big, 7);
    DrawFrameStripBytes(plane.data(), big, big, big, 98765, 16, 235);
    EXPECT_EQ(ReadFrameStrip(plane.data(), big, big, big), 98765u);
    EXPECT_EQ(plane[static_cast<size_t>(s.top * big + s.left - 1)], 7);  // nothing beside it
}

TEST(Scene, LabelsLandWhereTheLensPutsTheirDirections) {
    const int n = 256;
    FisheyeScene scene(n, n);
    std::vector<uint8_t> rgb(n * n * 3);
    scene.Render(5, 0.0, rgb.data());
    auto at = [&](double az, double el) {
        const TexCoord t = TexelOfDirection(DirectionFromAngles(az, el));
        const int x = static_cast<int>(t.u * n), y = static_cast<int>(t.v * n);
        return std::vector<int>{rgb[(y * n + x) * 3], rgb[(y * n + x) * 3 + 1],
                                rgb[(y * n + x) * 3 + 2]};
    };
    // Panels beside the labels: red front, green right, blue back, yellow left.
    EXPECT_EQ(at(20, -5), (std::vector<int>{200, 40, 40}));
    EXPECT_EQ(at(110, -5), (std::vector<int>{40, 170, 60}));
    EXPECT_EQ(at(200, -5), (std::vector<int>{40, 70, 210}));
    EXPECT_EQ(at(290, -5), (std::vector<int>{225, 205, 40}));
    // The ball starts in front, above the horizon.
    EXPECT_EQ(at(0, 8), (std::vector<int>{255, 140, 0}));
    // Outside the image circle the frame is black.
    EXPECT_EQ(rgb[0], 0);
    EXPECT_EQ(rgb[1], 0);
}

TEST(CameraBlock, LayoutOfTheTwentySixBytes) {
    CameraBlockOptions o;
    o.mode = 'D';
    o.firmware = "12345";
    o.numberA = 1440;
    o.numberB = 720;
    o.numberC = 30;
    const auto block = MakeCameraBlock(o);
    EXPECT_EQ(std::string(block.data(), block.size()), "F12345144007200030D0000000");
}

TEST(Record, FieldsSitAtTheirOffsets) {
    SensorRecord r;
    r.valid = true;
    r.latitude = 35.0 + 39.1234 / 60.0;
    r.longitude = 139.0 + 45.5 / 60.0;
    r.speedKmh = 47;
    r.written = {2026, 6, 1, 9, 8, 7};
    r.correction = -5;
    r.gx = 1500;
    r.gy = -500;
    r.gz = 1000;
    r.mark1 = 'D';
    r.axis = 'X';
    r.mark2 = '0';
    r.status = '1';
    const auto rec = FormatRecord(r, 0xA9);
    const std::string s(rec.data(), rec.size());
    EXPECT_EQ(static_cast<uint8_t>(s[0]), 0xA9);
    EXPECT_EQ(s[5], 'A');
    EXPECT_EQ(s.substr(6, 9), "3539.1234");
    EXPECT_EQ(s[15], 'N');
    EXPECT_EQ(s.substr(16, 10), "13945.5000");
    EXPECT_EQ(s[26], 'E');
    EXPECT_EQ(s.substr(27, 4), "0047");
    EXPECT_EQ(s.substr(31, 12), "260601090807");
    EXPECT_EQ(s.substr(44, 3), "-05");
    EXPECT_EQ(s.substr(57, 5), "-0500");
    EXPECT_EQ(s.substr(62, 5), "01500");
    EXPECT_EQ(s.substr(67, 5), "01000");
    EXPECT_EQ(s[72], 'D');
    EXPECT_EQ(s[73], 'X');
    EXPECT_EQ(s[74], '0');
    EXPECT_EQ(s[78], '1');

    r.latitude = -r.latitude;
    r.longitude = -r.longitude;
    r.correction.reset();
    r.valid = false;
    const auto south = FormatRecord(r, '0');
    EXPECT_EQ(south[5], 'V');
    EXPECT_EQ(south[15], '\0');
    EXPECT_EQ(south[26], '\0');
    EXPECT_EQ(std::string(south.data() + 44, 3), "*00");
}

TEST(Gps0Box, CountFlagChainAndTrailer) {
    std::vector<SensorRecord> records(3);
    records[0].flag = 0x88;
    records[1].flag = 0xA9;
    const auto box = MakeGps0Box(MakeCameraBlock({}), records);
    ASSERT_EQ(box.size(), 8 + 40 + 3 * kRecordSize);
    EXPECT_EQ((box[0] << 24 | box[1] << 16 | box[2] << 8 | box[3]), static_cast<int>(box.size()));
    EXPECT_EQ(std::string(box.begin() + 4, box.begin() + 8), "gps0");
    EXPECT_EQ(std::string(box.begin() + 8, box.begin() + 14), "CSODAT");
    EXPECT_EQ(box[8 + 32], 0);
    EXPECT_EQ(box[8 + 33], 3);
    // Record k's flag is byte 0 of record k + 1; the first record starts with the idle flag.
    EXPECT_EQ(box[8 + 34], '0');
    EXPECT_EQ(box[8 + 34 + kRecordSize], 0x88);
    EXPECT_EQ(box[8 + 34 + 2 * kRecordSize], 0xA9);
    EXPECT_EQ(std::string(box.end() - 6, box.end()), "CSOEND");

    EXPECT_THROW(MakeGps0Box(MakeCameraBlock({}), std::vector<SensorRecord>(kMaxRecords + 1)),
                 std::length_error);
}

TEST(Clock, AddsAcrossMonthsYearsAndLeapDays) {
    EXPECT_EQ(AddSeconds({2024, 2, 28, 23, 59, 59}, 1), (CivilTime{2024, 2, 29, 0, 0, 0}));
    EXPECT_EQ(AddSeconds({2023, 12, 31, 23, 59, 30}, 45), (CivilTime{2024, 1, 1, 0, 0, 15}));
    EXPECT_EQ(AddSeconds({2024, 3, 1, 0, 0, 2}, -5), (CivilTime{2024, 2, 29, 23, 59, 57}));
    EXPECT_EQ(ParseCivilTime("2026-06-01 10:00:00"), (CivilTime{2026, 6, 1, 10, 0, 0}));
    EXPECT_FALSE(ParseCivilTime("2026-02-30 10:00:00").has_value());
    EXPECT_FALSE(ParseCivilTime("1999-01-01 10:00:00").has_value());
    EXPECT_FALSE(ParseCivilTime("yesterday").has_value());
}

TEST(Drive, ContinuesInTimeAndPlaceAndIsRepeatable) {
    DriveStart start;
    start.seed = 7;
    DriveSimulator one(start);
    const auto first = one.Record(30, {});
    const auto second = one.Record(30, {});
    DriveSimulator whole(start);
    const auto all = whole.Record(60, {});
    ASSERT_EQ(all.size(), 60u);
    for (size_t k = 0; k < 30; ++k) {
        EXPECT_EQ(all[k].latitude, first[k].latitude);
        EXPECT_EQ(all[30 + k].latitude, second[k].latitude);
        EXPECT_EQ(all[30 + k].written, second[k].written);
    }
    // One second per ten records.
    EXPECT_EQ(all[9].written, start.time);
    EXPECT_EQ(all[10].written, AddSeconds(start.time, 1));
    EXPECT_EQ(all[59].written, AddSeconds(start.time, 5));
}

TEST(Drive, SpeedMatchesTheDistanceCovered) {
    DriveSimulator sim(DriveStart{});
    const auto r = sim.Record(600, {});
    // Distance between records against the written speed, over the last 50 seconds.
    double metres = 0, expected = 0;
    for (size_t k = 101; k < r.size(); ++k) {
        const double dLat = (r[k].latitude - r[k - 1].latitude) * 111320.0;
        const double dLon = (r[k].longitude - r[k - 1].longitude) * 111320.0 *
                            std::cos(r[k].latitude * 3.14159265358979 / 180);
        metres += std::hypot(dLat, dLon);
        expected += r[k].speedKmh / 3.6 * 0.1;
    }
    EXPECT_GT(metres, 100.0);
    EXPECT_NEAR(metres, expected, expected * 0.02);
}

TEST(Drive, EventsMarkTheirRecordsAndParkingStandsStill) {
    PieceOptions piece;
    piece.parked = true;
    piece.events = {
        {1.0, MarkKind::kAxisZ, 0.5}, {2.0, MarkKind::kMark2, 0.3}, {3.0, MarkKind::kFlagA9, 0.2}};
    piece.noFix = std::make_pair(0.0, 0.5);
    DriveSimulator sim(DriveStart{});
    const auto r = sim.Record(40, piece);
    EXPECT_EQ(r[9].axis, '0');
    EXPECT_EQ(r[10].axis, 'Z');
    EXPECT_EQ(r[14].axis, 'Z');
    EXPECT_EQ(r[15].axis, '0');
    EXPECT_GT(r[12].gz, 2000);
    EXPECT_EQ(r[20].mark2, 'D');
    EXPECT_EQ(r[23].mark2, '0');
    EXPECT_EQ(r[30].flag, 0xA9);
    EXPECT_EQ(r[32].flag, '0');
    EXPECT_FALSE(r[4].valid);
    EXPECT_TRUE(r[5].valid);
    for (const auto& rec : r) {
        EXPECT_EQ(rec.speedKmh, 0);
    }
    EXPECT_EQ(r[0].latitude, r[39].latitude);
}

TEST(Drive, CorrectionIsTakenOffTheWrittenClock) {
    DriveStart start;
    start.correction = 3;
    DriveSimulator sim(start);
    const auto r = sim.Record(1, {});
    EXPECT_EQ(r[0].written, AddSeconds(start.time, -3));
    EXPECT_EQ(r[0].correction, 3);
}

TEST(SensorEvent, Parses) {
    const auto e = ParseSensorEvent("12.5:F8");
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->seconds, 12.5);
    EXPECT_EQ(e->kind, MarkKind::kFlag88);
    EXPECT_FALSE(ParseSensorEvent("12.5").has_value());
    EXPECT_FALSE(ParseSensorEvent("x:X").has_value());
    EXPECT_FALSE(ParseSensorEvent("3:Q").has_value());
    EXPECT_FALSE(ParseSensorEvent("-1:X").has_value());
}

}  // namespace
}  // namespace tavrilo::gen
