// Scanners over malformed and well-formed files built field by field.

#include "recordings/mp4_scan.h"

#include <gtest/gtest.h>

#include <functional>

#include "recordings/content_test.h"
#include "tests/support/mp4_bytes.h"

namespace tavrilo {
namespace {

using namespace tavrilo::test;

// A reader over bytes in memory: the scanners run on them as on a mapped file.
struct OpenReader {
    explicit OpenReader(const Bytes& bytes) : source(bytes) {
        reader.ScanMutex = &FindMutex();
        reader.OpenBytes(source, "memory");
    }
    MemorySource source;
    TrackReader reader;
    bool ok = true;
};

TEST(Scanners, MalformedInputsSayWhichCheckFailed) {
    const Bytes good = Recording(Gps0Payload({}), MoovWithStts(Stts({{30, 33333}}), 5000));
    using Kind = ParseError::Kind;
    struct Case {
        const char* what;
        std::function<void(Bytes&)> change;  // one field each
        bool frameDuration;                  // which scan: frame duration or movie length
        Kind kind;
        const char* check;
    };
    const size_t stts = BoxAt(good, "stts");
    const size_t mvhd = BoxAt(good, "mvhd");
    const std::vector<Case> cases = {
        {"stts entry count 0", [&](Bytes& b) { SetBe32(b, stts + 12, 0); }, true, Kind::kCorrupt,
         "no entries"},
        {"stts entry count past the box", [&](Bytes& b) { SetBe32(b, stts + 12, 200); }, true,
         Kind::kNotEnoughData, "run past"},
        {"mvhd timescale 0", [&](Bytes& b) { SetBe32(b, mvhd + 20, 0); }, false, Kind::kCorrupt,
         "timescale is 0"},
        {"file cut inside the mvhd box", [&](Bytes& b) { b.resize(mvhd + 22); }, false,
         Kind::kNotEnoughData, "cut short"},
    };
    for (const Case& c : cases) {
        Bytes bytes = good;
        c.change(bytes);
        OpenReader r(bytes);
        std::optional<float> value;
        const bool ok = c.frameDuration ? WalkFrameDuration(r.reader, &value)
                                        : ScanMovieSeconds(r.reader, &value);
        EXPECT_FALSE(ok) << c.what;
        EXPECT_FALSE(value.has_value()) << c.what;
        EXPECT_EQ(r.reader.LastError.kind, c.kind) << c.what;
        EXPECT_NE(r.reader.LastError.check.find(c.check), std::string::npos)
            << c.what << ": " << r.reader.LastError.check;
    }
    // The untouched file scans cleanly and leaves no error behind.
    OpenReader r(good);
    EXPECT_EQ(ReadFrameDurationMs(r.reader), 33.0f);
    EXPECT_EQ(ReadMovieSeconds(r.reader), 5.0f);
    EXPECT_EQ(r.reader.LastError.kind, Kind::kNone);
}

TEST(OpenMapped, MissingFileLeavesNoPath) {
    TrackReader reader;
    reader.Path = "old";
    EXPECT_FALSE(reader.OpenMapped("/nonexistent/tavrilo/001_000000_A.MP4"));
    EXPECT_EQ(reader.Path, "");
    EXPECT_FALSE(reader.OpenMapped("/tmp"));  // a directory is no file
}

TEST(FrameDuration, MeanOfTheEntryDeltasInWholeMilliseconds) {
    struct Case {
        std::vector<std::pair<uint32_t, uint32_t>> entries;
        float expected;
    };
    for (const Case& c : std::vector<Case>{
             {{{90, 33333}}, 33.0f},
             {{{90, 36364}}, 36.0f},
             // The mean is over entries, not samples, as the recorder's tools take it.
             {{{89, 33333}, {1, 33334}}, 33.0f},
             {{{1, 40000}, {1, 20000}}, 30.0f},
             {{{10, 999}}, 0.0f},
         }) {
        OpenReader r(Recording(Gps0Payload({}), MoovWithStts(Stts(c.entries))));
        ASSERT_TRUE(r.ok);
        const auto d = ReadFrameDurationMs(r.reader);
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(*d, c.expected);
        EXPECT_EQ(r.reader.FrameDurationMs, c.expected);
        EXPECT_EQ(r.reader.MatchCount, 1);
    }
}

TEST(FrameDuration, NoEntriesNoDuration) {
    OpenReader r(Recording(Gps0Payload({}), MoovWithStts(Stts({}))));
    EXPECT_FALSE(ReadFrameDurationMs(r.reader).has_value());
    // An entry count far beyond the box is refused rather than read past it.
    Bytes lying = Stts({{30, 33333}});
    lying[7] = 200;
    OpenReader r2(Recording(Gps0Payload({}), MoovWithStts(lying)));
    EXPECT_FALSE(ReadFrameDurationMs(r2.reader).has_value());
}

TEST(FrameDuration, OnlyTheFirstTrackIsSearched) {
    // The first track is audio with 1024-sample deltas at 48 kHz expressed in microseconds
    // (21333); the video track after it is never reached.
    const Bytes moov = Box(
        "moov",
        Cat({Box("trak", Box("mdia", Box("minf", Box("stbl", Box("stts", Stts({{10, 21333}})))))),
             Box("trak",
                 Box("mdia", Box("minf", Box("stbl", Box("stts", Stts({{10, 33333}}))))))}));
    OpenReader r(Recording(Gps0Payload({}), moov));
    EXPECT_EQ(ReadFrameDurationMs(r.reader), 21.0f);
}

TEST(MovieLength, MoovInsideMdatIsNeverMatched) {
    // The media data holds the bytes "moov" and "mvhd" with a bogus header behind them; the
    // scanner jumps over "mdat" and finds the real one.
    Bytes decoy = Text("xxxxmoovxxxxmvhd");
    Append(decoy, Mvhd(1, 999));
    Bytes ftyp = Text("isom0000");
    const Bytes file =
        Cat({Box("ftyp", ftyp), Box("mdat", decoy), Box("moov", Box("mvhd", Mvhd(1000, 61500))),
             Box("gps0", Gps0Payload({}))});
    OpenReader r(file);
    const auto seconds = ReadMovieSeconds(r.reader);
    ASSERT_TRUE(seconds.has_value());
    EXPECT_FLOAT_EQ(*seconds, 61.5f);
}

TEST(MovieLength, AbsentOrZeroTimescaleGivesNothing) {
    OpenReader none(Cat({Box("ftyp", Text("isom0000")), Box("mdat", Bytes(20, 0))}));
    EXPECT_FALSE(ReadMovieSeconds(none.reader).has_value());
    OpenReader zero(Cat({Box("ftyp", Text("isom0000")), Box("moov", Box("mvhd", Mvhd(0, 5)))}));
    EXPECT_FALSE(ReadMovieSeconds(zero.reader).has_value());
}

TEST(MovieLength, MdatWithASizeTooSmallIsScannedAsBytes) {
    // "mdat" with a size field below 8 cannot be jumped over; the scan steps on and ends.
    const Bytes file = Cat({BoxWithSize(4, "mdat", Text("moovmvhd")), Bytes(30, 0)});
    OpenReader r(file);
    EXPECT_FALSE(ReadMovieSeconds(r.reader).has_value());
}

int CountGps0Calls(TrackReader& reader, bool withMdat, bool* ok) {
    int calls = 0;
    ScanPattern gps0{0, "gps0", [&calls](TrackReader&, ByteView v) {
                         ++calls;
                         EXPECT_TRUE(v.Equals(0, "F104"));
                         return 0;
                     }};
    ScanPattern mdat{0, "mdat", {}};
    *ok = WalkTrack(reader, gps0, withMdat ? &mdat : nullptr);
    return calls;
}

TEST(WalkTrack, Gps0BeforeMdatIsNeverRead) {
    const Bytes file = Cat(
        {Box("ftyp", Text("isom0000")), Box("gps0", Gps0Payload({})), Box("mdat", Bytes(16, 0))});
    OpenReader r(file);
    bool ok = false;
    EXPECT_EQ(CountGps0Calls(r.reader, true, &ok), 0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(r.reader.MatchCount, 0);
    EXPECT_EQ(CountGps0Calls(r.reader, false, &ok), 1);
    EXPECT_TRUE(ok);
    EXPECT_EQ(r.reader.MatchCount, 1);
}

TEST(WalkTrack, UnsupportedSizesEndTheWalk) {
    for (uint32_t size : {0u, 1u, 7u}) {
        const Bytes file =
            Cat({Box("ftyp", Text("isom0000")), Box("mdat", Bytes(16, 0)),
                 BoxWithSize(size, "free", Bytes(8, 0)), Box("gps0", Gps0Payload({}))});
        OpenReader r(file);
        bool ok = false;
        EXPECT_EQ(CountGps0Calls(r.reader, true, &ok), 0) << size;
        EXPECT_TRUE(ok);
    }
}

TEST(WalkTrack, SizePastTheEndEndsTheWalk) {
    const Bytes file =
        Cat({Box("ftyp", Text("isom0000")), BoxWithSize(0x7FFFFFF0, "mdat", Bytes(16, 0))});
    OpenReader r(file);
    bool ok = false;
    EXPECT_EQ(CountGps0Calls(r.reader, true, &ok), 0);
    EXPECT_TRUE(ok);
}

TEST(WalkTrack, CallbackFailureFailsTheWalk) {
    OpenReader r(Recording(Gps0Payload({})));
    ScanPattern gps0{0, "gps0", [](TrackReader&, ByteView) { return -1; }};
    EXPECT_FALSE(WalkTrack(r.reader, gps0, nullptr));
    EXPECT_EQ(r.reader.MatchCount, 0);
}

TEST(WalkTrack, Gps0ViewEndsWithTheBox) {
    // A box that claims less than its records: the callback cannot see past the box.
    const Bytes payload = Gps0Payload({Record({}), Record({})});
    Bytes file = Recording(payload);
    const size_t gps0At = file.size() - payload.size() - 8;
    file[gps0At + 3] = static_cast<uint8_t>(8 + 40);  // size: framing only
    file[gps0At + 2] = 0;
    OpenReader r(file);
    size_t seen = 0;
    ScanPattern gps0{0, "gps0", [&seen](TrackReader&, ByteView v) {
                         seen = v.size();
                         return 0;
                     }};
    EXPECT_TRUE(WalkTrack(r.reader, gps0, nullptr));
    EXPECT_EQ(seen, 34u);
}

TEST(Scanners, CancelStopsTheScanAndIsConsumed) {
    OpenReader r(Recording(Gps0Payload({})));
    for (int which = 0; which < 4; ++which) {
        r.reader.Cancel = 1;
        ScanPattern p{0, "gps0", {}};
        ScanPattern stts{0, "stts", {}};
        ScanPattern moov{0, "moov", {}};
        bool ok = true;
        switch (which) {
            case 0:
                ok = FindFirstGps0(r.reader, p);
                break;
            case 1:
                ok = WalkTrack(r.reader, p, nullptr);
                break;
            case 2:
                ok = WalkPath(r.reader, stts);
                break;
            case 3:
                ok = FindAfter(r.reader, stts, &moov);
                break;
        }
        EXPECT_FALSE(ok) << which;
        EXPECT_EQ(r.reader.Cancel.load(), 0) << which;
        EXPECT_EQ(r.reader.LastError.kind, ParseError::Kind::kCancelled) << which;
    }
    // The next scan runs normally.
    ScanPattern p{0, "gps0", {}};
    EXPECT_TRUE(FindFirstGps0(r.reader, p));
    EXPECT_EQ(r.reader.MatchCount, 1);
}

TEST(ContentTest, EndTagInTheTailAndFtypAtFour) {
    const Bytes good = Recording(Gps0Payload({Record({})}));
    EXPECT_TRUE(IsRecordingFileContent(TempFile(good).path()));

    // Zero bytes in the tail read as spaces, so the tag is still found between them.
    Bytes zeros = good;
    zeros.insert(zeros.end(), 20, 0);
    EXPECT_TRUE(IsRecordingFileContent(TempFile(zeros).path()));
    // Too far from the end.
    Bytes far = good;
    far.insert(far.end(), 80, 'x');
    EXPECT_FALSE(IsRecordingFileContent(TempFile(far).path()));
    Bytes noFtyp = good;
    noFtyp[4] = 'X';
    EXPECT_FALSE(IsRecordingFileContent(TempFile(noFtyp).path()));
    // Short files fail whatever they hold.
    Bytes shortFile = Cat({Box("ftyp", Text("isom0000")), Bytes(200, ' '), Text("CSOEND")});
    EXPECT_FALSE(IsRecordingFileContent(TempFile(shortFile).path()));
    EXPECT_FALSE(IsRecordingFileContent("/nonexistent/file.MP4"));
    EXPECT_FALSE(IsRecordingFileContent("/tmp"));
}

}  // namespace
}  // namespace tavrilo
