// Routes exported as GPX and KML, read back with independent parsers (gpxpy and Python's XML)
// and compared with our own track output.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "recordings/route_export.h"
#include "tests/support/process.h"

namespace tavrilo {
namespace {

namespace fs = std::filesystem;
using test::Quote;
using test::RunCommand;

TEST(RouteText, EscapingCourseAndUtc) {
    EXPECT_EQ(XmlEscape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&apos;");
    EXPECT_NEAR(CourseDegrees(0, 0, 1, 0), 0.0, 1e-9);
    EXPECT_NEAR(CourseDegrees(0, 0, 0, 1), 90.0, 1e-9);
    EXPECT_NEAR(CourseDegrees(0, 0, -1, 0), 180.0, 1e-9);
    EXPECT_NEAR(CourseDegrees(0, 0, 0, -1), 270.0, 1e-9);
    EXPECT_EQ(UtcTimeText(SystemTime{}), "");
}

TEST(RouteExport, ReadBackByIndependentParsers) {
    const fs::path dir = fs::temp_directory_path() / ("tavrilo-route-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "drive");
    // South and west of zero, across midnight into a new year, with the fix lost for a while;
    // then a recording in the north and east.
    const auto a = RunCommand(std::string(TAVRILO_GEN) + " recording " +
                              Quote(dir / "drive" / "001_235958_G.MP4") +
                              " --size 64 --seconds 4 --kind G --no-fix 1:2 --lat -33.45 "
                              "--lon -70.66 --start '2026-12-31 23:59:58'");
    ASSERT_EQ(a.status, 0) << a.output;
    const auto b =
        RunCommand(std::string(TAVRILO_GEN) + " recording " +
                   Quote(dir / "drive" / "002_100000_M.MP4") + " --size 64 --seconds 3 --kind M");
    ASSERT_EQ(b.status, 0) << b.output;
    const std::string env = "TZ=UTC0 ";
    std::string tracks;
    for (const char* name : {"001_235958_G.MP4", "002_100000_M.MP4"}) {
        const fs::path json = dir / (std::string(name) + ".json");
        ASSERT_EQ(RunCommand(env + TAVRILO_CLI + " track " + Quote(dir / "drive" / name) + " > " +
                             Quote(json))
                      .status,
                  0);
        tracks += " " + Quote(json);
    }
    const auto gpx = RunCommand(env + TAVRILO_CLI + " gpx " + Quote(dir / "drive") + " " +
                                Quote(dir / "route.gpx"));
    ASSERT_EQ(gpx.status, 0) << gpx.output;
    const auto kml = RunCommand(env + TAVRILO_CLI + " kml " + Quote(dir / "drive") + " " +
                                Quote(dir / "route.kml"));
    ASSERT_EQ(kml.status, 0) << kml.output;
    // Debian's own interpreter, which has python3-gpxpy.
    const auto check = RunCommand(
        "/usr/bin/python3 " + Quote(fs::path(TAVRILO_SOURCE) / "tests/tools/route_check.py") + " " +
        Quote(dir / "route.gpx") + " " + Quote(dir / "route.kml") + tracks);
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_NE(check.output.find("3 segments"), std::string::npos) << check.output;
    // The midnight: the first recording's times run into 2027 (its second second has no fix).
    std::ifstream in(dir / "route.gpx");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<time>2026-12-31T23:59:58Z</time>"), std::string::npos);
    EXPECT_EQ(text.find("<time>2026-12-31T23:59:59Z</time>"), std::string::npos);
    EXPECT_NE(text.find("<time>2027-01-01T00:00:00Z</time>"), std::string::npos);
    EXPECT_NE(text.find("lat=\"-33.45"), std::string::npos);
    // An existing file is not replaced without --force; a source without a fix writes nothing.
    EXPECT_NE(RunCommand(env + TAVRILO_CLI + " gpx " + Quote(dir / "drive") + " " +
                         Quote(dir / "route.gpx"))
                  .status,
              0);
    fs::create_directories(dir / "dark");
    ASSERT_EQ(
        RunCommand(std::string(TAVRILO_GEN) + " recording " +
                   Quote(dir / "dark" / "001_100000_A.MP4") + " --size 64 --seconds 2 --no-fix 0:3")
            .status,
        0);
    const auto dark = RunCommand(env + TAVRILO_CLI + " gpx " + Quote(dir / "dark") + " " +
                                 Quote(dir / "dark.gpx"));
    EXPECT_NE(dark.status, 0);
    EXPECT_NE(dark.output.find("no GPS fix"), std::string::npos) << dark.output;
    EXPECT_FALSE(fs::exists(dir / "dark.gpx"));
    if (!HasFailure()) {
        fs::remove_all(dir);
    }
}

}  // namespace
}  // namespace tavrilo
