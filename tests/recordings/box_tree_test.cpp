// The in-memory box tree, on files built box by box.

#include "recordings/box_tree.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/mp4_bytes.h"

namespace tavrilo {
namespace {

using namespace tavrilo::test;

// A sample description with one visual entry of the given size.
Bytes Stsd(uint16_t width, uint16_t height) {
    Bytes p(4, 0);
    Be32(p, 1);
    Bytes entry(6, 0);
    Be16(entry, 1);  // data reference index
    entry.resize(entry.size() + 16, 0);
    Be16(entry, width);
    Be16(entry, height);
    entry.resize(entry.size() + 50, 0);
    Append(p, Box("avc1", entry));
    return p;
}

Bytes Stsz(uint32_t count) {
    Bytes p(8, 0);
    Be32(p, count);
    for (uint32_t i = 0; i < count; ++i) {
        Be32(p, 100 + i);
    }
    return p;
}

Bytes VideoTrak(const Bytes& stts) {
    return Box(
        "trak",
        Cat({Box("tkhd", Bytes(84, 0)),
             Box("mdia",
                 Cat({Box("mdhd", Bytes(24, 0)),
                      Box("minf", Box("stbl", Cat({Box("stsd", Stsd(1440, 1440)), Box("stts", stts),
                                                   Box("stss", Bytes(12, 0)),
                                                   Box("stsz", Stsz(3))})))}))}));
}

Bytes Movie(const Bytes& stts = Stts({{3, 33333}})) {
    return Box("moov", Cat({Box("mvhd", Mvhd(1000, 100)), VideoTrak(stts)}));
}

// Parsed from memory; the document reads its payloads from `source`, kept alive beside it.
struct Parsed {
    std::unique_ptr<MemorySource> source;
    std::unique_ptr<Mp4Document> doc;
    Mp4Document* operator->() const { return doc.get(); }
    Mp4Document& operator*() const { return *doc; }
    explicit operator bool() const { return doc != nullptr; }
    bool operator==(std::nullptr_t) const { return doc == nullptr; }
};

Parsed Parse(const Bytes& bytes, bool copy = true) {
    Parsed p{std::make_unique<MemorySource>(bytes), nullptr};
    p.doc = ParseBoxTree(*p.source, "memory", copy);
    return p;
}

TEST(BoxTree, TopLevelAndListsInTreeOrder) {
    RecordText r;
    r.clock = "260102030405";
    const Bytes file = Recording(Gps0Payload({Record(r), Record({})}), Movie());
    const auto doc = Parse(file);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->Root.Children.size(), 4u);
    EXPECT_EQ(doc->Root.Children[0].Type, "ftyp");
    EXPECT_EQ(doc->Root.Children[3].Type, "gps0");
    EXPECT_EQ(doc->Root.Children[3].RecordCount, 2u);
    EXPECT_EQ(doc->Root.Children[3].RecordBytes, 158u);
    EXPECT_EQ(doc->Root.Children[3].PayloadBytes, 198u);
    EXPECT_EQ(doc->Root.Children[3].Depth, 1);
    EXPECT_EQ(doc->List(BoxList::kMvhd).size(), 1u);
    EXPECT_EQ(doc->List(BoxList::kStsd).size(), 1u);
    EXPECT_EQ(doc->First(BoxList::kStts)->Depth, 6);
    // Sizes computed back from the tree equal the file.
    uint64_t total = 0;
    for (const BoxNode& n : doc->Root.Children) {
        total += n.DiskSize();
    }
    EXPECT_EQ(total, file.size());
    // Containers hold no data; leaves hold a copy of their payload.
    const BoxNode& moov = doc->Root.Children[2];
    EXPECT_EQ(moov.Raw, 0);
    EXPECT_FALSE(moov.HasData);
    EXPECT_TRUE(doc->First(BoxList::kStts)->HasData);
    EXPECT_EQ(doc->First(BoxList::kStts)->DataSize, 16u);
    // "mdat" and "gps0" are never copied.
    EXPECT_FALSE(doc->First(BoxList::kMdat)->HasData);
    EXPECT_FALSE(doc->First(BoxList::kGps0)->HasData);
}

TEST(BoxTree, Queries) {
    const auto doc =
        Parse(Recording(Gps0Payload({Record({})}), Movie(Stts({{2, 40000}, {2, 20000}}))));
    ASSERT_TRUE(doc);
    EXPECT_EQ(GetVideoSize(*doc), std::make_pair(1440, 1440));
    EXPECT_EQ(GetSampleCount(*doc), 3u);
    // Mean delta over samples: 120000 / 4 = 30000 us (a whole number); the rate is a fraction.
    EXPECT_FLOAT_EQ(GetFrameRate(*doc), 1e6f / 30000.0f);
    const auto start = GetStartTime(*doc);
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(start->year, 2026);
    EXPECT_EQ(start->month, 6);
}

TEST(BoxTree, QueriesWithoutTheirBoxes) {
    const auto doc = Parse(Cat({Box("ftyp", Text("isom0000")), Box("mdat", Bytes(10, 0))}));
    ASSERT_TRUE(doc);
    EXPECT_FALSE(GetVideoSize(*doc).has_value());
    EXPECT_FALSE(GetSampleCount(*doc).has_value());
    EXPECT_EQ(GetFrameRate(*doc), -1.0f);
    EXPECT_FALSE(GetStartTime(*doc).has_value());
    // A time table without samples gives no rate instead of dividing by zero; so does a gps0
    // box without records give no start time.
    const auto empty = Parse(Recording(Gps0Payload({}), Movie(Stts({{0, 33333}}))));
    EXPECT_EQ(GetFrameRate(*empty), -1.0f);
    EXPECT_FALSE(GetStartTime(*empty).has_value());
}

TEST(BoxTree, WithoutCopyQueriesReadTheFile) {
    const auto doc = Parse(Recording(Gps0Payload({}), Movie()), false);
    ASSERT_TRUE(doc);
    EXPECT_FALSE(doc->First(BoxList::kStsz)->HasData);
    EXPECT_EQ(GetSampleCount(*doc), 3u);
    EXPECT_EQ(GetVideoSize(*doc), std::make_pair(1440, 1440));
}

TEST(BoxTree, UnknownTypeInsideAKnownContainerMakesItRaw) {
    // "udta" holding a known box, then one the dictionary does not know.
    const Bytes udta = Box("udta", Cat({Box("free", Bytes(4, 0)), Box("zzzz", Bytes(6, 1))}));
    const auto doc =
        Parse(Recording(Gps0Payload({}), Box("moov", Cat({Box("mvhd", Mvhd(1000, 1)), udta}))));
    ASSERT_TRUE(doc);
    const BoxNode& moov = doc->Root.Children[2];
    ASSERT_EQ(moov.Children.size(), 2u);
    const BoxNode& node = moov.Children[1];
    EXPECT_EQ(node.Type, "udta");
    EXPECT_EQ(node.Raw, 1);
    EXPECT_TRUE(node.Children.empty());
    // Its payload is kept as data, so writers can still copy it whole.
    EXPECT_TRUE(node.HasData);
    EXPECT_EQ(node.Data.size(), udta.size() - 8);
    EXPECT_EQ(moov.DiskSize(), 8 + 108 + udta.size());
}

TEST(BoxTree, PayloadStartingWithAnUnknownTypeIsCopiedAsData) {
    const Bytes odd = Box("meta", Cat({Bytes(4, 0), Box("hdlr", Bytes(25, 0))}));
    const auto doc =
        Parse(Recording(Gps0Payload({}), Box("moov", Cat({Box("mvhd", Mvhd(1000, 1)), odd}))));
    ASSERT_TRUE(doc);
    const BoxNode& meta = doc->Root.Children[2].Children[1];
    EXPECT_EQ(meta.Raw, 1);
    EXPECT_TRUE(meta.HasData);
    EXPECT_EQ(meta.DataSize, odd.size() - 8);
}

TEST(BoxTree, MalformedInputsOneFieldEach) {
    using Kind = ParseError::Kind;
    const Bytes good = Recording(Gps0Payload({Record({})}), Movie());
    struct Case {
        const char* what;
        std::function<void(Bytes&)> change;
        bool parses;
        Kind kind;            // when it does not
        const char* check;    // part of the failed check's text
        size_t topLevel = 4;  // top-level boxes kept when it does
    };
    const std::vector<Case> cases = {
        {"data box longer than the file", [](Bytes& b) { SetBe32(b, BoxAt(b, "stsz"), 0x10000); },
         false, Kind::kNotEnoughData, "stsz box runs past the end"},
        {"file cut inside a data box", [](Bytes& b) { b.resize(BoxAt(b, "stsz") + 12); }, false,
         Kind::kNotEnoughData, "stsz box runs past the end"},
        {"outer box too short to step over", [](Bytes& b) { SetBe32(b, BoxAt(b, "moov"), 3); },
         true, Kind::kNone, "", 2},
        {"outer box of size 0", [](Bytes& b) { SetBe32(b, BoxAt(b, "moov"), 0); }, true,
         Kind::kNone, "", 2},
        {"gps0 count larger than its records",
         [](Bytes& b) { b[BoxAt(b, "gps0") + 8 + 32] = 0x7f; }, true, Kind::kNone, "", 4},
    };
    for (const Case& c : cases) {
        Bytes bytes = good;
        c.change(bytes);
        const MemorySource source(bytes);
        ParseError error;
        const auto doc = ParseBoxTree(source, c.what, true, &error);
        ASSERT_EQ(doc != nullptr, c.parses) << c.what;
        if (!c.parses) {
            EXPECT_EQ(error.kind, c.kind) << c.what;
            EXPECT_NE(error.check.find(c.check), std::string::npos)
                << c.what << ": " << error.check;
            continue;
        }
        EXPECT_EQ(doc->Root.Children.size(), c.topLevel) << c.what;
        EXPECT_EQ(error.kind, Kind::kNone) << c.what;
    }
    // Without copying, a box running past the end is kept as the file describes it.
    Bytes cut = good;
    cut.resize(BoxAt(cut, "stsz") + 12);
    const MemorySource source(cut);
    EXPECT_NE(ParseBoxTree(source, "cut", false), nullptr);
    ParseError error;
    EXPECT_EQ(ParseBoxTree("/nonexistent/file.MP4", true, &error), nullptr);
    EXPECT_EQ(error.kind, Kind::kNotEnoughData);
}

TEST(BoxTree, Gps0CountFieldThatIsNotThereReadsAsZero) {
    const auto shortGps0 = Parse(Cat({Box("ftyp", Text("isom0000")), Box("gps0", Text("CSODAT"))}));
    ASSERT_TRUE(shortGps0);
    EXPECT_EQ(shortGps0->First(BoxList::kGps0)->RecordCount, 0u);
}

TEST(BoxTree, DeepNestingIsBounded) {
    Bytes nested = Box("free", Bytes(8, 0));
    for (int i = 0; i < 5000; ++i) {
        nested = Box("moov", nested);
    }
    const auto doc = Parse(Cat({Box("ftyp", Text("isom0000")), nested}));
    ASSERT_TRUE(doc);
    const BoxNode* n = &doc->Root;
    int depth = 0;
    while (!n->Children.empty()) {
        n = &n->Children.front();
        ++depth;
    }
    EXPECT_LT(depth, 40);
    EXPECT_EQ(doc->Root.Children[1].DiskSize(), nested.size());
}

TEST(BoxTree, UnknownTopLevelBoxStopsTheRootButKeepsWhatCameBefore) {
    const auto doc = Parse(Cat(
        {Box("ftyp", Text("isom0000")), Box("junk", Bytes(4, 0)), Box("gps0", Gps0Payload({}))}));
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->Root.Raw, 1);
    ASSERT_EQ(doc->Root.Children.size(), 1u);
    EXPECT_TRUE(doc->List(BoxList::kGps0).empty());
}

TEST(KnownTypes, Dictionary) {
    for (const char* t : {"moov", "trak", "jP  ", "xml ", "IDIT", "gps0", "url ", "res "}) {
        EXPECT_TRUE(IsKnownBoxType(t)) << t;
    }
    for (const char* t : {"avc1", "wide", "MOOV", "moo", "moovx", "ilst"}) {
        EXPECT_FALSE(IsKnownBoxType(t)) << t;
    }
}

}  // namespace
}  // namespace tavrilo
