// Joins of generated recordings, checked by FFmpeg's programs (an independent reader) and by
// our own track reader.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/support/process.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using tavrilo::test::Quote;
using tavrilo::test::RunCommand;

struct Counts {
    int video = 0, audio = 0;
    double duration = 0;
};

Counts Probe(const fs::path& file) {
    const auto r = RunCommand(
        "ffprobe -v error -show_entries stream=codec_type,nb_frames:format=duration "
        "-of json " +
        Quote(file));
    const json j = json::parse(r.output);
    Counts c;
    for (const json& s : j["streams"]) {
        (s["codec_type"] == "video" ? c.video : c.audio) =
            std::stoi(s["nb_frames"].get<std::string>());
    }
    c.duration = std::stod(j["format"]["duration"].get<std::string>());
    return c;
}

json Cli(const std::string& args) {
    const auto r = RunCommand("TZ=UTC0 " + std::string(TAVRILO_CLI) + " " + args + " 2>/dev/null");
    EXPECT_EQ(r.status, 0) << args << "\n" << r.output;
    return json::parse(r.output);
}

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        names.push_back(e.path().filename().string() + ":" +
                        std::to_string(fs::file_size(e.path())));
    }
    std::sort(names.begin(), names.end());
    return names;
}

class JoinGenerated : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ =
            new fs::path(fs::temp_directory_path() / ("tavrilo-join-" + std::to_string(getpid())));
        fs::create_directories(*dir_ / "out");
        // A drive cut into ten consecutive pieces, as the recorder writes them.
        const auto r = RunCommand(std::string(TAVRILO_GEN) + " card " + Quote(*dir_ / "card") +
                                  " --size 96 --seconds 1 --folders 1 --per-folder 10 --seed 4");
        ASSERT_EQ(r.status, 0) << r.output;
        for (const auto& e : fs::directory_iterator(*dir_ / "card" / "20260601_001")) {
            if (e.path().filename().string().size() == 16 &&
                e.path().filename().string() != "999_235959_A.MP4") {
                inputs_->push_back(e.path());
            }
        }
        std::sort(inputs_->begin(), inputs_->end());
    }
    static void TearDownTestSuite() {
        fs::remove_all(*dir_);
        delete dir_;
    }
    static std::string Inputs(size_t n) {
        std::string s;
        for (size_t i = 0; i < n; ++i) {
            s += " " + Quote((*inputs_)[i]);
        }
        return s;
    }

    // Joins the first n pieces and checks the result against the pieces.
    static void CheckJoin(size_t n) {
        const fs::path out = *dir_ / "out" / ("joined" + std::to_string(n) + ".MP4");
        const auto r = RunCommand(std::string(TAVRILO_CLI) + " join " + Quote(out) + Inputs(n));
        ASSERT_EQ(r.status, 0) << r.output;

        // FFmpeg decodes every frame without a complaint.
        const auto decode = RunCommand("ffmpeg -v error -xerror -i " + Quote(out) + " -f null -");
        EXPECT_EQ(decode.status, 0) << decode.output;
        EXPECT_EQ(decode.output, "");

        Counts sum;
        std::vector<int> pieceStarts;
        for (size_t i = 0; i < n; ++i) {
            const Counts c = Probe((*inputs_)[i]);
            pieceStarts.push_back(sum.video);
            sum.video += c.video;
            sum.audio += c.audio;
            sum.duration += c.duration;
        }
        const Counts joined = Probe(out);
        EXPECT_EQ(joined.video, sum.video);
        EXPECT_EQ(joined.audio, sum.audio);
        EXPECT_NEAR(joined.duration, sum.duration, 0.002 * static_cast<double>(n));

        // The first frame of every piece is a key frame, as FFmpeg reads the packets.
        const auto packets = RunCommand(
            "ffprobe -v error -select_streams v -show_entries packet=flags "
            "-of csv=p=0 " +
            Quote(out));
        std::vector<std::string> flags;
        std::stringstream lines(packets.output);
        for (std::string line; std::getline(lines, line);) {
            flags.push_back(line);
        }
        ASSERT_EQ(flags.size(), static_cast<size_t>(sum.video));
        for (int start : pieceStarts) {
            EXPECT_EQ(flags[static_cast<size_t>(start)].front(), 'K') << "frame " << start;
        }

        // Our own reader sees one drive: every piece's records in order, the first camera block.
        const json joinedTrack = Cli("track " + Quote(out));
        std::vector<json> expected;
        for (size_t i = 0; i < n; ++i) {
            const json piece = Cli("track " + Quote((*inputs_)[i]));
            for (const json& g : piece["gps"]) {
                expected.push_back(g);
            }
        }
        ASSERT_EQ(joinedTrack["gps"].size(), expected.size());
        for (size_t k = 0; k < expected.size(); ++k) {
            EXPECT_EQ(joinedTrack["gps"][k]["lat"], expected[k]["lat"]) << k;
            EXPECT_EQ(joinedTrack["gps"][k]["time"], expected[k]["time"]) << k;
            EXPECT_EQ(joinedTrack["gps"][k]["index"], static_cast<int>(k));
        }
        const json info = Cli("info " + Quote(out));
        const json first = Cli("info " + Quote((*inputs_)[0]));
        EXPECT_EQ(info["camera"], first["camera"]);
        EXPECT_EQ(info["is_recording_file"], true);
        EXPECT_EQ(info["sample_count"], sum.video);
    }

    static fs::path* dir_;
    static std::vector<fs::path>* inputs_;
};
fs::path* JoinGenerated::dir_ = nullptr;
std::vector<fs::path>* JoinGenerated::inputs_ = new std::vector<fs::path>();

TEST_F(JoinGenerated, TwoPieces) {
    CheckJoin(2);
}

TEST_F(JoinGenerated, TenPieces) {
    ASSERT_EQ(inputs_->size(), 10u);
    CheckJoin(10);
}

TEST_F(JoinGenerated, FailedJoinsLeaveTheFolderAsItWas) {
    const fs::path out = *dir_ / "out";
    fs::create_directories(out);
    std::ofstream(out / "keep.MP4") << "an existing file of that name";
    const auto before = Listing(out);

    // An existing target without --force.
    auto r = RunCommand(std::string(TAVRILO_CLI) + " join " + Quote(out / "keep.MP4") + Inputs(2));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("already exists"), std::string::npos) << r.output;

    // A bad input in the middle.
    const fs::path junk = *dir_ / "junk.MP4";
    std::ofstream(junk) << std::string(4000, 'j');
    r = RunCommand(std::string(TAVRILO_CLI) + " join " + Quote(out / "bad.MP4") + " " +
                   Quote((*inputs_)[0]) + " " + Quote(junk) + " " + Quote((*inputs_)[1]));
    EXPECT_NE(r.status, 0);

    // A recording of another size cannot follow.
    const fs::path other = *dir_ / "other.MP4";
    ASSERT_EQ(RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(other) +
                         " --size 64 --seconds 1")
                  .status,
              0);
    r = RunCommand(std::string(TAVRILO_CLI) + " join " + Quote(out / "mixed.MP4") + " " +
                   Quote((*inputs_)[0]) + " " + Quote(other));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("codec settings"), std::string::npos) << r.output;

    // The disk fills up while writing (a file-size limit stands in for a full disk).
    r = RunCommand("ulimit -f 64; " + std::string(TAVRILO_CLI) + " join " +
                   Quote(out / "full.MP4") + Inputs(10));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("failed"), std::string::npos) << r.output;

    // Nothing was added, nothing was touched, no temporary was left.
    EXPECT_EQ(Listing(out), before);
}

TEST_F(JoinGenerated, RefusesWithTooLittleFreeSpace) {
    // A small file system whose free space is below the inputs' total: refused before
    // anything is written. Mounting needs privileges a developer's machine may not give.
    const fs::path mount = *dir_ / "tiny";
    fs::create_directories(mount);
    if (RunCommand("mount -t tmpfs -o size=64k tmpfs " + Quote(mount)).status != 0) {
        GTEST_SKIP()
            << "cannot mount a small tmpfs here; the file-size limit case covers a full disk";
    }
    struct Unmount {
        fs::path at;
        ~Unmount() { RunCommand("umount " + Quote(at)); }
    } unmount{mount};
    uint64_t total = 0;
    for (const fs::path& p : *inputs_) {
        total += fs::file_size(p);
    }
    ASSERT_GT(total, 64u * 1024);
    const auto r =
        RunCommand(std::string(TAVRILO_CLI) + " join " + Quote(mount / "j.MP4") + Inputs(10));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("not enough free space"), std::string::npos) << r.output;
    EXPECT_TRUE(fs::is_empty(mount));
}

}  // namespace
