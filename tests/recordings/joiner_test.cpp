// The joiner's table merges and refusals, on small movies built box by box.

#include "recordings/joiner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

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
    Bytes entry = Bytes(20, 7);                       // the sample entry's payload
    std::vector<std::pair<uint32_t, uint32_t>> ctts;  // (count, offset); empty for no table
    bool signedCtts = false;
    uint32_t mediaTime = 0;  // where the one edit starts in the media
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
    Append(stsd, Box(t.codec, t.entry));
    Bytes mdhd = Full({0, 0, t.timescale, n * t.delta});
    mdhd.resize(24, 0);
    Bytes tkhd = Full({0, 0, 1, 0, n});  // duration at 20
    tkhd.resize(84, 0);
    Bytes stbl = Cat({Box("stsd", stsd), Box("stts", Full({1, n, t.delta})),
                      t.sync.empty() ? Bytes() : Box("stss", stss), Box("stsz", stsz),
                      Box("stsc", Full({1, 1, 1, 1})), Box("stco", stco)});
    if (!t.ctts.empty()) {
        Bytes ctts = Full({static_cast<uint32_t>(t.ctts.size())});
        ctts[0] = t.signedCtts ? 1 : 0;
        for (const auto& [count, offset] : t.ctts) {
            Be32(ctts, count);
            Be32(ctts, offset);
        }
        Append(stbl, Box("ctts", ctts));
    }
    return Box("trak",
               Cat({Box("tkhd", tkhd), Box("edts", Box("elst", Full({1, n, t.mediaTime, 0x10000}))),
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

// Each sample's presentation time (decoding time + composition offset - the edit's media
// time) of the track with the given sample table, in decoding order.
std::vector<int64_t> PresentationTimes(const Mp4Document& d, size_t track) {
    const BoxNode* stts = d.List(BoxList::kStts)[track];
    const BoxNode* stbl = nullptr;
    int seen = -1;
    std::function<void(const BoxNode&)> find = [&](const BoxNode& n) {
        if (n.Type == "stbl" && ++seen == static_cast<int>(track)) {
            stbl = &n;
        }
        for (const BoxNode& c : n.Children) {
            find(c);
        }
    };
    find(d.Root);
    std::vector<int64_t> times;
    int64_t dts = 0;
    for (uint32_t e = 0; e < Word(stts, 4); ++e) {
        for (uint32_t k = 0; k < Word(stts, 8 + e * 8); ++k) {
            times.push_back(dts);
            dts += Word(stts, 12 + e * 8);
        }
    }
    for (const BoxNode& c : stbl->Children) {
        if (c.Type != "ctts") {
            continue;
        }
        size_t i = 0;
        for (uint32_t e = 0; e < Word(&c, 4); ++e) {
            const uint32_t raw = Word(&c, 12 + e * 8);
            const int64_t offset = c.Data[0] == 1 ? int64_t{static_cast<int32_t>(raw)} : raw;
            for (uint32_t k = 0; k < Word(&c, 8 + e * 8) && i < times.size(); ++k) {
                times[i++] += offset;
            }
        }
    }
    const uint32_t media = Word(d.List(BoxList::kElst)[track], 12);
    for (int64_t& t : times) {
        t -= media;
    }
    return times;
}

// A piece of `n` frames of 1000 us in pairs shown in swapped order (a B-frame after the
// frame it was predicted from), presented from the edit at two frames.
TrackSpec Reordered(uint32_t n) {
    TrackSpec t = Video(n);
    t.mediaTime = 2000;
    for (uint32_t i = 0; i < n; ++i) {
        t.ctts.push_back({1, i % 2 == 0 ? 3000u : 1000u});
    }
    return t;
}

TrackSpec Shifted(uint32_t n, uint32_t mediaTime) {
    TrackSpec t = Video(n);
    t.mediaTime = mediaTime;
    return t;
}

TEST(Join, CompositionOffsetsFollowEachOtherAndEveryFrameIsShownOnce) {
    struct Case {
        const char* what;
        TrackSpec a, b;
        bool signedTable;
    };
    const std::vector<Case> cases = {
        {"both reordered", Reordered(4), Reordered(6), false},
        {"first reordered, second plain", Reordered(4), Video(5), false},
        // B's reordered frames start two frames into its media; behind A's edit, which starts
        // at A's first frame, the frame B shows first needs a negative offset.
        {"first plain, second reordered", Video(5), Reordered(4), true},
    };
    for (const Case& c : cases) {
        Pair p(Movie({c.a}, 5, 0xA), Movie({c.b}, 5, 0xB));
        ASSERT_TRUE(p.da && p.db) << c.what;
        std::string error;
        ASSERT_TRUE(JoinDocuments(*p.da, *p.db, &error)) << c.what << ": " << error;
        // The joined tree is written and read back: the table a plain first piece gains must
        // be part of the file.
        const std::string out = p.fa.path() + ".joined";
        AtomicFile file;
        ASSERT_TRUE(file.Open(out, &error));
        ASSERT_TRUE(WriteBoxTree(p.da->Root, file, &error)) << error;
        ASSERT_TRUE(file.Commit(true, &error));
        TempFile copy(ReadAll(out));
        std::filesystem::remove(out);
        const auto joined = ParseBoxTree(copy.path(), true);
        ASSERT_TRUE(joined) << c.what;
        const size_t frames = c.a.sizes.size() + c.b.sizes.size();
        std::vector<int64_t> times = PresentationTimes(*joined, 0);
        ASSERT_EQ(times.size(), frames) << c.what;
        // A's frames are all shown before B's, and together they fill every frame slot once.
        const auto lastOfA = std::max_element(times.begin(), times.begin() + c.a.sizes.size());
        const auto firstOfB = std::min_element(times.begin() + c.a.sizes.size(), times.end());
        EXPECT_LT(*lastOfA, *firstOfB) << c.what;
        std::sort(times.begin(), times.end());
        for (size_t k = 1; k < times.size(); ++k) {
            EXPECT_EQ(times[k] - times[k - 1], 1000) << c.what << " at frame " << k;
        }
        bool isSigned = false;
        std::function<void(const BoxNode&)> find = [&](const BoxNode& n) {
            isSigned |= n.Type == "ctts" && n.Data[0] == 1;
            for (const BoxNode& ch : n.Children) {
                find(ch);
            }
        };
        find(joined->Root);
        EXPECT_EQ(isSigned, c.signedTable) << c.what;
    }
}

TEST(Join, BitRatesDoNotDecideWhetherPiecesDecodeAsOne) {
    // An avc1 entry: 78 bytes of fields (size at 24), then avcC and btrt.
    auto avc1 = [](uint16_t width, uint8_t profile, uint32_t bitrate) {
        Bytes fixed(78, 0);
        fixed[24] = static_cast<uint8_t>(width >> 8);
        fixed[25] = static_cast<uint8_t>(width);
        fixed[27] = 160;
        Bytes btrt;
        Be32(btrt, 0);
        Be32(btrt, bitrate);
        Be32(btrt, bitrate);
        return Cat({fixed, Box("avcC", Bytes{1, profile, 0, 11, 0xff}), Box("btrt", btrt)});
    };
    // An mp4a entry: 28 bytes of fields (channels at 16, rate at 24), then esds with the bit
    // rates in its decoder configuration and the audio specific config after it.
    auto mp4a = [](uint8_t channels, uint32_t bitrate, uint8_t config) {
        Bytes fixed(28, 0);
        fixed[17] = channels;
        fixed[24] = 0xbb;
        fixed[25] = 0x80;
        Bytes decoder = {0x04, 0x80, 0x80, 0x80, 20, 0x40, 0x15, 0, 0, 0};
        Be32(decoder, bitrate);
        Be32(decoder, bitrate);
        Append(decoder, Bytes{0x05, 0x80, 0x80, 0x80, 2, 0x11, config});
        Bytes es = {0x03, static_cast<uint8_t>(3 + decoder.size()), 0, 2, 0};
        Append(es, decoder);
        return Cat({fixed, Box("esds", Cat({Bytes(4, 0), es}))});
    };
    auto track = [](std::string codec, Bytes entry) {
        TrackSpec t = Video(3);
        t.codec = std::move(codec);
        t.entry = std::move(entry);
        return t;
    };
    struct Case {
        const char* what;
        TrackSpec a, b;
        bool joins;
    };
    const std::vector<Case> cases = {
        {"video bit rates", track("avc1", avc1(160, 100, 31611)),
         track("avc1", avc1(160, 100, 30938)), true},
        {"audio bit rates", track("mp4a", mp4a(2, 69284, 0x90)),
         track("mp4a", mp4a(2, 69415, 0x90)), true},
        {"picture size", track("avc1", avc1(160, 100, 1)), track("avc1", avc1(320, 100, 1)), false},
        {"decoder configuration", track("avc1", avc1(160, 100, 1)), track("avc1", avc1(160, 77, 1)),
         false},
        {"channel count", track("mp4a", mp4a(2, 1, 0x90)), track("mp4a", mp4a(1, 1, 0x90)), false},
        {"audio specific config", track("mp4a", mp4a(2, 1, 0x90)), track("mp4a", mp4a(2, 1, 0x88)),
         false},
        {"entry type", track("avc1", avc1(160, 100, 1)), track("hvc1", avc1(160, 100, 1)), false},
    };
    for (const Case& c : cases) {
        Pair p(Movie({c.a}, 5, 0xA), Movie({c.b}, 5, 0xB));
        ASSERT_TRUE(p.da && p.db) << c.what;
        std::string error;
        EXPECT_EQ(JoinDocuments(*p.da, *p.db, &error), c.joins) << c.what << ": " << error;
        if (!c.joins) {
            EXPECT_NE(error.find("other codec settings"), std::string::npos) << error;
        }
    }
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
    TrackSpec shortCtts = Video(3);
    shortCtts.ctts = {{2, 1000}};
    // Unsigned offsets past the signed range before a piece that needs negative ones.
    TrackSpec huge = Video(3);
    huge.ctts = {{3, 0x90000000u}};
    const std::vector<Refusal> cases = {
        {"no sync-sample table", {noSync}, {noSync}},
        {"other codec settings", {Video(3)}, {otherCodec}},
        {"another timescale", {Video(3)}, {otherScale}},
        {"damaged ctts", {Video(3)}, {shortCtts}},
        {"cannot be represented", {huge}, {Shifted(3, 1000)}},
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

}  // namespace
}  // namespace tavrilo
