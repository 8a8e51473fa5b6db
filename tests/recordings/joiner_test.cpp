// The joiner's table merges and refusals, on small movies built box by box.

#include "recordings/joiner.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/atomic_file.h"
#include "tests/support/mp4_bytes.h"
#include "tests/support/process.h"

namespace tavrilo {
namespace {

using namespace tavrilo::test;

struct TrackSpec {
    std::vector<uint32_t> sizes;  // one per sample
    std::vector<uint32_t> sync;   // stss entries; empty for none
    uint32_t delta = 1000;
    uint32_t timescale = 1000000;
    std::string codec = "avc1";
    bool ctts = false;
};

Bytes Full(std::initializer_list<uint32_t> words) {
    Bytes b(4, 0);
    for (uint32_t w : words) {
        Be32(b, w);
    }
    return b;
}

// One track: every sample its own chunk, chunks at the given offsets.
Bytes Trak(const TrackSpec& t, uint32_t firstOffset) {
    const uint32_t n = static_cast<uint32_t>(t.sizes.size());
    Bytes stsz = Full({0, n});
    for (uint32_t s : t.sizes) {
        Be32(stsz, s);
    }
    Bytes stco = Full({n});
    uint32_t at = firstOffset;
    for (uint32_t s : t.sizes) {
        Be32(stco, at);
        at += s;
    }
    Bytes stss = Full({static_cast<uint32_t>(t.sync.size())});
    for (uint32_t s : t.sync) {
        Be32(stss, s);
    }
    Bytes stsd = Full({1});
    Append(stsd, Box(t.codec, Bytes(20, 7)));
    Bytes mdhd = Full({0, 0, t.timescale, n * t.delta});
    mdhd.resize(24, 0);
    Bytes tkhd = Full({0, 0, 1, 0, n});  // duration at 20
    tkhd.resize(84, 0);
    Bytes stbl = Cat({Box("stsd", stsd), Box("stts", Full({1, n, t.delta})),
                      t.sync.empty() ? Bytes() : Box("stss", stss), Box("stsz", stsz),
                      Box("stsc", Full({1, 1, 1, 1})), Box("stco", stco)});
    if (t.ctts) {
        Append(stbl, Box("ctts", Full({0})));
    }
    return Box("trak",
               Cat({Box("tkhd", tkhd), Box("edts", Box("elst", Full({1, n, 0, 0x10000}))),
                    Box("mdia", Cat({Box("mdhd", mdhd), Box("minf", Box("stbl", stbl))}))}));
}

// ftyp, mdat (sample bytes counting up), moov with the tracks, gps0 with `records` records.
Bytes Movie(const std::vector<TrackSpec>& tracks, int records, uint8_t fill) {
    const Bytes ftyp = Box("ftyp", Text("isom0000"));
    Bytes media;
    std::vector<uint32_t> offsets;
    for (const TrackSpec& t : tracks) {
        offsets.push_back(static_cast<uint32_t>(ftyp.size() + 8 + media.size()));
        for (uint32_t s : t.sizes) {
            media.insert(media.end(), s, fill);
        }
    }
    Bytes traks;
    for (size_t i = 0; i < tracks.size(); ++i) {
        Append(traks, Trak(tracks[i], offsets[i]));
    }
    uint32_t longest = 0;
    for (const TrackSpec& t : tracks) {
        longest = std::max<uint32_t>(longest, static_cast<uint32_t>(t.sizes.size()));
    }
    Bytes mvhd = Mvhd(1000, longest);
    std::vector<Bytes> recs;
    for (int k = 0; k < records; ++k) {
        RecordText r;
        r.speed = std::to_string(1000 + k % 9000).substr(0, 4);
        recs.push_back(Record(r));
    }
    return Cat({ftyp, Box("mdat", media), Box("moov", Cat({Box("mvhd", mvhd), traks})),
                Box("gps0", Gps0Payload(recs, -1,
                                        fill == 0xA ? CameraBlock('R', "F111")
                                                    : CameraBlock('D', "F222")))});
}

TrackSpec Video(uint32_t n) {
    TrackSpec t;
    for (uint32_t i = 0; i < n; ++i) {
        t.sizes.push_back(10 + i);
    }
    t.sync = {1};
    if (n > 3) {
        t.sync.push_back(4);
    }
    return t;
}

uint32_t Word(const BoxNode* n, size_t at) {
    const auto& d = n->Data;
    return (uint32_t{d[at]} << 24) | (uint32_t{d[at + 1]} << 16) | (uint32_t{d[at + 2]} << 8) |
           d[at + 3];
}

struct Pair {
    Pair(const Bytes& a, const Bytes& b) : fa(a), fb(b) {
        da = ParseBoxTree(fa.path(), true);
        db = ParseBoxTree(fb.path(), true);
    }
    TempFile fa, fb;
    std::unique_ptr<Mp4Document> da, db;
};

TEST(Join, MergesEveryTableAndAddsDurations) {
    Pair p(Movie({Video(5)}, 300, 0xA), Movie({Video(4)}, 450, 0xB));
    ASSERT_TRUE(p.da && p.db);
    std::string error;
    ASSERT_TRUE(JoinDocuments(*p.da, *p.db, &error)) << error;
    const Mp4Document& a = *p.da;
    // Sizes: 5 + 4 samples, B's appended.
    const BoxNode* stsz = a.First(BoxList::kStsz);
    EXPECT_EQ(Word(stsz, 8), 9u);
    EXPECT_EQ(Word(stsz, 12 + 5 * 4), 10u);
    // Sync samples: A's, then B's first sample (6), then B's 4 -> 9; B's own 1 is not doubled.
    const BoxNode* stss = a.First(BoxList::kStss);
    EXPECT_EQ(Word(stss, 4), 4u);
    EXPECT_EQ(Word(stss, 8), 1u);
    EXPECT_EQ(Word(stss, 12), 4u);
    EXPECT_EQ(Word(stss, 16), 6u);
    EXPECT_EQ(Word(stss, 20), 9u);
    // Time to sample: entries appended.
    const BoxNode* stts = a.First(BoxList::kStts);
    EXPECT_EQ(Word(stts, 4), 2u);
    EXPECT_EQ(Word(stts, 16), 4u);
    // Chunks: B's first chunk is number 6, after A's five chunks.
    const BoxNode* stsc = a.First(BoxList::kStsc);
    EXPECT_EQ(Word(stsc, 4), 2u);
    EXPECT_EQ(Word(stsc, 20), 6u);
    // Offsets: B's data follows A's 60 bytes of samples.
    const BoxNode* stco = a.First(BoxList::kStco);
    EXPECT_EQ(Word(stco, 4), 9u);
    const uint32_t aMediaStart = static_cast<uint32_t>(a.First(BoxList::kMdat)->OrigOffset);
    EXPECT_EQ(Word(stco, 8), aMediaStart);
    EXPECT_EQ(Word(stco, 8 + 5 * 4), aMediaStart + 10 + 11 + 12 + 13 + 14);
    // Durations add up.
    EXPECT_EQ(Word(a.First(BoxList::kMvhd), 16), 9u);
    EXPECT_EQ(Word(a.First(BoxList::kMdhd), 16), 9000u);
    EXPECT_EQ(Word(a.First(BoxList::kTkhd), 20), 9u);
    EXPECT_EQ(Word(a.First(BoxList::kElst), 8), 9u);
    // Sensor records: 750 under the first camera block.
    EXPECT_EQ(a.First(BoxList::kGps0)->JoinedCount, 750u);
    EXPECT_EQ(a.First(BoxList::kGps0)->PayloadBytes, 750u * 79 + 40);
}

TEST(Join, WrittenFileHoldsBothMediaAndAllRecords) {
    Pair p(Movie({Video(5)}, 300, 0xA), Movie({Video(4)}, 450, 0xB));
    std::string error;
    ASSERT_TRUE(JoinDocuments(*p.da, *p.db, &error)) << error;
    const std::string out = p.fa.path() + ".joined";
    AtomicFile file;
    ASSERT_TRUE(file.Open(out, &error));
    ASSERT_TRUE(WriteBoxTree(p.da->Root, file, &error)) << error;
    ASSERT_TRUE(file.Commit(false, &error)) << error;
    const Bytes bytes = ReadAll(out);
    std::filesystem::remove(out);
    const auto joined = [&] {
        TempFile copy(bytes);
        return ParseBoxTree(copy.path(), true);
    }();
    ASSERT_TRUE(joined);
    const BoxNode* mdat = joined->First(BoxList::kMdat);
    EXPECT_EQ(mdat->Size, 60u + 46u);
    EXPECT_EQ(bytes[mdat->Offset], 0xA);
    EXPECT_EQ(bytes[mdat->Offset + 60], 0xB);
    const BoxNode* gps0 = joined->First(BoxList::kGps0);
    EXPECT_EQ(gps0->RecordCount, 750u);
    EXPECT_EQ(gps0->Size, 750u * 79 + 40);
    // The first file's camera block, and the end tag where the content test looks.
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.substr(gps0->Offset, 10), "CSODATF111");
    EXPECT_EQ(text.substr(text.size() - 6), "CSOEND");
    // Every chunk offset points at its sample's bytes.
    const BoxNode* stco = joined->First(BoxList::kStco);
    EXPECT_EQ(bytes[Word(stco, 8 + 4 * 4)], 0xA);
    EXPECT_EQ(bytes[Word(stco, 8 + 5 * 4)], 0xB);
}

TEST(Join, SingleFileIsWrittenUnchanged) {
    const Bytes original = Movie({Video(5)}, 12, 0xA);
    TempFile in(original);
    auto doc = ParseBoxTree(in.path(), true);
    ASSERT_TRUE(doc);
    std::string error;
    const std::string out = in.path() + ".copy";
    AtomicFile file;
    ASSERT_TRUE(file.Open(out, &error));
    ASSERT_TRUE(WriteBoxTree(doc->Root, file, &error)) << error;
    ASSERT_TRUE(file.Commit(false, &error));
    EXPECT_EQ(ReadAll(out), original);
    std::filesystem::remove(out);
}

TEST(Join, SyncTablesPairWithTheirOwnTrack) {
    // The first track has no sync table (audio-like); the video track is second.
    TrackSpec audio;
    audio.sizes = {4, 4, 4};
    audio.codec = "mp4a";
    Pair p(Movie({audio, Video(5)}, 3, 0xA), Movie({audio, Video(2)}, 3, 0xB));
    std::string error;
    ASSERT_TRUE(JoinDocuments(*p.da, *p.db, &error)) << error;
    // B's first video sample follows A's 5 video samples, not A's 3 audio samples.
    EXPECT_EQ(Word(p.da->First(BoxList::kStss), 16), 6u);
}

struct Refusal {
    const char* why;
    std::vector<TrackSpec> a, b;
    int recordsA = 5, recordsB = 5;
};

TEST(Join, RefusesWhatItCannotMergeCorrectly) {
    TrackSpec noSync = Video(3);
    noSync.sync.clear();
    TrackSpec otherCodec = Video(3);
    otherCodec.codec = "hvc1";
    TrackSpec otherScale = Video(3);
    otherScale.timescale = 90000;
    TrackSpec withCtts = Video(3);
    withCtts.ctts = true;
    const std::vector<Refusal> cases = {
        {"no sync-sample table", {noSync}, {noSync}},
        {"other codec settings", {Video(3)}, {otherCodec}},
        {"another timescale", {Video(3)}, {otherScale}},
        {"composition offsets", {Video(3)}, {withCtts}},
        {"same tracks", {Video(3)}, {Video(3), Video(2)}},
        {"65,535", {Video(3)}, {Video(3)}, 40000, 30000},
    };
    for (const Refusal& c : cases) {
        Pair p(Movie(c.a, c.recordsA, 0xA), Movie(c.b, c.recordsB, 0xB));
        ASSERT_TRUE(p.da && p.db) << c.why;
        std::string error;
        EXPECT_FALSE(JoinDocuments(*p.da, *p.db, &error)) << c.why;
        EXPECT_NE(error.find(c.why), std::string::npos) << c.why << ": " << error;
    }
}

TEST(Join, RecordingsWithTheirBoxesInAnotherOrderAreRefused) {
    // A movie box before the media data would move the data when the tables grow.
    Bytes a = Movie({Video(3)}, 2, 0xA);
    TempFile fa(a);
    auto da = ParseBoxTree(fa.path(), true);
    std::swap(da->Root.Children[1], da->Root.Children[2]);
    Pair p(Movie({Video(3)}, 2, 0xA), Movie({Video(3)}, 2, 0xB));
    std::string error;
    EXPECT_FALSE(JoinDocuments(*da, *p.db, &error));
    EXPECT_NE(error.find("before the media data"), std::string::npos) << error;
}

TEST(Join, ShortSourceFailsTheWrite) {
    const Bytes full = Movie({Video(5)}, 4, 0xA);
    TempFile in(full);
    auto doc = ParseBoxTree(in.path(), true);
    ASSERT_TRUE(doc);
    // The file loses its tail after it was parsed: the records cannot be copied.
    std::filesystem::resize_file(in.path(), full.size() - 100);
    std::string error;
    const std::string out = in.path() + ".copy";
    AtomicFile file;
    ASSERT_TRUE(file.Open(out, &error));
    EXPECT_FALSE(WriteBoxTree(doc->Root, file, &error));
    EXPECT_NE(error.find("shorter"), std::string::npos) << error;
    file.Abort();
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(AtomicFile, AppearsOnlyWhenCommittedAndNeverReplacesUnasked) {
    TempFile existing(Text("keep me"));
    std::string error;
    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(existing.path(), &error));
        f.Write(std::string("new"));
        EXPECT_FALSE(f.Commit(false, &error));
        EXPECT_NE(error.find("already exists"), std::string::npos);
    }
    EXPECT_EQ(ReadAll(existing.path()), Text("keep me"));
    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(existing.path(), &error));
        f.Write(std::string("abandoned"));
    }
    EXPECT_EQ(ReadAll(existing.path()), Text("keep me"));
    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(existing.path(), &error));
        f.Write(std::string("replaced"));
        EXPECT_TRUE(f.Commit(true, &error));
    }
    EXPECT_EQ(ReadAll(existing.path()), Text("replaced"));
    // No temporary files are left beside it.
    const auto folder = std::filesystem::path(existing.path()).parent_path();
    const std::string stem = "." + std::filesystem::path(existing.path()).filename().string();
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        EXPECT_NE(e.path().filename().string().rfind(stem, 0), 0u) << e.path();
    }
}

}  // namespace
}  // namespace tavrilo
