// Joins of generated recordings, checked by FFmpeg's programs (an independent reader) and by
// our own track reader.

#include <gtest/gtest.h>

#include <cmath>

#include <cctype>
#include <filesystem>
#include <fstream>
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

// The "gps0" box of a file, read straight from its bytes: the camera block and the records.
std::string Gps0Payload(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = bytes.rfind("gps0CSODAT");
    const size_t end = bytes.rfind("CSOEND");
    if (at == std::string::npos || end == std::string::npos || end < at + 40) {
        ADD_FAILURE() << "no sensor box in " << file;
        return {};
    }
    return bytes.substr(at + 10, end - at - 10);
}
std::string Gps0Camera(const fs::path& file) {
    return Gps0Payload(file).substr(0, 26);
}
std::string Gps0Records(const fs::path& file) {
    const std::string payload = Gps0Payload(file);
    return payload.size() < 28 ? std::string() : payload.substr(28);
}

// Joins `pieces` into `out` and checks the result against the pieces.
void CheckJoinOf(const std::vector<fs::path>& pieces, const fs::path& out) {
    std::string inputs;
    for (const fs::path& p : pieces) {
        inputs += " " + Quote(p);
    }
    const size_t n = pieces.size();
    const auto r = RunCommand(std::string(TAVRILO_CLI) + " join " + Quote(out) + inputs);
    ASSERT_EQ(r.status, 0) << r.output;

    // FFmpeg decodes every frame without a complaint.
    const auto decode = RunCommand("ffmpeg -v error -xerror -i " + Quote(out) + " -f null -");
    EXPECT_EQ(decode.status, 0) << decode.output;
    EXPECT_EQ(decode.output, "");

    Counts sum;
    std::vector<int> pieceStarts;
    for (size_t i = 0; i < n; ++i) {
        const Counts c = Probe(pieces[i]);
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

    // The sensor box holds every piece's records in order, under the first camera block.
    std::string records;
    for (const fs::path& p : pieces) {
        records += Gps0Records(p);
    }
    EXPECT_EQ(Gps0Records(out), records);
    EXPECT_EQ(Gps0Camera(out), Gps0Camera(pieces[0]));

    // Our own reader sees one drive, whatever clock the pieces' video was timed in.
    {
        const json joinedTrack = Cli("track " + Quote(out));
        std::vector<json> expected;
        for (size_t i = 0; i < n; ++i) {
            const json piece = Cli("track " + Quote(pieces[i]));
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
    }
    const json info = Cli("info " + Quote(out));
    const json first = Cli("info " + Quote(pieces[0]));
    EXPECT_EQ(info["camera"], first["camera"]);
    EXPECT_EQ(info["is_recording_file"], true);
    EXPECT_EQ(info["sample_count"], sum.video);

    // Decoded frames come out in presentation order: each piece's frames follow the last
    // piece's, every frame once.
    const auto frames = RunCommand(
        "ffprobe -v error -select_streams v -show_entries frame=pts "
        "-of csv=p=0 " +
        Quote(out));
    std::stringstream framesText(frames.output);
    long previous = -1;
    int count = 0;
    for (std::string line; std::getline(framesText, line);) {
        if (line.empty() || !std::isdigit(static_cast<unsigned char>(line[0]))) {
            continue;  // side data lines
        }
        const long pts = std::stol(line);
        ++count;
        EXPECT_GT(pts, previous) << "frame " << count;
        previous = pts;
    }
    EXPECT_EQ(count, sum.video);
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

    static void CheckJoin(size_t n) {
        const std::vector<fs::path> pieces(inputs_->begin(), inputs_->begin() + n);
        CheckJoinOf(pieces, *dir_ / "out" / ("joined" + std::to_string(n) + ".MP4"));
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

TEST_F(JoinGenerated, ProgressOnlyOnATerminal) {
    const fs::path out = *dir_ / "out";
    const std::string join = std::string(TAVRILO_CLI) + " join --force ";
    // Into a pipe or a file: the JSON result on stdout and nothing on stderr.
    auto r = RunCommand(join + Quote(out / "p1.MP4") + Inputs(3) + " 2>" + Quote(out / "err"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(fs::file_size(out / "err"), 0u);
    fs::remove(out / "err");
    // On a terminal (script gives the command one): one line rewritten in place, then ended.
    r = RunCommand("script -qec " + Quote(join + Quote(out / "p2.MP4") + Inputs(3)) + " /dev/null");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(" 66%\r 99%\r100%\r\n{"), std::string::npos) << r.output;
    fs::remove(out / "p1.MP4");
    fs::remove(out / "p2.MP4");
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

namespace {

// Clips written by the ffmpeg program with libx264 (its defaults use B-frames, so the files
// carry composition offsets and edit lists) and AAC, each given the recorder's sensor box
// afterwards: three consecutive pieces of 10, 10 and 6 seconds of one drive.
class JoinOtherEncoder : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tavrilo-join-ffmpeg-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // One clip; `video` is the encoder's part of the ffmpeg command line.
    fs::path Clip(const std::string& name, int seconds, int startSecond, const std::string& video,
                  int size = 128) {
        const fs::path file = dir_ / name;
        const std::string s = std::to_string(size);
        const auto encode = RunCommand(
            "ffmpeg -v error -y -f lavfi -i testsrc=size=" + s + "x" + s +
            ":rate=30 -f lavfi -i sine=frequency=440:sample_rate=48000 -t " +
            std::to_string(seconds) + " " + video + " -pix_fmt yuv420p -c:a aac " + Quote(file));
        EXPECT_EQ(encode.status, 0) << encode.output;
        char start[32];
        std::snprintf(start, sizeof start, "2026-06-01 10:00:%02d", startSecond);
        const auto sensors =
            RunCommand(std::string(TAVRILO_GEN) + " sensors " + Quote(file) + " --seconds " +
                       std::to_string(seconds) + " --size " + s + " --start '" + start + "'");
        EXPECT_EQ(sensors.status, 0) << sensors.output;
        return file;
    }
    std::vector<fs::path> Drive(const std::string& video) {
        return {Clip("001_100000_A.MP4", 10, 0, video), Clip("002_100010_A.MP4", 10, 10, video),
                Clip("003_100020_A.MP4", 6, 20, video)};
    }

    fs::path dir_;
};

// The times (seconds) of the 512-sample stretches of a file's sound that are nearly silent
// (under a tenth of the loudest), as FFmpeg decodes it. The clips' tone never stops, so only
// an AAC encoder's priming left in the timeline is silent.
std::vector<double> SilentStretches(const fs::path& file) {
    const fs::path raw = file.string() + ".raw";
    const auto r = RunCommand("ffmpeg -v error -y -i " + Quote(file) +
                              " -f s16le -ac 1 -ar 48000 " + Quote(raw));
    EXPECT_EQ(r.status, 0) << r.output;
    std::ifstream in(raw, std::ios::binary);
    std::vector<int16_t> samples;
    for (int16_t v; in.read(reinterpret_cast<char*>(&v), sizeof v);) {
        samples.push_back(v);
    }
    constexpr size_t kBlock = 512;
    std::vector<double> rms;
    for (size_t at = 0; at + kBlock <= samples.size(); at += kBlock) {
        double sum = 0;
        for (size_t k = at; k < at + kBlock; ++k) {
            sum += static_cast<double>(samples[k]) * samples[k];
        }
        rms.push_back(std::sqrt(sum / kBlock));
    }
    const double loudest = rms.empty() ? 0 : *std::max_element(rms.begin(), rms.end());
    std::vector<double> silent;
    // The last stretches hold the encoder's padding after the sound's end.
    for (size_t i = 0; i + 4 < rms.size(); ++i) {
        if (rms[i] < loudest / 10) {
            silent.push_back(static_cast<double>(i * kBlock) / 48000);
        }
    }
    EXPECT_GT(rms.size(), 100u);
    return silent;
}

TEST_F(JoinOtherEncoder, DefaultX264WithBFrames) {
    const auto pieces = Drive("-c:v libx264");
    // The pieces do carry composition offsets.
    ASSERT_EQ(RunCommand("grep -q ctts " + Quote(pieces[0])).status, 0);
    CheckJoinOf(pieces, dir_ / "joined.MP4");
    // Each piece's sound starts after its encoder's priming; joined, the priming of the inner
    // pieces stays out too: the tone goes on without a gap (it used to fall silent for 21 ms at
    // every join, and the sound to fall behind the pictures by as much).
    EXPECT_EQ(SilentStretches(pieces[1]), std::vector<double>{});
    EXPECT_EQ(SilentStretches(dir_ / "joined.MP4"), std::vector<double>{});
}

TEST_F(JoinOtherEncoder, DefaultX265WithItsDependencyTable) {
    const auto pieces = Drive("-c:v libx265 -x265-params log-level=error");
    // The pieces carry the per-sample dependency table that used to refuse the join.
    ASSERT_EQ(RunCommand("grep -q sdtp " + Quote(pieces[0])).status, 0);
    CheckJoinOf(pieces, dir_ / "joined.MP4");
    const auto joined = RunCommand("grep -c sdtp " + Quote(dir_ / "joined.MP4"));
    EXPECT_EQ(joined.output, "1\n");  // one table, the pieces' merged
}

TEST_F(JoinOtherEncoder, X264WithoutBFrames) {
    CheckJoinOf(Drive("-c:v libx264 -bf 0"), dir_ / "joined.MP4");
}

TEST_F(JoinOtherEncoder, OtherPictureSizeOrCodecIsRefusedAndNothingWritten) {
    const fs::path first = Clip("001_100000_A.MP4", 2, 0, "-c:v libx264");
    // The piece after the first, in turn of another size and of another codec.
    for (const auto& [video, size] :
         {std::pair{"-c:v libx264", 96}, std::pair{"-c:v mpeg4", 128}}) {
        const fs::path other = Clip("002_100002_A.MP4", 2, 2, video, size);
        const auto before = Listing(dir_);
        const auto r = RunCommand(std::string(TAVRILO_CLI) + " join " + Quote(dir_ / "joined.MP4") +
                                  " " + Quote(first) + " " + Quote(other));
        EXPECT_NE(r.status, 0) << video;
        EXPECT_NE(r.output.find("codec settings"), std::string::npos) << r.output;
        EXPECT_EQ(Listing(dir_), before);
    }
}

TEST_F(JoinOtherEncoder, TheWindowsRulesHoldOnTheCommandLine) {
    const fs::path a = Clip("001_100000_A.MP4", 1, 0, "-c:v libx264");
    const fs::path b = Clip("002_100001_A.MP4", 1, 1, "-c:v libx264");
    const fs::path c = Clip("003_100002_A.MP4", 1, 2, "-c:v libx264");
    const std::string join = std::string(TAVRILO_CLI) + " join " + Quote(dir_ / "joined.MP4");
    const auto before = Listing(dir_);
    const std::pair<std::string, std::string> refused[] = {
        {Quote(a) + " " + Quote(a), "is given twice"},
        {Quote(a) + " " + Quote(dir_ / "." / a.filename()), "is given twice"},
        {Quote(b) + " " + Quote(a), "001_100000_A.MP4 does not follow 002_100001_A.MP4"},
        {Quote(a) + " " + Quote(c), "003_100002_A.MP4 does not follow 001_100000_A.MP4"},
        {Quote(a), "a join needs two recordings or more"},
    };
    for (const auto& [inputs, why] : refused) {
        const auto r = RunCommand(join + " " + inputs);
        EXPECT_NE(r.status, 0) << inputs;
        EXPECT_NE(r.output.find(why), std::string::npos) << r.output;
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    }
    EXPECT_EQ(Listing(dir_), before);
    const auto r = RunCommand(join + " " + Quote(a) + " " + Quote(b) + " " + Quote(c));
    EXPECT_EQ(r.status, 0) << r.output;
}

}  // namespace
