// The recorder's clock is local calendar time as written: shown the same whatever zone the
// viewer runs in and whatever daylight saving is in force today; converted to UTC (GPX, KML)
// with the offset the recorder's zone had on the recording's date.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/support/process.h"

namespace tavrilo {
namespace {

namespace fs = std::filesystem;
using test::Quote;
using test::RunCommand;

class RecorderClock : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = fs::temp_directory_path() / ("tavrilo-clock-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        for (const auto& [folder, start] : {std::pair{"summer", "2026-07-01 10:00:00"},
                                            std::pair{"winter", "2026-01-15 10:00:00"}}) {
            fs::create_directories(dir_ / folder);
            const auto r = RunCommand(std::string(TAVRILO_GEN) + " recording " +
                                      Quote(dir_ / folder / "001_100000_A.MP4") +
                                      " --size 64 --seconds 2 --start '" + start + "'");
            ASSERT_EQ(r.status, 0) << r.output;
        }
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    // The first record's time as `track` shows it, run with TZ set to `zone`.
    static std::string ShownTime(const char* folder, const std::string& zone) {
        const auto r = RunCommand("TZ=" + zone + " " + TAVRILO_CLI + " track " +
                                  Quote(dir_ / folder / "001_100000_A.MP4"));
        EXPECT_EQ(r.status, 0) << r.output;
        return nlohmann::json::parse(r.output)["gps"][0]["time"].get<std::string>();
    }
    // The first track point's UTC time in the GPX of a folder; `options` may name a zone.
    static std::string GpxTime(const char* folder, const std::string& env,
                               const std::string& options, const fs::path& cwd = {}) {
        const fs::path out = dir_ / (std::string(folder) + ".gpx");
        const std::string cd = cwd.empty() ? "" : "cd " + Quote(cwd) + " && ";
        const auto r = RunCommand(cd + env + " " + TAVRILO_CLI + " gpx " + Quote(dir_ / folder) +
                                  " " + Quote(out) + " --force " + options);
        EXPECT_EQ(r.status, 0) << r.output;
        std::ifstream in(out);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        const size_t at = text.find("<trkpt");
        const size_t time = text.find("<time>", at);
        return at == std::string::npos || time == std::string::npos ? ""
                                                                    : text.substr(time + 6, 20);
    }

    static inline fs::path dir_;
};

TEST_F(RecorderClock, IsShownAsWrittenInEveryZone) {
    // With and without daylight saving now and at the recording's date, north and south.
    for (const std::string zone : {"UTC0", "Asia/Tokyo", "America/New_York", "Europe/London",
                                   "Australia/Sydney", "EST5EDT,M3.2.0,M11.1.0"}) {
        EXPECT_EQ(ShownTime("summer", zone), "2026-07-01 10:00:00") << zone;
        EXPECT_EQ(ShownTime("winter", zone), "2026-01-15 10:00:00") << zone;
    }
}

TEST_F(RecorderClock, RoutesTakeTheZonesOffsetAtTheRecordingsDate) {
    struct Case {
        std::string zone;
        const char* summer;
        const char* winter;
    } cases[] = {
        {"Asia/Tokyo", "2026-07-01T01:00:00Z", "2026-01-15T01:00:00Z"},
        {"America/New_York", "2026-07-01T14:00:00Z", "2026-01-15T15:00:00Z"},
        {"Europe/London", "2026-07-01T09:00:00Z", "2026-01-15T10:00:00Z"},
        // July is winter in Sydney (+10), January summer (+11).
        {"Australia/Sydney", "2026-07-01T00:00:00Z", "2026-01-14T23:00:00Z"},
    };
    for (const Case& c : cases) {
        // --tz decides, whatever zone the machine is in today.
        for (const char* machine : {"TZ=UTC0", "TZ=Australia/Sydney", "TZ=America/New_York"}) {
            EXPECT_EQ(GpxTime("summer", machine, "--tz " + c.zone), c.summer) << c.zone << machine;
            EXPECT_EQ(GpxTime("winter", machine, "--tz " + c.zone), c.winter) << c.zone << machine;
        }
        // Without --tz, the machine's zone is the recorder's.
        EXPECT_EQ(GpxTime("summer", "TZ=" + c.zone, ""), c.summer) << c.zone;
        EXPECT_EQ(GpxTime("winter", "TZ=" + c.zone, ""), c.winter) << c.zone;
    }
}

TEST_F(RecorderClock, TheSettingsFileNamesTheZoneAndABadZoneIsRefused) {
    const fs::path start = dir_ / "start";
    fs::create_directories(start);
    std::ofstream(start / "Default_Folder.ini") << "[DISPLAY]\r\nTIMEZONE=Asia/Tokyo\r\n";
    EXPECT_EQ(GpxTime("summer", "TZ=Europe/London", "", start), "2026-07-01T01:00:00Z");
    // --tz still wins over the file.
    EXPECT_EQ(GpxTime("summer", "TZ=UTC0", "--tz Europe/London", start), "2026-07-01T09:00:00Z");

    const auto r = RunCommand(std::string(TAVRILO_CLI) + " gpx " + Quote(dir_ / "summer") + " " +
                              Quote(dir_ / "bad.gpx") + " --tz Mars/Olympus");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("unknown time zone Mars/Olympus"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir_ / "bad.gpx"));
}

}  // namespace
}  // namespace tavrilo
