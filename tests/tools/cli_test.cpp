// tavrilo-cli info and track on generated recordings, checked against what the generator wrote
// and against ffprobe.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/support/process.h"
#include "tools/gen/drive.h"
#include "tools/gen/samples.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using tavrilo::test::Quote;
using tavrilo::test::RunCommand;
using namespace tavrilo::gen;

class CliOnRecording : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new fs::path(fs::temp_directory_path() /
                            ("tavrilo-cli-test-" + std::to_string(getpid())));
        fs::create_directories(*dir_);
        file_ = new fs::path(*dir_ / "003_235958_G.MP4");
        const auto r =
            RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(*file_) + " " + kOptions);
        ASSERT_EQ(r.status, 0) << r.output;
    }
    static void TearDownTestSuite() {
        fs::remove_all(*dir_);
        delete file_;
        delete dir_;
    }
    static json Cli(const std::string& args) {
        // A fixed zone without daylight saving: record times read back as written.
        const auto r = RunCommand("TZ=UTC0 " + std::string(TAVRILO_CLI) + " " + args);
        EXPECT_EQ(r.status, 0) << r.output;
        return json::parse(r.output);
    }

    // What the generator was asked for, so the test can replay the drive.
    static constexpr const char* kOptions =
        "--size 96 --seconds 4 --fps 27.5 --start '2026-12-31 23:59:58' --lat -33.8688 "
        "--lon -151.2093 --seed 11 --correction -2 --no-fix 1:1.5 --event 0.5:X --event 2:D1 "
        "--event 2.5:D2 --event 3:F9";
    static DriveStart Start() {
        DriveStart s;
        s.time = {2026, 12, 31, 23, 59, 58};
        s.latitude = -33.8688;
        s.longitude = -151.2093;
        s.seed = 11;
        s.correction = -2;
        return s;
    }
    static PieceOptions Piece() {
        PieceOptions p;
        p.noFix = std::make_pair(1.0, 1.5);
        p.events = {{0.5, MarkKind::kAxisX, 0.5},
                    {2.0, MarkKind::kMark1, 0.5},
                    {2.5, MarkKind::kMark2, 0.5},
                    {3.0, MarkKind::kFlagA9, 0.5}};
        return p;
    }

    static fs::path* dir_;
    static fs::path* file_;
};
fs::path* CliOnRecording::dir_ = nullptr;
fs::path* CliOnRecording::file_ = nullptr;

TEST_F(CliOnRecording, InfoAgreesWithFfprobe) {
    const json info = Cli("info " + Quote(*file_));
    const auto probe = RunCommand(
        "ffprobe -v error -count_frames -select_streams v -show_entries "
        "stream=nb_read_frames,width,height:format=duration -of json " +
        Quote(*file_));
    ASSERT_EQ(probe.status, 0) << probe.output;
    const json p = json::parse(probe.output);
    EXPECT_EQ(info["sample_count"],
              std::stoi(p["streams"][0]["nb_read_frames"].get<std::string>()));
    EXPECT_EQ(info["sample_count"], 110);
    EXPECT_EQ(info["width"], p["streams"][0]["width"]);
    EXPECT_EQ(info["height"], p["streams"][0]["height"]);
    EXPECT_NEAR(info["movie_seconds"].get<double>(),
                std::stod(p["format"]["duration"].get<std::string>()), 0.05);
    // 1,000,000 / 36,364 us, and 36.364 ms a picture (not 36 whole milliseconds).
    EXPECT_NEAR(info["frame_rate"].get<double>(), 27.4997, 1e-4);
    EXPECT_DOUBLE_EQ(info["frame_duration_ms"].get<double>(), 36.364);
    EXPECT_EQ(info["frames"], 110);
    EXPECT_EQ(info["timescale"], 1000000);
    EXPECT_EQ(info["file_size"], fs::file_size(*file_));

    EXPECT_EQ(info["is_recording_name"], true);
    EXPECT_EQ(info["is_recording_file"], true);
    EXPECT_EQ(info["event_kind"], 1);
    EXPECT_EQ(info["event_label"], "衝撃");
    EXPECT_EQ(info["record_count"], 40);
    EXPECT_EQ(info["start_time"], "2026-12-31 23:59:58");
    EXPECT_EQ(info["camera"], (json{{"mode", "R"}, {"tag", "F104"}, {"tag2", "05"}}));
    std::vector<std::string> top;
    for (const json& b : info["boxes"]) {
        top.push_back(b["type"]);
    }
    EXPECT_EQ(top, (std::vector<std::string>{"ftyp", "mdat", "moov", "gps0"}));
    EXPECT_EQ(info["boxes"][3]["offset"].get<uint64_t>() + info["boxes"][3]["size"].get<uint64_t>(),
              fs::file_size(*file_));
}

TEST_F(CliOnRecording, TrackAgreesWithTheDriveThatWasWritten) {
    const json track = Cli("track " + Quote(*file_));
    DriveSimulator drive(Start());
    const std::vector<SensorRecord> written = drive.Record(40, Piece());
    ASSERT_EQ(track["gps"].size(), 40u);
    ASSERT_EQ(track["g"].size(), 40u);
    EXPECT_EQ(track["frames"], 110);
    EXPECT_EQ(track["frame_index"].size(), 110u);

    for (size_t k = 0; k < written.size(); ++k) {
        const SensorRecord& w = written[k];
        const json& gps = track["gps"][k];
        EXPECT_EQ(gps["valid"], w.valid ? 1 : 0) << k;
        if (w.valid) {
            // ddmm.mmmm keeps a ten-thousandth of a minute.
            EXPECT_NEAR(gps["lat"].get<double>(), w.latitude, 2e-6) << k;
            EXPECT_NEAR(gps["lng"].get<double>(), w.longitude, 2e-6) << k;
            EXPECT_EQ(gps["speed"], w.speedKmh) << k;
        }
        // The clock text minus the correction is the true time: across midnight into the new year.
        const CivilTime expected = AddSeconds(Start().time, static_cast<long long>(k / 10));
        EXPECT_EQ(gps["time"], FormatCivilTime(expected)) << k;
        // The picture shown k x 100 ms in: the last one starting at or before then.
        EXPECT_EQ(gps["frame"], static_cast<int>(k * 100'000 / 36'364)) << k;

        const json& g = track["g"][k];
        const int axis = w.axis == 'X' ? 1 : w.axis == 'Y' ? 2 : w.axis == 'Z' ? 3 : 0;
        EXPECT_EQ(g["axis"], axis) << k;
        EXPECT_EQ(g["mark"], w.mark1 == 'D' ? 5 : w.mark2 == 'D' ? 7 : -1) << k;
        const int flag = k + 1 < written.size() ? written[k].flag : 'C';
        EXPECT_EQ(g["flag_high"], flag >> 4) << k;
        EXPECT_EQ(g["flag_low"], flag & 15) << k;
        // The GPS cursor runs one ahead of the G sample and stops at the last GPS sample.
        const size_t cursor = std::min(k + 1, written.size() - 1);
        EXPECT_EQ(g["gps_link"], cursor >= 3 ? cursor - 3 : 0) << k;
        if (k > 0) {
            // Differences of consecutive records, pushed 0.005 away from zero.
            const double d = (w.gx - written[k - 1].gx) / 1000.0;
            const double expectedGx = d > 0 ? d + 0.005 : d < 0 ? d - 0.005 : 0.0;
            EXPECT_NEAR(g["gx"].get<double>(), expectedGx, 1e-6) << k;
        } else {
            EXPECT_EQ(g["gx"], 0.0);
        }
    }
    // The impact at 0.5 s is marked on the X axis and stands out of the noise.
    EXPECT_EQ(track["g"][5]["axis"], 1);
    EXPECT_GT(track["max_g"].get<double>(), 0.3);
}

TEST_F(CliOnRecording, FramesOptionAndRefusals) {
    const json shorter = Cli("track " + Quote(*file_) + " --frames 20");
    EXPECT_EQ(shorter["frame_index"].size(), 20u);
    // Fewer frames than samples: the index moves two samples at a time (one at a time it
    // would show sample 5 at frame 14).
    EXPECT_EQ(shorter["frame_index"][14], 6);

    for (const std::string& args :
         {std::string("info /nonexistent/001_000000_A.MP4"), std::string("track /nonexistent"),
          "track " + Quote(*file_) + " --frames 0", std::string("info"),
          std::string("nosuchcommand")}) {
        const auto r = RunCommand(std::string(TAVRILO_CLI) + " " + args);
        EXPECT_NE(r.status, 0) << args;
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    }
    // Not an MP4 at all: a clear error, no crash.
    const fs::path junk = *dir_ / "junk.MP4";
    std::ofstream(junk) << std::string(5000, 'x');
    const auto r = RunCommand(std::string(TAVRILO_CLI) + " track " + Quote(junk));
    EXPECT_EQ(r.status >> 8, 1) << r.output;
}

TEST_F(CliOnRecording, FilesThatCannotBePlayedSayWhyInOneLine) {
    // What users' cards and folders hold besides whole recordings, written by FFmpeg here.
    const fs::path whole = *dir_ / "whole.mp4";
    ASSERT_EQ(RunCommand("ffmpeg -v error -y -f lavfi -i testsrc2=size=64x64:rate=30 -t 2 "
                         "-c:v libx264 " +
                         Quote(whole))
                  .status,
              0);
    const fs::path empty = *dir_ / "empty.mp4";
    std::ofstream(empty).close();
    const fs::path cut = *dir_ / "cut.mp4";
    fs::copy_file(whole, cut);
    fs::resize_file(cut, fs::file_size(whole) / 2);  // the movie header is written last
    const fs::path fragmented = *dir_ / "fragmented.mp4";
    ASSERT_EQ(RunCommand("ffmpeg -v error -y -i " + Quote(whole) +
                         " -c copy -movflags frag_keyframe+empty_moov " + Quote(fragmented))
                  .status,
              0);
    const fs::path sound = *dir_ / "sound.m4a";
    ASSERT_EQ(
        RunCommand("ffmpeg -v error -y -f lavfi -i sine -t 1 -c:a aac " + Quote(sound)).status, 0);
    const std::pair<fs::path, std::string> cases[] = {
        {empty, "the file is empty"},
        {cut, "the file has no movie header (moov): it was cut short while recording"},
        {fragmented, "the file is a fragmented MP4, which this viewer does not play"},
        {sound, "the file has no video track"},
        {*dir_ / "missing.mp4", "the file cannot be opened"},
    };
    for (const auto& [file, reason] : cases) {
        for (const std::string command : {"info", "track", "render"}) {
            const std::string extra = command == "render" ? " --frame 0 -o /dev/null" : "";
            const auto r = RunCommand(std::string(TAVRILO_CLI) + " " + command + " " + Quote(file) +
                                      extra + " 2>&1 >/dev/null | grep tavrilo-cli");
            EXPECT_EQ(r.output,
                      "tavrilo-cli " + command + ": " + file.string() + ": " + reason + "\n")
                << command;
            // The command's own status, not grep's.
            EXPECT_NE(
                RunCommand(std::string(TAVRILO_CLI) + " " + command + " " + Quote(file) + extra)
                    .status,
                0)
                << command << " " << file;
        }
    }
    // The whole file, without the recorder's sensor box, still reads: 60 pictures, no records.
    const json track = Cli("track " + Quote(whole));
    EXPECT_EQ(track["frames"], 60);
    EXPECT_TRUE(track["gps"].empty());
}

}  // namespace

namespace {

TEST(CliScan, CardInTheRecordersOrderWithItsTree) {
    const fs::path card =
        fs::temp_directory_path() / ("tavrilo-scan-test-" + std::to_string(getpid()));
    fs::remove_all(card);
    const auto gen = RunCommand(std::string(TAVRILO_GEN) + " card " + Quote(card) +
                                " --size 64 --seconds 1 --folders 2 --per-folder 2");
    ASSERT_EQ(gen.status, 0) << gen.output;
    // A recording at the card's top, one three levels down, one four levels down (not found).
    const fs::path sample = card / "20260601_001" / "001_100000_A.MP4";
    fs::copy_file(sample, card / "050_000000_M.MP4");
    fs::create_directories(card / "a" / "b" / "c" / "d");
    fs::copy_file(sample, card / "a" / "b" / "c" / "060_000000_G.MP4");
    fs::copy_file(sample, card / "a" / "b" / "c" / "d" / "070_000000_G.MP4");

    const auto r = RunCommand(std::string(TAVRILO_CLI) + " scan " + Quote(card) + " --tree");
    ASSERT_EQ(r.status, 0) << r.output;
    const json out = json::parse(r.output);
    std::vector<std::string> paths;
    for (const json& e : out["recordings"]) {
        paths.push_back(fs::relative(e["path"].get<std::string>(), card).string());
    }
    // Sub-folders first in name order, depth first, then the card's own recordings.
    EXPECT_EQ(paths, (std::vector<std::string>{
                         "20260601_001/001_100000_A.MP4", "20260601_001/002_100001_G.MP4",
                         "20260601_002/001_100002_A.MP4", "20260601_002/002_100003_M.MP4",
                         "a/b/c/060_000000_G.MP4", "050_000000_M.MP4"}));
    EXPECT_EQ(out["recordings"][1]["event_label"], "衝撃");
    EXPECT_EQ(out["recordings"][1]["list_index"], 1);
    EXPECT_EQ(out["recordings"][5]["serial"], 5);
    EXPECT_EQ(out["recordings"][0]["group_key"], 0);
    EXPECT_EQ(out["recordings"][0]["file_size"], fs::file_size(sample));

    // A card's tree holds its date folders with their kinds, not the plain folder "a".
    ASSERT_EQ(out["tree"].size(), 2u);
    EXPECT_EQ(out["tree"][0]["name"], "20260601_001");
    EXPECT_EQ(out["tree"][0]["depth"], 1);
    EXPECT_EQ(out["tree"][0]["kinds"], 0x01 | 0x04);
    EXPECT_EQ(out["tree"][1]["name"], "20260601_002");
    EXPECT_EQ(out["tree"][1]["kinds"], 0x01 | 0x02);

    // The same folder opened as a folder source: one item named after it, date folders below.
    const auto asFolder =
        RunCommand(std::string(TAVRILO_CLI) + " scan " + Quote(card) + " --tree --as folder");
    ASSERT_EQ(asFolder.status, 0) << asFolder.output;
    const json tree = json::parse(asFolder.output)["tree"];
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree[0]["name"], card.filename().string());
    ASSERT_EQ(tree[0]["children"].size(), 2u);
    EXPECT_EQ(tree[0]["children"][1]["name"], "20260601_002");
    fs::remove_all(card);

    const auto missing = RunCommand(std::string(TAVRILO_CLI) + " scan /nonexistent/card");
    EXPECT_NE(missing.status, 0);
}

}  // namespace
