// Frame exactness on MP4 and MOV files that FFmpeg writes the way users' files come: other
// timescales and frame rates, B-frames, H.265 with its defaults, a variable frame rate, a cut
// with an edit list. The generator's frames carry their number in a strip; FFmpeg re-encodes
// them, and its own decode says which picture is frame N. The frame table, the frame reader,
// `render` and the engine's seeks and steps must all agree with it.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <numeric>

#include "recordings/frame_times.h"
#include "tests/video/playback_fixture.h"
#include "video/input/frame_reader.h"

namespace tavrilo {
namespace {

using namespace tavrilo::test;
using nlohmann::json;

constexpr int kSize = 256;  // the playback fixture's view: its snapshots read back at this size

struct Variant {
    const char* name;           // file name, its extension the container
    const char* generator;      // the source's options
    const char* encode;         // FFmpeg's options between input and output
    const char* cut = nullptr;  // where a copy without re-encoding starts (an edit list)
};

// Sources are lossless so that the strips survive every re-encoding.
const Variant kVariants[] = {
    {"x264-bframes-15360.mp4", "--fps 30", "-c:v libx264 -preset veryfast -bf 3"},
    {"x264-30000.mp4", "--fps 29.97",
     "-c:v libx264 -preset veryfast -r 30000/1001 -video_track_timescale 30000"},
    {"x264-noB-90000.mp4", "--fps 29.97",
     "-c:v libx264 -preset veryfast -bf 0 -r 30000/1001 -video_track_timescale 90000"},
    {"x264-micro-27.5.mp4", "--fps 27.5",
     "-c:v libx264 -preset veryfast -video_track_timescale 1000000"},
    {"x265-defaults-25.mp4", "--fps 25", "-c:v libx265 -x265-params log-level=error"},
    {"x265-open-gop.mp4", "--fps 30",
     "-c:v libx265 -x265-params log-level=error:keyint=20:min-keyint=20:open-gop=1:bframes=4"},
    {"x264-open-gop.mp4", "--fps 30",
     "-c:v libx264 -preset veryfast -bf 3 -x264-params open-gop=1:keyint=15:min-keyint=15"},
    {"x264-vfr.mov", "--fps 30",
     "-vf setpts='if(lt(N\\,30)\\,2*N\\,30+N)/30/TB' -vsync passthrough -c:v libx264 "
     "-preset veryfast -bf 2"},
    // Cut without re-encoding 1.3 s in: the file starts at the key frame before, and its edit
    // list hides the pictures up to the cut.
    {"x264-cut.mp4", "--fps 30 --seconds 4", "-c:v libx264 -preset veryfast -g 30", "1.3"},
};

fs::path Folder() {
    const fs::path dir =
        fs::temp_directory_path() / ("tavrilo-foreign-" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir;
}

// Writes a variant once per test run; empty when FFmpeg could not.
fs::path Write(const Variant& v) {
    const fs::path out = Folder() / v.name;
    if (fs::exists(out)) {
        return out;
    }
    const fs::path source = Folder() / (std::string("source-") + v.name + ".MP4");
    auto r = RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(source) + " --size " +
                        std::to_string(kSize) + " --seconds 3 --qp 0 --no-audio " + v.generator);
    EXPECT_EQ(r.status, 0) << r.output;
    const fs::path encoded = v.cut == nullptr ? out : fs::path(out.string() + ".whole.mp4");
    r = RunCommand("ffmpeg -v error -y -i " + Quote(source) + " " + v.encode + " " +
                   Quote(encoded));
    EXPECT_EQ(r.status, 0) << r.output;
    if (v.cut != nullptr && r.status == 0) {
        r = RunCommand("ffmpeg -v error -y -ss " + std::string(v.cut) + " -i " + Quote(encoded) +
                       " -c copy " + Quote(out));
        EXPECT_EQ(r.status, 0) << r.output;
    }
    return r.status == 0 ? out : fs::path();
}

// FFmpeg's own decode: each picture's number (from its strip) and time, in presentation order.
struct Decoded {
    std::vector<int64_t> strips;
    std::vector<int64_t> times100ns;
};

Decoded DecodeWithFfmpeg(const fs::path& file) {
    Decoded d;
    const fs::path raw = file.string() + ".gray";
    auto r = RunCommand("ffmpeg -v error -y -i " + Quote(file) + " -f rawvideo -pix_fmt gray " +
                        "-fps_mode passthrough " + Quote(raw));
    EXPECT_EQ(r.status, 0) << r.output;
    std::ifstream in(raw, std::ios::binary);
    std::vector<uint8_t> frame(kSize * kSize);
    while (in.read(reinterpret_cast<char*>(frame.data()),
                   static_cast<std::streamsize>(frame.size()))) {
        const auto n = gen::ReadFrameStrip(frame.data(), kSize, kSize, kSize);
        d.strips.push_back(n ? static_cast<int64_t>(*n) : -1);
    }
    r = RunCommand(
        "ffprobe -v quiet -select_streams v -show_entries "
        "frame=best_effort_timestamp:stream=time_base -of json " +
        Quote(file));
    EXPECT_EQ(r.status, 0) << r.output;
    const json j = json::parse(r.output.substr(r.output.find('{')));
    const std::string base = j["streams"][0]["time_base"];
    const int64_t den = std::stoll(base.substr(base.find('/') + 1));
    for (const json& f : j["frames"]) {
        const int64_t ts = f["best_effort_timestamp"];
        d.times100ns.push_back((ts * 10'000'000 + den / 2) / den);
    }
    return d;
}

// The frames worth a seek: the ends, every key frame's neighbours and a stride through.
std::vector<int64_t> FramesToVisit(int64_t count) {
    std::vector<int64_t> frames = {0, 1, 2, count / 2, count - 2, count - 1};
    for (int64_t n = 17; n < count - 2; n += 19) {
        frames.push_back(n);
    }
    for (int64_t n : {19, 20, 21, 39, 40, 41, 59, 60, 61}) {
        if (n < count) {
            frames.push_back(n);
        }
    }
    return frames;
}

void PrintTo(const Variant& v, std::ostream* os) {
    *os << v.name;
}

class ForeignFiles : public ::testing::TestWithParam<Variant> {
  protected:
    static void TearDownTestSuite() { fs::remove_all(Folder()); }
};

TEST_P(ForeignFiles, TheFrameTableAndTheFrameReaderAgreeWithFfmpegOnEveryPicture) {
    const fs::path file = Write(GetParam());
    ASSERT_FALSE(file.empty());
    const Decoded ff = DecodeWithFfmpeg(file);
    ASSERT_GT(ff.strips.size(), 60u);
    // Each source picture came through once, in order: FFmpeg's picture N carries number N
    // (N plus the pictures cut off before the first).
    EXPECT_EQ(ff.strips[0] == 0, GetParam().cut == nullptr);
    for (size_t n = 0; n < ff.strips.size(); ++n) {
        ASSERT_EQ(ff.strips[n], ff.strips[0] + static_cast<int64_t>(n)) << "FFmpeg's picture " << n;
    }

    const VideoTrackInfo video = ReadVideoTrack(file.string());
    ASSERT_TRUE(video.times) << video.error.check;
    const FrameTimes& times = *video.times;
    ASSERT_EQ(times.count(), static_cast<int64_t>(ff.strips.size()));
    EXPECT_EQ(video.width, kSize);
    for (int64_t n = 0; n < times.count(); ++n) {
        EXPECT_EQ(times.Start100ns(n), ff.times100ns[static_cast<size_t>(n)]) << "frame " << n;
    }
    // The last picture ends where FFmpeg says the video ends (a cut's length is its edit's,
    // which starts up to a picture before the first picture shown).
    const auto probe =
        RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(file));
    EXPECT_NEAR(static_cast<double>(times.End100ns(times.count() - 1)) / 1e7,
                std::stod(probe.output),
                GetParam().cut == nullptr ? 0.002 : times.MeanDurationMs() / 1000 + 0.002);

    FrameReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(file.string(), &error)) << error;
    ASSERT_EQ(reader.frameCount(), times.count());
    auto strip = [](const std::optional<VideoFrame>& f) -> int64_t {
        if (!f) {
            return -2;
        }
        const auto n = gen::ReadFrameStrip(f->planes[0], f->strides[0], f->width, f->height);
        return n ? static_cast<int64_t>(*n) : -1;
    };
    // Every picture by a seek of its own, the next one by a step forward, the one before by a
    // seek back.
    for (int64_t n = 0; n < times.count(); ++n) {
        const auto f = reader.ReadFrame(n, &error);
        ASSERT_TRUE(f.has_value()) << "frame " << n << ": " << error;
        EXPECT_EQ(f->index, n);
        EXPECT_EQ(strip(f), ff.strips[static_cast<size_t>(n)]) << "frame " << n;
        if (n + 1 < times.count()) {
            EXPECT_EQ(strip(reader.NextFrame(&error)), ff.strips[static_cast<size_t>(n + 1)])
                << "after " << n;
        }
        if (n > 0) {
            EXPECT_EQ(strip(reader.ReadFrame(n - 1, &error)), ff.strips[static_cast<size_t>(n - 1)])
                << "before " << n;
        }
    }
}

class ForeignPlayback : public Playback, public ::testing::WithParamInterface<Variant> {
  protected:
    static void TearDownTestSuite() { fs::remove_all(Folder()); }
};

TEST_P(ForeignPlayback, SeeksAndStepsInTheEngineShowFfmpegsPictureAndRenderToo) {
    const fs::path file = Write(GetParam());
    ASSERT_FALSE(file.empty());
    const Decoded ff = DecodeWithFfmpeg(file);
    Open(file);
    const int64_t count = ops.GetFrameCount(&ctx);
    ASSERT_EQ(count, static_cast<int64_t>(ff.strips.size()));
    EXPECT_EQ(ShownFrame(), ff.strips[0]);
    for (int64_t n : FramesToVisit(count)) {
        for (int64_t target : {n, n + 1, n - 1}) {  // the seek, a step on, a step back
            if (target < 0 || target >= count) {
                continue;
            }
            ASSERT_EQ(ops.SeekFrame(&ctx, target), 1);
            EXPECT_EQ(ShownFrame(), ff.strips[static_cast<size_t>(target)]) << "seek " << target;
            EXPECT_EQ(ops.GetPosition(&ctx), target) << "seek " << target;
        }
    }
    ops.CloseMovie(&ctx);

    // render: the ends, and a picture with the ones a step on and a step back.
    for (int64_t n : {int64_t{1}, count / 2, count / 2 + 1, count / 2 - 1, count - 1}) {
        const fs::path jpeg = Folder() / (std::string(GetParam().name) + ".jpg");
        const auto r =
            RunCommand(std::string(TAVRILO_CLI) + " render " + Quote(file) +
                       " --view flat --frame " + std::to_string(n) + " -o " + Quote(jpeg));
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(StripOfJpeg(jpeg), ff.strips[static_cast<size_t>(n)]) << "render --frame " << n;
    }
}

TEST_F(Playback, FortySecondsAtThirtyAreTwelveHundredDistinctPicturesStepByStep) {
    // The recorder's own timing (microseconds, 33333 a picture). Whole milliseconds made this
    // 1212 "frames", every hundredth step showing the same picture again.
    Open(Generate("forty.MP4", "--size 256 --seconds 40 --fps 30 --no-audio"));
    ASSERT_EQ(ops.GetFrameCount(&ctx), 1200);
    std::vector<int64_t> shown;
    for (int64_t n = 0; n < 1200; ++n) {
        // A step is a seek to the picture after the position, as the window's Right key does.
        const int32_t position = ops.GetPosition(&ctx);
        ASSERT_EQ(position, n == 0 ? 0 : n - 1);
        if (n > 0) {
            ASSERT_EQ(ops.SeekFrame(&ctx, position + 1), 1);
        }
        shown.push_back(ShownFrame());
    }
    std::vector<int64_t> expected(1200);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(shown, expected);
}

std::string VariantName(const ::testing::TestParamInfo<Variant>& info) {
    std::string name = info.param.name;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, ForeignFiles, ::testing::ValuesIn(kVariants), VariantName);
INSTANTIATE_TEST_SUITE_P(Corpus, ForeignPlayback, ::testing::ValuesIn(kVariants), VariantName);

}  // namespace
}  // namespace tavrilo
