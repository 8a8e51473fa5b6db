// Generated recordings checked by FFmpeg's own programs and by decoding: the layout the
// recorder writes, every frame decodable, the frame-index strip readable.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "tests/support/process.h"
#include "tools/gen/frame_strip.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using tavrilo::test::Quote;
using tavrilo::test::ReadAll;
using tavrilo::test::RunCommand;

uint32_t Be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

std::vector<std::string> TopLevelTypes(const std::vector<uint8_t>& bytes) {
    std::vector<std::string> types;
    for (size_t pos = 0; pos + 8 <= bytes.size();) {
        const uint32_t size = Be32(&bytes[pos]);
        types.emplace_back(reinterpret_cast<const char*>(&bytes[pos + 4]), 4);
        if (size < 8) {
            break;
        }
        pos += size;
    }
    return types;
}

// Decodes every video frame and reads its strip.
std::vector<int64_t> DecodeStrips(const fs::path& path) {
    std::vector<int64_t> frames;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        return frames;
    }
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> fmtGuard(
        fmt, [](AVFormatContext* f) { avformat_close_input(&f); });
    avformat_find_stream_info(fmt, nullptr);
    const int vs = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (vs < 0) {
        return frames;
    }
    const AVCodec* codec = avcodec_find_decoder(fmt->streams[vs]->codecpar->codec_id);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> ctx(
        avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
    avcodec_parameters_to_context(ctx.get(), fmt->streams[vs]->codecpar);
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        return frames;
    }
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&] {
        while (avcodec_receive_frame(ctx.get(), frame) >= 0) {
            const auto n = tavrilo::gen::ReadFrameStrip(frame->data[0], frame->linesize[0],
                                                        frame->width, frame->height);
            frames.push_back(n ? static_cast<int64_t>(*n) : -1);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == vs) {
            avcodec_send_packet(ctx.get(), pkt);
            drain();
        }
        av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx.get(), nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    return frames;
}

class SampleRecording : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new fs::path(fs::temp_directory_path() /
                            ("tavrilo-gen-test-" + std::to_string(getpid())));
        fs::create_directories(*dir_);
    }
    static void TearDownTestSuite() {
        fs::remove_all(*dir_);
        delete dir_;
    }
    static fs::path Generate(const std::string& name, const std::string& options) {
        const fs::path out = *dir_ / name;
        const auto r =
            RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(out) + " " + options);
        EXPECT_EQ(r.status, 0) << r.output;
        return out;
    }
    static fs::path* dir_;
};
fs::path* SampleRecording::dir_ = nullptr;

TEST_F(SampleRecording, FfprobeSeesTheStatedLayout) {
    const fs::path file = Generate("001_100000_G.MP4", "--size 160 --seconds 3 --fps 30 --kind G");
    const auto probe = RunCommand(
        "ffprobe -v error -count_frames -show_streams -show_format -of json " + Quote(file));
    ASSERT_EQ(probe.status, 0) << probe.output;
    const json info = json::parse(probe.output);
    ASSERT_EQ(info["streams"].size(), 2u);
    const json& video = info["streams"][0];
    EXPECT_EQ(video["codec_type"], "video");
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["time_base"], "1/1000000");
    EXPECT_EQ(video["width"], 160);
    EXPECT_EQ(video["height"], 160);
    EXPECT_EQ(video["nb_read_frames"], "90");
    EXPECT_EQ(video["avg_frame_rate"], "1000000/33333");
    EXPECT_EQ(info["streams"][1]["codec_type"], "audio");
    EXPECT_EQ(info["streams"][1]["codec_name"], "aac");

    // Every frame decodes without a complaint.
    const auto decode = RunCommand("ffmpeg -v error -xerror -i " + Quote(file) + " -f null -");
    EXPECT_EQ(decode.status, 0) << decode.output;
    EXPECT_EQ(decode.output, "");
}

TEST_F(SampleRecording, BoxesAreFtypMdatMoovGps0AndTheTailHoldsTheEndTag) {
    const fs::path file = Generate("001_100000_A.MP4", "--size 96 --seconds 2");
    const auto bytes = ReadAll(file);
    EXPECT_EQ(TopLevelTypes(bytes), (std::vector<std::string>{"ftyp", "mdat", "moov", "gps0"}));
    const std::string tail(bytes.end() - 85, bytes.end());
    EXPECT_NE(tail.find("CSOEND"), std::string::npos);
    // 20 records of 79 bytes behind the 40 framing bytes and the 8-byte header.
    const std::string all(bytes.begin(), bytes.end());
    const size_t gps0 = all.rfind("gps0") - 4;
    EXPECT_EQ(Be32(&bytes[gps0]), 8u + 40u + 20u * 79u);
    EXPECT_EQ(bytes[gps0 + 8 + 32] * 256 + bytes[gps0 + 8 + 33], 20);
    // The video track is the first one and has a sync-sample table.
    EXPECT_LT(all.find("vide"), all.find("soun"));
    EXPECT_NE(all.find("stss"), std::string::npos);
    EXPECT_EQ(all.find("ctts"), std::string::npos);
}

TEST_F(SampleRecording, StripReadsBackAsTheFrameNumberInEveryFrame) {
    const fs::path file = Generate("strip.MP4", "--size 192 --seconds 2 --fps 27.5 --no-audio");
    const auto frames = DecodeStrips(file);
    ASSERT_EQ(frames.size(), 55u);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i], static_cast<int64_t>(i));
    }
}

TEST_F(SampleRecording, H265AndDeterministicOutput) {
    const fs::path a = Generate("a.MP4", "--size 128 --seconds 1 --codec h265 --seed 3");
    const fs::path b = Generate("b.MP4", "--size 128 --seconds 1 --codec h265 --seed 3");
    const auto bytesA = ReadAll(a);
    EXPECT_FALSE(bytesA.empty());
    EXPECT_EQ(bytesA, ReadAll(b));
    const auto probe = RunCommand(
        "ffprobe -v error -select_streams v -show_entries stream=codec_name "
        "-of csv=p=0 " +
        Quote(a));
    EXPECT_EQ(probe.output, "hevc\n");
    const auto strips = DecodeStrips(a);
    ASSERT_EQ(strips.size(), 30u);
    EXPECT_EQ(strips.back(), 29);
}

TEST_F(SampleRecording, TheStreetSceneGivesTheSameBytesForTheSameOptions) {
    const std::string options = "--size 96 --seconds 2 --scene street --seed 3";
    const auto a = ReadAll(Generate("001_100000_A.MP4", options));
    const auto b = ReadAll(Generate("002_100000_A.MP4", options));
    ASSERT_GT(a.size(), 1000u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, ReadAll(Generate("003_100000_A.MP4", options + " --heading 90")));
}

TEST_F(SampleRecording, RefusesBadOptionsWithOneLine) {
    const auto r = RunCommand(std::string(TAVRILO_GEN) + " recording " + Quote(*dir_ / "x.MP4") +
                              " --size 33");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("--size must be even"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(*dir_ / "x.MP4"));
    for (const char* bad : {" card DIR --town --seconds 3", " recording x.MP4 --scene city"}) {
        const auto refused = RunCommand(std::string(TAVRILO_GEN) + bad);
        EXPECT_NE(refused.status, 0) << bad;
        EXPECT_EQ(std::count(refused.output.begin(), refused.output.end(), '\n'), 1)
            << refused.output;
    }
    EXPECT_FALSE(fs::exists("DIR"));
}

TEST_F(SampleRecording, CardHoldsDateFoldersOfConsecutiveRecordings) {
    const fs::path card = *dir_ / "card";
    const auto r = RunCommand(std::string(TAVRILO_GEN) + " card " + Quote(card) +
                              " --size 64 --seconds 1 --folders 2 --per-folder 3");
    ASSERT_EQ(r.status, 0) << r.output;
    std::vector<std::string> names;
    for (const auto& folder : {"20260601_001", "20260601_002"}) {
        ASSERT_TRUE(fs::is_directory(card / folder)) << folder;
        for (const auto& e : fs::directory_iterator(card / folder)) {
            names.push_back(std::string(folder) + "/" + e.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{
                         "20260601_001/001_100000_A.MP4", "20260601_001/002_100001_G.MP4",
                         "20260601_001/003_100002_A.MP4", "20260601_001/999_235959_A.MP4",
                         "20260601_001/notes.txt", "20260601_002/001_100003_M.MP4",
                         "20260601_002/002_100004_P.MP4", "20260601_002/003_100005_S.MP4"}));
    EXPECT_TRUE(fs::exists(card / "SYSTEM.INI"));
    // The two-part recording is the second of the second folder.
    const auto dMode = ReadAll(card / "20260601_002/002_100004_P.MP4");
    const std::string text(dMode.begin(), dMode.end());
    const size_t block = text.rfind("CSODAT") + 6;
    EXPECT_EQ(text[block + 18], 'D');
}

}  // namespace

namespace town {

json Cli(const std::string& command, const fs::path& file) {
    const auto r = RunCommand(std::string(TAVRILO_CLI) + " " + command + " " + Quote(file));
    EXPECT_EQ(r.status, 0) << r.output;
    return r.status == 0 ? json::parse(r.output) : json::object();
}

// The sample card's drive at a small frame size, read back by the viewer's own reader.
TEST_F(SampleRecording, TheTownCardIsAMorningsDriveWithItsEvents) {
    const fs::path card = *dir_ / "town";
    const auto r = RunCommand(std::string(TAVRILO_GEN) + " card " + Quote(card) +
                              " --town --size 48 --no-audio");
    ASSERT_EQ(r.status, 0) << r.output;
    const json scan = Cli("scan", card);
    ASSERT_EQ(scan["recordings"].size(), 11u);
    std::set<std::string> kinds, folders;
    double routeMetres = 0;
    std::optional<std::pair<double, double>> last;
    for (const json& rec : scan["recordings"]) {
        const fs::path path = rec["path"].get<std::string>();
        const std::string name = rec["name"];
        kinds.insert(rec["event_label"].get<std::string>());
        folders.insert(path.parent_path().filename().string());
        const json info = Cli("info", path);
        EXPECT_GE(info["video_seconds"].get<double>(), 29.9) << name;
        EXPECT_EQ(info["width"], 48);
        const json track = Cli("track", path);
        const json& gps = track["gps"];
        int withoutFix = 0, fastest = 0;
        for (const json& p : gps) {
            fastest = std::max(fastest, static_cast<int>(p["speed"].get<double>()));
            if (p["valid"] == 0) {
                ++withoutFix;
                continue;
            }
            const std::pair<double, double> at{p["lat"], p["lng"]};
            if (last) {
                routeMetres += std::hypot(
                    (at.first - last->first) * 111320.0,
                    (at.second - last->second) * 111320.0 * std::cos(at.first * M_PI / 180));
            }
            last = at;
        }
        const char kind = name[11];
        if (kind == 'G') {
            // A hard brake from town speed with the impact marked in the middle.
            EXPECT_GE(track["max_g"].get<double>(), 0.5);
            const auto& g = track["g"];
            const auto impact =
                std::find_if(g.begin(), g.end(), [](const json& s) { return s["axis"] == 1; });
            ASSERT_NE(impact, g.end());
            const auto k = static_cast<size_t>(impact - g.begin());
            EXPECT_GE(gps[k - 10]["speed"].get<double>(), 30) << k;
            EXPECT_EQ(gps[k + 20]["speed"].get<double>(), 0) << k;
        }
        if (kind == 'P' || kind == 'S') {
            EXPECT_EQ(fastest, 0) << name;
        } else if (name.starts_with("001") || name.starts_with("002")) {
            EXPECT_GE(fastest, 30) << name;
        }
        if (name == "001_100200_A.MP4") {
            EXPECT_EQ(withoutFix, 200);  // twenty seconds in a tunnel
        } else {
            EXPECT_EQ(withoutFix, 0) << name;
        }
    }
    EXPECT_EQ(folders, (std::set<std::string>{"20260601_001", "20260601_002", "20260601_003"}));
    EXPECT_EQ(kinds.size(), 7u);
    EXPECT_GT(routeMetres, 1800.0);                 // the tunnel's stretch is not in the fixes
    EXPECT_FALSE(fs::exists(card / "readme.txt"));  // nothing but the recorder's own files
}

}  // namespace town
