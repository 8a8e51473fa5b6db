// The sensor records: bytes to samples, samples to frames.

#include "recordings/sensor_track.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "recordings/mp4_scan.h"
#include "tests/support/mp4_bytes.h"

namespace tavrilo {
namespace {

using namespace tavrilo::test;

ByteView View(const Bytes& b) {
    return ByteView(std::span<const uint8_t>(b.data(), b.size()));
}

// Runs a test body in a fixed time zone and restores the previous one.
class ZoneGuard {
  public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            old_ = old;
            hadOld_ = true;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (hadOld_) {
            setenv("TZ", old_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::string old_;
    bool hadOld_ = false;
};

TEST(Record, LatitudeIsDegreesAndMinutesWithTheSignByte) {
    const GpsSample north = ParseGpsRecord(View(Record({})), 0);
    EXPECT_NEAR(north.Latitude, 35.652057, 1e-6);
    EXPECT_DOUBLE_EQ(north.Latitude, 35 + 39.1234 / 60);
    EXPECT_DOUBLE_EQ(north.Longitude, 139 + 45.6789 / 60);
    EXPECT_EQ(north.Valid, 1);
    EXPECT_EQ(north.Speed, 42.0);
    EXPECT_EQ(north.Direction, 0.0);

    RecordText south;
    south.latitudeSign = '\0';
    south.longitudeSign = '\0';
    south.status = 'V';
    const GpsSample s = ParseGpsRecord(View(Record(south)), 3);
    EXPECT_DOUBLE_EQ(s.Latitude, -(35 + 39.1234 / 60));
    EXPECT_DOUBLE_EQ(s.Longitude, -(139 + 45.6789 / 60));
    EXPECT_EQ(s.Valid, 0);
    EXPECT_EQ(s.Index, 3);
    EXPECT_EQ(s.Frame, 300);
}

TEST(Record, TextNumbersFollowAtofRules) {
    RecordText r;
    r.latitude = " 512.5xyz";  // leading blank allowed, reading stops at 'x'
    r.speed = "12.5";
    r.longitude = "garbage!!!";  // nothing readable: 0
    const GpsSample s = ParseGpsRecord(View(Record(r)), 0);
    EXPECT_DOUBLE_EQ(s.Latitude, 5 + 12.5 / 60);
    EXPECT_DOUBLE_EQ(s.Speed, 12.5);
    EXPECT_DOUBLE_EQ(s.Longitude, 0.0);
}

TEST(RecordTime, CorrectionMovesTheClockAndStarMeansNone) {
    for (const char* name : {"JST-9", "UTC0", "America/New_York", "Europe/London",
                             "Australia/Sydney", "AEST-10AEDT,M10.1.0,M4.1.0/3"}) {
        SCOPED_TRACE(name);
        ZoneGuard zone(name);
        RecordText r;
        r.clock = "240229235958";
        EXPECT_EQ(FormatSystemTime(DecodeRecordTime(View(Record(r)))), "2024-02-29 23:59:58");
        r.correction = "-05";
        EXPECT_EQ(FormatSystemTime(DecodeRecordTime(View(Record(r)))), "2024-02-29 23:59:53");
        r.correction = "+03";
        EXPECT_EQ(FormatSystemTime(DecodeRecordTime(View(Record(r)))), "2024-03-01 00:00:01");
        r.correction = "*05";
        EXPECT_EQ(FormatSystemTime(DecodeRecordTime(View(Record(r)))), "2024-02-29 23:59:58");
        // The sample keeps the same time.
        EXPECT_EQ(FormatSystemTime(ParseGpsRecord(View(Record(r)), 0).Time), "2024-02-29 23:59:58");
        // In and out of daylight saving at the record's date, and across the hour that does not
        // exist (or exists twice) in a zone that changes its clock: the time as written.
        for (const char* clock : {"260704120000", "260115120000", "260329013000", "261025013000",
                                  "260308023000", "261004023000", "260405023000"}) {
            r.clock = clock;
            r.correction = "*00";
            const std::string text = FormatSystemTime(DecodeRecordTime(View(Record(r))));
            const std::string c = clock;
            EXPECT_EQ(text, "20" + c.substr(0, 2) + "-" + c.substr(2, 2) + "-" + c.substr(4, 2) +
                                " " + c.substr(6, 2) + ":" + c.substr(8, 2) + ":" +
                                c.substr(10, 2));
        }
    }
}

TEST(RecordTime, OutOfRangeFieldsAreNormalisedByTheCalendar) {
    ZoneGuard zone("UTC0");
    RecordText r;
    r.clock = "241301000000";  // month 13 is January of the next year, as mktime takes it
    EXPECT_EQ(FormatSystemTime(DecodeRecordTime(View(Record(r)))), "2025-01-01 00:00:00");
}

TEST(Record, GValuesMarksAxisAndFlags) {
    RecordText r;
    r.gy = "-0500";
    r.gx = "01234";
    r.gz = "00980";
    r.mark1 = 'D';
    r.axis = 'Y';
    r.gStatus = '7';
    const GSample g = ParseGRecord(View(Record(r)), 0xA9, 4);
    EXPECT_EQ(g.Gy, static_cast<double>(-500.0f / 1000.0f));
    EXPECT_EQ(g.Gx, static_cast<double>(1234.0f / 1000.0f));
    EXPECT_EQ(g.Gz, static_cast<double>(980.0f / 1000.0f));
    EXPECT_EQ(g.MarkCode, 5);
    EXPECT_EQ(g.Axis, 2);
    EXPECT_EQ(g.Status, '7');
    EXPECT_EQ(g.FlagHigh, 10);
    EXPECT_EQ(g.FlagLow, 9);
    EXPECT_EQ(g.Frame, 400);

    r.mark1 = '0';
    r.mark2 = 'D';
    r.axis = 'Q';
    const GSample second = ParseGRecord(View(Record(r)), 0, 0);
    EXPECT_EQ(second.MarkCode, 7);
    EXPECT_EQ(second.Axis, 0);
    // Byte 72 wins over byte 74.
    r.mark1 = 'D';
    EXPECT_EQ(ParseGRecord(View(Record(r)), 0, 0).MarkCode, 5);
    r.mark1 = r.mark2 = '0';
    EXPECT_EQ(ParseGRecord(View(Record(r)), 0, 0).MarkCode, -1);
}

TEST(CameraBlock, ReadsModeAndTagsAndFollowsChains) {
    CameraInfo info;
    Bytes block = CameraBlock('D', "V123", "45");
    block.resize(60, ' ');
    EXPECT_EQ(ParseCameraBlock(View(block), info), 26);
    EXPECT_EQ(info.Mode, 'D');
    EXPECT_EQ(std::string(info.Tag.data(), 4), "V123");
    EXPECT_EQ(std::string(info.Tag2.data(), 2), "45");

    // "@CSA" 30 bytes in: another block 34 bytes on replaces the values; then a third.
    Bytes chain = CameraBlock('D', "V111", "11");
    AppendText(chain, "0000@CSA");
    Append(chain, CameraBlock('R', "V222", "22"));
    AppendText(chain, "0000@CSZ");
    Append(chain, CameraBlock('R', "V333", "33"));
    AppendText(chain, "0000@CSa");  // lower case: the chain ends
    Append(chain, CameraBlock('D', "V444", "44"));
    CameraInfo chained;
    EXPECT_EQ(ParseCameraBlock(View(chain), chained), 78);
    EXPECT_EQ(chained.Mode, 'R');
    EXPECT_EQ(std::string(chained.Tag.data(), 4), "V333");

    // An unreadable block: the mode byte is kept and the result is 0.
    CameraInfo bad;
    EXPECT_EQ(ParseCameraBlock(View(CameraBlock('X')), bad), 0);
    EXPECT_EQ(bad.Mode, 'X');
    // A chain that points past the end of what is there stops without reading it.
    Bytes cut = CameraBlock('R');
    AppendText(cut, "0000@CSB");
    AppendText(cut, "F9");
    CameraInfo partial;
    EXPECT_EQ(ParseCameraBlock(View(cut), partial), 0);
    EXPECT_EQ(ParseCameraBlock(ByteView(), partial), 0);
}

struct ParsedTrack {
    explicit ParsedTrack(const Bytes& file) : temp(file) {
        reader.ScanMutex = &FindMutex();
        ok = ParseTrack(reader, temp.path());
    }
    TempFile temp;
    TrackReader reader;
    bool ok = false;
};

TEST(ParseTrack, ReadsEveryRecordAndTheCameraBlock) {
    std::vector<Bytes> records;
    for (int k = 0; k < 12; ++k) {
        RecordText r;
        r.flag = k == 5 ? static_cast<char>(0x98) : '0';
        r.speed = std::to_string(1000 + k).substr(0, 4);
        records.push_back(Record(r));
    }
    ParsedTrack t(Recording(Gps0Payload(records, -1, CameraBlock('D'))));
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.reader.Loaded.load(), 1);
    EXPECT_FALSE(t.reader.File.IsOpen());
    EXPECT_EQ(t.reader.Path, t.temp.path());
    ASSERT_EQ(t.reader.GpsSamples.size(), 12u);
    ASSERT_EQ(t.reader.GSamples.size(), 12u);
    EXPECT_EQ(t.reader.MatchCount, 11);
    EXPECT_EQ(t.reader.Camera.Mode, 'D');
    EXPECT_EQ(t.reader.MdatSize, 308u);
    EXPECT_EQ(t.reader.GpsSamples[7].Speed, 1007.0);
    // A record's flag is the first byte of the next; the last record's is the 'C' of CSOEND.
    EXPECT_EQ(t.reader.GSamples[4].FlagHigh, 9);
    EXPECT_EQ(t.reader.GSamples[4].FlagLow, 8);
    EXPECT_EQ(t.reader.GSamples[11].FlagHigh, 4);
    EXPECT_EQ(t.reader.GSamples[11].FlagLow, 3);
}

// `count` pictures of `delta` microseconds (30 a second by default).
FrameTimes Pictures(int64_t count, int64_t delta = 33333) {
    return FrameTimes::Uniform(count, 1000000, delta);
}

TEST(ParseTrack, ZeroRecordsGiveEmptyArraysAndAnAllNullIndex) {
    ParsedTrack t(Recording(Gps0Payload({})));
    ASSERT_TRUE(t.ok);
    EXPECT_TRUE(t.reader.GpsSamples.empty());
    EXPECT_EQ(t.reader.MatchCount, -1);
    ASSERT_TRUE(BuildFrameIndex(t.reader, Pictures(10)));
    EXPECT_EQ(t.reader.FrameIndex, std::vector<int32_t>(10, -1));
    EXPECT_EQ(t.reader.MaxG, 0.0);
}

TEST(ParseTrack, CountBeyondTheBoxReadsOnlyTheRecordsThatFit) {
    ParsedTrack t(Recording(Gps0Payload({Record({}), Record({}), Record({})}, 5000)));
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.reader.GpsSamples.size(), 3u);
    // A count of 3 whose third record is cut short by the end of the file: two records.
    Bytes cut = Recording(Gps0Payload({Record({}), Record({}), Record({})}));
    cut.resize(cut.size() - 6 - 40);
    ParsedTrack t2(cut);
    ASSERT_TRUE(t2.ok);
    EXPECT_EQ(t2.reader.GpsSamples.size(), 2u);
}

TEST(ParseTrack, WithoutGps0TheTrackIsEmptyButParsed) {
    const Bytes file = Cat({Box("ftyp", Text("isom0000")), Box("mdat", Bytes(40, 0))});
    ParsedTrack t(file);
    ASSERT_TRUE(t.ok);
    EXPECT_TRUE(t.reader.HasArrays);
    EXPECT_TRUE(t.reader.GSamples.empty());
    EXPECT_EQ(t.reader.Camera, CameraInfo{});
}

TEST(ParseTrack, MissingFileFailsAndClearsThePath) {
    TrackReader reader;
    EXPECT_FALSE(ParseTrack(reader, "/nonexistent/001_000000_A.MP4"));
    EXPECT_EQ(reader.Path, "");
    EXPECT_EQ(reader.Loaded.load(), 0);
}

TEST(ParseTrack, CancelledParseFreesEverything) {
    TempFile file(Recording(Gps0Payload({Record({})})));
    TrackReader reader;
    reader.Cancel = 1;
    EXPECT_FALSE(ParseTrack(reader, file.path()));
    EXPECT_FALSE(reader.HasArrays);
    EXPECT_EQ(reader.Path, "");
    EXPECT_FALSE(reader.File.IsOpen());
}

TEST(ParseGpsOnly, AppendsWithIndicesFromZero) {
    TempFile a(Recording(Gps0Payload({Record({}), Record({})})));
    TempFile b(Recording(Gps0Payload({Record({}), Record({}), Record({})})));
    std::vector<GpsSample> all;
    TrackReader temp;
    ASSERT_TRUE(ParseGpsOnly(temp, a.path(), all));
    ASSERT_TRUE(ParseGpsOnly(temp, b.path(), all));
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[1].Index, 1);
    EXPECT_EQ(all[2].Index, 0);
    EXPECT_EQ(all[4].Frame, 200);
    EXPECT_EQ(all[4].GLink, -1);
    EXPECT_FALSE(temp.File.IsOpen());
    EXPECT_FALSE(ParseGpsOnly(temp, "/nonexistent", all));
}

// A parsed track of records whose X texts are given.
ParsedTrack TrackWithX(const std::vector<std::string>& xs) {
    std::vector<Bytes> records;
    for (const std::string& x : xs) {
        RecordText r;
        r.gx = x;
        records.push_back(Record(r));
    }
    return ParsedTrack(Recording(Gps0Payload(records)));
}

TEST(FrameIndex, GDifferencesArePushedAwayFromZero) {
    ParsedTrack t = TrackWithX({"01000", "01500", "00500", "00500"});
    ASSERT_TRUE(t.ok);
    ASSERT_TRUE(BuildFrameIndex(t.reader, Pictures(12)));
    const auto& g = t.reader.GSamples;
    EXPECT_EQ(g[0].Gx, 0.0);
    EXPECT_DOUBLE_EQ(g[1].Gx, 0.505);
    EXPECT_DOUBLE_EQ(g[2].Gx, -1.005);
    EXPECT_EQ(g[3].Gx, 0.0);
    EXPECT_DOUBLE_EQ(t.reader.MaxG, 1.005);
}

TEST(FrameIndex, RecordsMapToFramesAndTheCursorMovesOncePerFrame) {
    std::vector<std::string> xs(20, "01000");
    ParsedTrack t = TrackWithX(xs);
    ASSERT_TRUE(t.ok);
    ASSERT_TRUE(BuildFrameIndex(t.reader, Pictures(90)));
    // Record 10, one second in, belongs to the picture shown then: 1000 / 33.333 = 30.
    EXPECT_EQ(t.reader.GSamples[10].Frame, 30);
    EXPECT_EQ(t.reader.GpsSamples[10].Frame, 30);
    // Sample c + 1 takes over on the frame after the one it belongs to.
    const auto& index = t.reader.FrameIndex;
    EXPECT_EQ(index[0], 0);
    EXPECT_EQ(index[3], 0);
    EXPECT_EQ(index[4], 1);
    EXPECT_EQ(index[30], 9);
    EXPECT_EQ(index[31], 10);
    // Past the last sample every frame shows the last one.
    EXPECT_EQ(index[89], 19);
    // G sample k links to GPS sample max(k - 2, 0); GPS samples link forward to G samples.
    const auto& g = t.reader.GSamples;
    EXPECT_EQ(g[0].GpsLink, 0);
    EXPECT_EQ(g[2].GpsLink, 0);
    EXPECT_EQ(g[3].GpsLink, 1);
    EXPECT_EQ(g[19].GpsLink, 16);
    EXPECT_EQ(t.reader.GpsSamples[5].GLink, 5);
}

TEST(FrameIndex, ShortVideoAdvancesTwoSamplesAtATime) {
    std::vector<std::string> xs(20, "01000");
    ParsedTrack t = TrackWithX(xs);
    // One picture per record, fewer pictures than samples.
    ASSERT_TRUE(BuildFrameIndex(t.reader, Pictures(8, 100000)));
    EXPECT_EQ(t.reader.FrameIndex, (std::vector<int32_t>{0, 0, 2, 2, 4, 4, 6, 6}));
}

TEST(FrameIndex, RefusesWhatItCannotTie) {
    ParsedTrack t = TrackWithX({"01000"});
    EXPECT_FALSE(BuildFrameIndex(t.reader, Pictures(0)));
    EXPECT_FALSE(BuildFrameIndex(t.reader, FrameTimes()));
    TrackReader empty;
    EXPECT_FALSE(BuildFrameIndex(empty, Pictures(10)));
}

TEST(FrameIndex, RecordsGoToThePictureShownAtTheirTimeWhateverTheRate) {
    // 61 s at 29.97 pictures a second: the record taken 60.0 s in shows with picture 1798
    // (60 / 0.033367), not 1818 as whole milliseconds (33) would have it.
    std::vector<std::string> xs(610, "01000");
    ParsedTrack t = TrackWithX(xs);
    ASSERT_TRUE(t.ok);
    ASSERT_TRUE(BuildFrameIndex(t.reader, Pictures(1830, 33367)));
    EXPECT_EQ(t.reader.GSamples[600].Frame, 1798);
    // 90 kHz and 15360 ticks a second give the same pictures for the same times.
    for (auto [timescale, delta] : {std::pair{90000u, 3003}, std::pair{30000u, 1001}}) {
        ParsedTrack u = TrackWithX(xs);
        ASSERT_TRUE(BuildFrameIndex(u.reader, FrameTimes::Uniform(1830, timescale, delta)));
        EXPECT_EQ(u.reader.GSamples[600].Frame, 1798) << timescale;
        EXPECT_EQ(u.reader.GSamples[300].Frame, 899) << timescale;  // 30 s: 899.1
    }
    // Uneven pictures (a variable rate): each record takes the picture whose span holds it.
    ParsedTrack v = TrackWithX({"01000", "01000", "01000", "01000"});
    ASSERT_TRUE(BuildFrameIndex(v.reader, FrameTimes(1000, {0, 40, 250, 260, 290}, 400)));
    std::vector<int32_t> frames;
    for (const GSample& g : v.reader.GSamples) {
        frames.push_back(g.Frame);
    }
    EXPECT_EQ(frames, (std::vector<int32_t>{0, 1, 1, 4}));  // at 0, 100, 200 and 300 ms
}

TEST(MoveTrack, TransfersOwnershipAndEmptiesTheSource) {
    ParsedTrack t = TrackWithX({"01000", "01100"});
    TrackReader destination;
    destination.GpsSamples.resize(7);
    EXPECT_TRUE(MoveTrack(t.reader, destination));
    EXPECT_EQ(destination.GpsSamples.size(), 2u);
    EXPECT_TRUE(destination.HasArrays);
    EXPECT_EQ(destination.Path, t.temp.path());
    EXPECT_TRUE(t.reader.GpsSamples.empty());
    EXPECT_FALSE(t.reader.HasArrays);
    EXPECT_EQ(t.reader.Path, "");
    TrackReader third;
    EXPECT_FALSE(MoveTrack(t.reader, third));  // nothing to move: no GPS samples
}

}  // namespace
}  // namespace tavrilo
