// CSV lines and the export, on recordings built box by box.

#include "recordings/csv_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/charset.h"
#include "recordings/box_tree.h"
#include "tests/support/mp4_bytes.h"
#include "tests/support/process.h"

namespace tavrilo {
namespace {

namespace fs = std::filesystem;
using namespace tavrilo::test;

Bytes Stsd() {
    Bytes p(4, 0);
    Be32(p, 1);
    Bytes entry(24, 0);
    Be16(entry, 1440);
    Be16(entry, 1440);
    entry.resize(70, 0);
    Append(p, Box("avc1", entry));
    return p;
}

// A recording of `samples` frames of `delta` microseconds, padded to `fileSize` bytes of media.
// `timescale` 0 leaves the media header out (the recorder's microseconds are assumed).
Bytes Movie(uint32_t samples, uint32_t delta, size_t mediaBytes, bool withGps0 = true,
            const std::string& clock = "260601103005", uint32_t timescale = 0) {
    Bytes stsz(4, 0);
    Be32(stsz, 0);
    Be32(stsz, samples);
    const Bytes stbl =
        Cat({Box("stsd", Stsd()), Box("stts", Stts({{samples, delta}})), Box("stsz", stsz)});
    Bytes mdhd(12, 0);
    Be32(mdhd, timescale);
    Be32(mdhd, samples * delta);
    mdhd.resize(24, 0);
    const Bytes mdia =
        Cat({timescale != 0 ? Box("mdhd", mdhd) : Bytes(), Box("minf", Box("stbl", stbl))});
    const Bytes moov =
        Box("moov", Cat({Box("mvhd", Mvhd(1000, 1000)), Box("trak", Box("mdia", mdia))}));
    RecordText r;
    r.clock = clock;
    const Bytes ftyp = Box("ftyp", Text("isom0000"));
    Bytes out = Cat({ftyp, Box("mdat", Bytes(mediaBytes, 0)), moov});
    if (withGps0) {
        Append(out, Box("gps0", Gps0Payload({Record(r)})));
    }
    return out;
}

RecordingEntry Entry(const TempFile& f, const std::string& name) {
    RecordingEntry e;
    e.Path = f.path();
    e.Name = name;
    return e;
}

CameraInfo Mode(char m) {
    CameraInfo c;
    c.Mode = m;
    return c;
}

TEST(CsvLine, FieldsOfARecording) {
    TempFile f(Movie(1800, 33333, 1572864 - 1000));
    const std::string line =
        MakeCsvLine(Entry(f, "001_103005_G.MP4"), [](const std::string&) { return Mode('R'); });
    // 1800 samples at 30 frames a second last a minute; the file is under 1.5 MiB: 1MB.
    EXPECT_EQ(line, "001_103005_G.MP4,2026/06/01,10:30:05,00:01:00,衝撃,ラウンド,30fps,1MB\r\n");
}

TEST(CsvLine, LengthAndRateAtCommonFrameRates) {
    struct Case {
        uint32_t samples, delta, timescale;
        const char* length;
        const char* rate;
        float fps;
    };
    const std::vector<Case> cases = {
        {300, 33333, 0, "00:00:10", "30fps", 30.0003f},
        {1800, 33333, 0, "00:01:00", "30fps", 30.0003f},
        {300, 33366, 0, "00:00:10", "30fps", 29.9706f},
        {1798, 33366, 0, "00:01:00", "30fps", 29.9706f},
        {275, 36364, 0, "00:00:10", "27fps", 27.4997f},
        {1650, 36364, 0, "00:01:00", "27fps", 27.4997f},
        // Another encoder's clock: FFmpeg counts 30-fps frames in 1/15360 s, 29.97 in 1/30000.
        {1800, 512, 15360, "00:01:00", "30fps", 30.0f},
        {1798, 1001, 30000, "00:01:00", "30fps", 29.97f},
    };
    for (const Case& c : cases) {
        TempFile f(Movie(c.samples, c.delta, 10, true, "260601103005", c.timescale));
        const std::string line =
            MakeCsvLine(Entry(f, "001_103005_A.MP4"), [](const std::string&) { return Mode('R'); });
        const std::string expected = std::string(",") + c.length + ",常時,ラウンド," + c.rate + ",";
        EXPECT_NE(line.find(expected), std::string::npos)
            << c.samples << " x " << c.delta << ": " << line;
        const auto doc = ParseBoxTree(f.path(), false);
        ASSERT_TRUE(doc);
        EXPECT_NEAR(GetFrameRate(*doc), c.fps, 1e-4) << c.samples << " x " << c.delta;
    }
}

TEST(CsvLine, SizeIsWholeMebibytes) {
    const Bytes probe = Movie(10, 33333, 0);
    TempFile f(Movie(10, 33333, 1572864 - probe.size()));
    ASSERT_EQ(fs::file_size(f.path()), 1572864u);
    const std::string line =
        MakeCsvLine(Entry(f, "x.MP4"), [](const std::string&) { return Mode('D'); });
    EXPECT_NE(line.find(",2分割,30fps,1MB\r\n"), std::string::npos) << line;
    // A name without a kind has an empty trigger; hours are not capped at two digits. 120
    // hours of 30-fps frames at 33,333 us last 431,995.7 s: 119:59:56.
    TempFile longOne(Movie(30 * 3600 * 120, 33333, 0));
    const std::string l2 =
        MakeCsvLine(Entry(longOne, "x.MP4"), [](const std::string&) { return Mode('?'); });
    EXPECT_NE(l2.find(",119:59:56,,-,30fps,0MB"), std::string::npos) << l2;
}

TEST(CsvLine, FallbackWithoutTreeStsdOrStartTime) {
    TempFile noGps0(Movie(10, 33333, 100, false));
    EXPECT_EQ(MakeCsvLine(Entry(noGps0, "001_000000_A.MP4"), {}),
              "001_000000_A.MP4,-,-,-,-,-,-,-,fps,0MB\r\n");
    TempFile junk(Text(std::string(500, 'x')));
    EXPECT_EQ(MakeCsvLine(Entry(junk, "j.MP4"), {}), "j.MP4,-,-,-,-,-,-,-,fps,0MB\r\n");
    RecordingEntry missing;
    missing.Path = "/nonexistent";
    missing.Name = "m.MP4";
    EXPECT_EQ(MakeCsvLine(missing, {}), "m.MP4,-,-,-,-,-,-,-,fps,0MB\r\n");
}

TEST(CsvHeader, FromTheTextTable) {
    EXPECT_EQ(
        CsvHeaderLine(),
        "ファイル名,日付,開始時刻,録画時間,録画トリガー,録画方式,フレームレート,データサイズ\r\n");
}

class CsvExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("tavrilo-csv-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    fs::path folder;
};

TEST_F(CsvExportTest, WritesOnceAndAsksBeforeOverwriting) {
    TempFile a(Movie(300, 33333, 10, true, "260601103005"));
    TempFile b(Movie(300, 33333, 10, true, "260601103015"));
    const RecordingList list = {Entry(a, "001_103005_A.MP4"), Entry(b, "002_103015_M.MP4")};
    EXPECT_EQ(CsvFileName(list), "Dv_20260601_103005.csv");
    CsvExport options;
    options.folder = folder.string();
    options.charset = "UTF-8";
    std::vector<std::pair<int, int>> progress;
    options.progress = [&](int done, int total) { progress.emplace_back(done, total); };
    std::string path, error;
    ASSERT_EQ(ExportCsv(list, {}, options, &path, &error), CsvResult::kDone) << error;
    EXPECT_EQ(path, (folder / "Dv_20260601_103005.csv").string());
    const Bytes content = ReadAll(path);
    const std::string text(content.begin(), content.end());
    EXPECT_EQ(text, CsvHeaderLine() +
                        "001_103005_A.MP4,2026/06/01,10:30:05,00:00:10,常時,-,30fps,0MB\r\n"
                        "002_103015_M.MP4,2026/06/01,10:30:15,00:00:10,マニュアル,-,30fps,0MB\r\n");
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));

    // Again into the same folder: refused, the file kept.
    EXPECT_EQ(ExportCsv(list, {}, options, &path, &error), CsvResult::kExists);
    EXPECT_EQ(error, "同名のファイルが存在します。続行しますか？");
    EXPECT_EQ(ReadAll(path), content);
    options.overwrite = true;
    EXPECT_EQ(ExportCsv(list, {}, options, &path, &error), CsvResult::kDone);
}

TEST_F(CsvExportTest, CancelAndEmptyListLeaveNothing) {
    TempFile a(Movie(300, 33333, 10));
    const RecordingList list = {Entry(a, "001_103005_A.MP4"), Entry(a, "002_103005_A.MP4")};
    std::atomic<bool> running{true};
    CsvExport options;
    options.folder = folder.string();
    options.running = &running;
    options.progress = [&](int, int) { running = false; };
    std::string path, error;
    EXPECT_EQ(ExportCsv(list, {}, options, &path, &error), CsvResult::kCancelled);
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(ExportCsv({}, {}, options, &path, &error), CsvResult::kEmptyList);
    EXPECT_EQ(error, "動画ファイルがありません。");
    options.folder = (folder / "missing").string();
    running = true;
    options.progress = {};
    EXPECT_EQ(ExportCsv(list, {}, options, &path, &error), CsvResult::kCannotCreate);
    EXPECT_EQ(error.rfind("CSVファイルが作成できません。", 0), 0u) << error;

    // A recording that goes while the summary is written (the card pulled) fails it, and the
    // lines written before it go with the temporary file.
    options.folder = folder.string();
    const fs::path second = folder / "second.MP4";
    fs::copy_file(a.path(), second);
    RecordingList pulled = {Entry(a, "001_103005_A.MP4"), Entry(a, "002_103005_A.MP4")};
    pulled[1].Path = second.string();
    options.progress = [&](int done, int) {
        if (done == 0) {
            fs::remove(second);
        }
    };
    EXPECT_EQ(ExportCsv(pulled, {}, options, &path, &error), CsvResult::kCannotCreate);
    EXPECT_NE(error.find("gone"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(CsvExportTest, ADamagedRecordingIsNamedAndTheOthersAreWritten) {
    // The first recording lost its sensor box (cut short): the file is named after the next
    // one, the damaged one's line holds its name, and the caller learns which it was.
    TempFile damaged(Movie(300, 33333, 10, false));
    TempFile good(Movie(300, 33333, 10, true, "260601103015"));
    const RecordingList list = {Entry(damaged, "001_103005_A.MP4"),
                                Entry(good, "002_103015_M.MP4")};
    EXPECT_EQ(CsvFileName(list), "Dv_20260601_103015.csv");
    std::vector<std::string> leftOut;
    CsvExport options;
    options.folder = folder.string();
    options.charset = "UTF-8";
    options.leftOut = &leftOut;
    std::string path, error;
    ASSERT_EQ(ExportCsv(list, {}, options, &path, &error), CsvResult::kDone) << error;
    const Bytes content = ReadAll(path);
    EXPECT_EQ(std::string(content.begin(), content.end()),
              CsvHeaderLine() + "001_103005_A.MP4,-,-,-,-,-,-,-,fps,0MB\r\n" +
                  "002_103015_M.MP4,2026/06/01,10:30:15,00:00:10,マニュアル,-,30fps,0MB\r\n");
    EXPECT_EQ(leftOut, std::vector<std::string>{damaged.path()});
    // With no readable recording at all there is nothing to name the file after.
    EXPECT_EQ(CsvFileName({Entry(damaged, "001_103005_A.MP4")}), std::nullopt);
}

}  // namespace
}  // namespace tavrilo
