// The frame table on movies built box by box: reordered pictures, edit lists, pictures whose
// data is not in the file, and tables that lie. FFmpeg-written files are checked against
// FFmpeg's own decode in tests/video/foreign_files_test.cpp.

#include "recordings/frame_times.h"

#include <gtest/gtest.h>

#include "tests/support/mp4_bytes.h"

namespace tavrilo {
namespace {

using namespace tavrilo::test;

Bytes Table(uint32_t version, const std::vector<std::pair<uint32_t, uint32_t>>& entries) {
    Bytes p = Stts(entries);
    p[0] = static_cast<uint8_t>(version);
    return p;
}

// "stsz" with one size for all `count` samples, or sizes of their own.
Bytes Sizes(uint32_t count, uint32_t uniform, const std::vector<uint32_t>& each = {}) {
    Bytes p(4, 0);
    Be32(p, uniform);
    Be32(p, count);
    for (uint32_t s : each) {
        Be32(p, s);
    }
    return p;
}

// "elst" version 0 with (segment duration, media time) entries.
Bytes Edits(const std::vector<std::pair<uint32_t, int32_t>>& entries) {
    Bytes p(4, 0);
    Be32(p, static_cast<uint32_t>(entries.size()));
    for (auto [duration, media] : entries) {
        Be32(p, duration);
        Be32(p, static_cast<uint32_t>(media));
        Be32(p, 0x00010000);
    }
    return p;
}

struct Track {
    std::vector<std::pair<uint32_t, uint32_t>> stts;
    std::vector<std::pair<uint32_t, uint32_t>> ctts;  // empty: none
    std::vector<std::pair<uint32_t, int32_t>> elst;   // empty: none
    uint32_t timescale = 90000;
    Bytes extra;  // more sample tables
};

Bytes Movie(const Track& t, const Bytes& mdat = Bytes(64, 0)) {
    Bytes tables = Box("stts", Stts(t.stts));
    if (!t.ctts.empty()) {
        Append(tables, Box("ctts", Table(0, t.ctts)));
    }
    Append(tables, t.extra);
    Bytes trak = VideoTrak(tables, t.timescale);
    if (!t.elst.empty()) {
        // The edit box goes before the media box, as writers put it.
        Bytes inner(trak.begin() + 8, trak.end());
        trak = Box("trak", Cat({Box("edts", Box("elst", Edits(t.elst))), inner}));
    }
    Bytes ftyp = Text("isom");
    Be32(ftyp, 512);
    return Cat({Box("ftyp", ftyp), Box("mdat", mdat),
                Box("moov", Cat({Box("mvhd", Mvhd(1000, 2000)), trak}))});
}

FrameTimes TimesOf(const Bytes& movie) {
    const VideoTrackInfo info = ReadVideoTrack(MemorySource(movie));
    EXPECT_TRUE(info.times.has_value()) << info.error.check;
    return info.times.value_or(FrameTimes());
}

std::vector<int64_t> Starts(const FrameTimes& t) {
    return t.starts();
}

TEST(FrameTimes, ReorderedPicturesAreNumberedInTheOrderTheyAreShown) {
    // I P B B in decoding order, shown I B B P; the edit starts at the first picture's time.
    Track t;
    t.stts = {{4, 3003}};
    t.ctts = {{1, 3003}, {1, 9009}, {2, 0}};
    t.elst = {{100, 3003}};
    const FrameTimes times = TimesOf(Movie(t));
    EXPECT_EQ(Starts(times), (std::vector<int64_t>{0, 3003, 6006, 9009}));
    EXPECT_EQ(times.count(), 4);
    EXPECT_EQ(times.Start100ns(1), 333667);  // 3003 / 90000 s, rounded to 100 ns
    EXPECT_EQ(times.End100ns(3), 1334667);   // the last picture lasts its decoding delta
    EXPECT_NEAR(times.MeanDurationMs(), 33.3667, 1e-4);
    // The picture shown at a time, and the one a decoded time names.
    EXPECT_EQ(times.FrameAt100ns(0), 0);
    EXPECT_EQ(times.FrameAt100ns(333666), 0);
    EXPECT_EQ(times.FrameAt100ns(333667), 1);
    EXPECT_EQ(times.FrameAt100ns(-5), 0);
    EXPECT_EQ(times.FrameAt100ns(1 << 30), 3);
    EXPECT_EQ(times.NearestFrame100ns(333667 - 100), 1);
    EXPECT_EQ(times.NearestFrame100ns(166000), 0);
    EXPECT_EQ(times.FrameAtOffsetMs(100), 2);
}

TEST(FrameTimes, AnEditStartingBetweenPicturesHidesTheLeadInAndStartsAtTheNextShown) {
    // Pictures every 1000 ticks; the edit starts at 2500: pictures 0, 1 and 2 are decoded
    // for the ones after them but never shown, and the timeline starts at picture 3.
    Track t;
    t.stts = {{6, 1000}};
    t.timescale = 30000;
    t.elst = {{100, 2500}};
    EXPECT_EQ(Starts(TimesOf(Movie(t))), (std::vector<int64_t>{0, 1000, 2000}));
    // Empty edits before it do not count as its start.
    t.elst = {{50, -1}, {100, 2000}};
    EXPECT_EQ(Starts(TimesOf(Movie(t))), (std::vector<int64_t>{0, 1000, 2000, 3000}));
    // Without an edit list the composition times stand as they are.
    t.elst = {};
    t.ctts = {{6, 2000}};
    EXPECT_EQ(Starts(TimesOf(Movie(t))).front(), 2000);
}

TEST(FrameTimes, PicturesWhoseDataIsNotInTheFileAreNotFrames) {
    // Four samples of 16 bytes in two chunks; the second chunk starts 40 bytes into the file,
    // so a file of 80 bytes holds samples 0, 1 and 2 whole and 3 only in part.
    auto movie = [](uint32_t chunk2, const Bytes& sizes) {
        Bytes stsc(4, 0);
        Be32(stsc, 1);
        Be32(stsc, 1);
        Be32(stsc, 2);  // two samples a chunk
        Be32(stsc, 1);
        Bytes stco(4, 0);
        Be32(stco, 2);
        Be32(stco, 0);
        Be32(stco, chunk2);
        Track t;
        t.stts = {{4, 1000}};
        t.extra = Cat({Box("stsz", sizes), Box("stsc", stsc), Box("stco", stco)});
        return Movie(t);
    };
    // Chunk offsets within the (small) file: every sample is there.
    EXPECT_EQ(TimesOf(movie(32, Sizes(4, 16))).count(), 4);
    // The second chunk lies past the end of the file: only the first two.
    const Bytes far = movie(1 << 20, Sizes(4, 16));
    EXPECT_EQ(TimesOf(far).count(), 2);
    // Its samples sized one by one: the same.
    EXPECT_EQ(TimesOf(movie(1 << 20, Sizes(4, 0, {16, 16, 16, 16}))).count(), 2);
    // Nothing of it there at all: no pictures.
    const Bytes none = movie(1 << 20, Sizes(4, 1 << 20));
    const VideoTrackInfo info = ReadVideoTrack(MemorySource(none));
    EXPECT_FALSE(info.times.has_value());
    EXPECT_EQ(info.error.check, "the video track has no pictures");
}

TEST(FrameTimes, TablesThatLieAreRefusedOrReadAsFarAsTheyGo) {
    Track t;
    t.stts = {{0xFFFFFFFF, 1}};  // four billion pictures
    VideoTrackInfo info = ReadVideoTrack(MemorySource(Movie(t)));
    EXPECT_FALSE(info.times.has_value());
    EXPECT_EQ(info.error.check, "the video claims more than 16777216 pictures");
    EXPECT_EQ(info.problem, VideoProblem::kDamaged);
    // A sample count above what "stsz" holds: the pictures "stsz" lists.
    t.stts = {{1000, 512}};
    t.extra = Box("stsz", Sizes(10, 8));
    EXPECT_EQ(TimesOf(Movie(t)).count(), 10);
    // A timescale of 0.
    t.timescale = 0;
    info = ReadVideoTrack(MemorySource(Movie(t)));
    EXPECT_EQ(info.error.check, "the video's timescale is 0");
    // An entry count that runs past the box.
    Bytes cut = Stts({{10, 512}});
    SetBe32(cut, 4, 5);
    const Bytes lying = Cat({Box("ftyp", Text("isom0000")), Box("mdat", Bytes(8, 0)),
                             Box("moov", VideoTrak(Box("stts", cut)))});
    info = ReadVideoTrack(MemorySource(lying));
    EXPECT_EQ(info.error.check, "the video's time table (stts) runs past its box");
    // A box claiming more than the file holds ends the list there, as a cut file does.
    Bytes truncated = Movie(Track{{{10, 512}}});
    truncated.resize(truncated.size() - 20);
    info = ReadVideoTrack(MemorySource(truncated));
    EXPECT_FALSE(info.times.has_value());
}

TEST(FrameTimes, UniformTablesAndTheEmptyOne) {
    const FrameTimes t = FrameTimes::Uniform(3, 1000000, 33333);
    EXPECT_EQ(Starts(t), (std::vector<int64_t>{0, 33333, 66666}));
    EXPECT_EQ(t.Duration100ns(), 999990);
    const FrameTimes none;
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.FrameAt100ns(0), -1);
    EXPECT_EQ(none.NearestFrame100ns(0), -1);
    EXPECT_EQ(none.Duration100ns(), 0);
    EXPECT_EQ(none.MeanDurationMs(), 0.0);
}

}  // namespace
}  // namespace tavrilo
