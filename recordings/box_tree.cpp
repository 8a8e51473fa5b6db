#include "recordings/box_tree.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "recordings/sensor_track.h"

namespace tavrilo {
namespace {

// The dictionary of box types ("xml " appears twice in the recorder tools' table).
constexpr std::string_view kKnownTypes[] = {
    "ainf", "avcn", "bloc", "bpcc", "buff", "bxml", "ccid", "cdef", "clip", "cmap", "co64", "colr",
    "crgn", "crhd", "cslg", "ctab", "ctts", "cvru", "dinf", "dref", "dsgd", "dstg", "edts", "elst",
    "fdel", "feci", "fecr", "fiin", "fire", "fpar", "free", "frma", "ftyp", "gitn", "grpi", "hdlr",
    "hmhd", "hpix", "icnu", "ID32", "idat", "ihdr", "iinf", "iloc", "imap", "imif", "infe", "infu",
    "iods", "iphd", "ipmc", "ipro", "iref", "jP  ", "jp2c", "jp2h", "jp2i", "kmat", "leva", "load",
    "lrcu", "m7hd", "matt", "mdat", "mdhd", "mdia", "mdri", "meco", "mehd", "mere", "meta", "mfhd",
    "mfra", "mfro", "minf", "mjhd", "moof", "moov", "mvcg", "mvci", "mvex", "mvhd", "mvra", "nmhd",
    "ochd", "odaf", "odda", "odhd", "odhe", "odrb", "odrm", "odtt", "ohdr", "padb", "paen", "pclr",
    "pdin", "pitm", "pnot", "prft", "res ", "resc", "resd", "rinf", "saio", "saiz", "sbgp", "schi",
    "schm", "sdep", "sdhd", "sdtp", "sdvp", "segr", "senc", "sgpd", "sidx", "sinf", "skip", "smhd",
    "srmb", "srmc", "srpp", "ssix", "stbl", "stco", "stdp", "sthd", "strd", "stri", "stsc", "stsd",
    "stsg", "stsh", "stss", "stsz", "stts", "styp", "stz2", "subs", "swtc", "tfad", "tfdt", "tfhd",
    "tfma", "tfra", "tibr", "tiri", "tkhd", "traf", "trak", "tref", "trex", "trgr", "trik", "trun",
    "udta", "uinf", "UITS", "ulst", "url ", "uuid", "vmhd", "vwdi", "xml ", "xml ", "udat", "gpsa",
    "gps0", "ICAT", "IDIT"};
static_assert(std::size(kKnownTypes) == 171);

// Deeper nesting than any real file has; a crafted file could otherwise exhaust the stack.
constexpr int32_t kMaxDepth = 32;
constexpr uint64_t kHeaderView = 65535;

class TreeParser {
  public:
    TreeParser(Mp4Document& doc, bool copyData, ParseError* error)
        : doc_(doc), copy_(copyData), error_(error) {}

    // Parses the children of `parent`; false on a failure that voids the whole parse.
    bool ParseChildren(BoxNode& parent) {
        uint64_t offset = parent.Offset;
        uint64_t accumulated = 0;
        while (accumulated < parent.Size) {
            auto view = doc_.Bytes->View(offset, kHeaderView, doc_.FileSize);
            if (!view || !view->bytes().Has(0, 8)) {
                return true;  // the file ends here
            }
            const ByteView b = view->bytes();
            const uint32_t size = *b.Be32(0);
            if (size < 8) {
                return true;  // size 0, 1 or too small: nothing we can step over
            }
            BoxNode child;
            child.Depth = parent.Depth + 1;
            child.Type.assign(reinterpret_cast<const char*>(b.data()) + 4, 4);
            child.Source = &doc_.Path;
            child.Size = child.OrigSize = size - 8u;
            child.Offset = child.OrigOffset = offset + 8;
            if (child.Type == "gps0") {
                // Never copied: writers read the records from the source file.
                child.RecordCount = b.Be16(40).value_or(0);
                child.RecordBytes = child.RecordCount * kSensorRecordSize;
                child.PayloadBytes = child.RecordBytes + kGps0PayloadFraming;
                child.Raw = 1;
            } else if (!IsKnownBoxType(child.Type) || parent.Depth >= kMaxDepth) {
                return MakeRaw(parent);
            } else {
                if (copy_ && child.Type != "mdat" &&
                    !(child.Size >= 5 && IsKnownBoxType(TypeAt(b, 12)))) {
                    if (!CopyPayload(child)) {
                        return false;
                    }
                }
                if (!child.Raw && size > 12 && !ParseChildren(child)) {
                    return false;
                }
            }
            parent.Children.push_back(std::move(child));
            accumulated += size;
            offset += size;
        }
        return true;
    }

  private:
    static std::string_view TypeAt(const ByteView& b, size_t at) {
        return b.Has(at, 4) ? std::string_view(reinterpret_cast<const char*>(b.data()) + at, 4)
                            : std::string_view();
    }

    bool CopyPayload(BoxNode& node) {
        node.Raw = 1;
        if (node.Size == 0) {
            node.HasData = true;
            return true;
        }
        // A data box whose payload runs past the end of the file is damage the writers
        // could not copy; the parse fails rather than hand on a short box.
        if (node.Offset + node.Size > doc_.FileSize) {
            return Fail(ParseError::Kind::kNotEnoughData,
                        "the " + node.Type + " box runs past the end of the file");
        }
        auto view = doc_.Bytes->View(node.Offset, node.Size, doc_.FileSize);
        if (!view || view->bytes().size() != node.Size) {
            return Fail(ParseError::Kind::kNotEnoughData,
                        "the " + node.Type + " box could not be read");
        }
        node.Data.assign(view->bytes().data(), view->bytes().data() + node.Size);
        node.HasData = true;
        node.DataSize = node.Size;
        return true;
    }

    // A box list turned out to hold something that is no box: its payload is data, and the
    // children read so far were a misreading of that data. The root keeps the top-level boxes
    // read before the unknown one.
    bool MakeRaw(BoxNode& node) {
        node.Raw = 1;
        if (node.Depth == 0) {
            return true;
        }
        node.Children.clear();
        if (copy_ && !node.HasData && node.Type != "mdat") {
            return CopyPayload(node);
        }
        return true;
    }

    bool Fail(ParseError::Kind kind, std::string check) {
        if (error_ != nullptr) {
            *error_ = {kind, std::move(check)};
        }
        return false;
    }

    Mp4Document& doc_;
    bool copy_;
    ParseError* error_;
};

void FillLists(Mp4Document& doc, BoxNode& node) {
    for (size_t i = 0; i < kBoxListTypes.size(); ++i) {
        if (node.Type == kBoxListTypes[i]) {
            doc.Lists[i].push_back(&node);
        }
    }
    for (BoxNode& child : node.Children) {
        FillLists(doc, child);
    }
}

}  // namespace

void IndexBoxLists(Mp4Document& doc) {
    for (auto& list : doc.Lists) {
        list.clear();
    }
    FillLists(doc, doc.Root);
}

bool IsKnownBoxType(std::string_view type) {
    return type.size() == 4 &&
           std::find(std::begin(kKnownTypes), std::end(kKnownTypes), type) != std::end(kKnownTypes);
}

uint64_t BoxNode::DiskSize() const {
    if (Raw) {
        return Size + 8;
    }
    uint64_t total = 8;
    for (const BoxNode& c : Children) {
        total += c.DiskSize();
    }
    return total;
}

std::unique_ptr<Mp4Document> ParseBoxTree(const ByteSource& bytes, std::string name, bool copyData,
                                          ParseError* error) {
    auto doc = std::make_unique<Mp4Document>();
    doc->Path = std::move(name);
    doc->Bytes = &bytes;
    doc->FileSize = bytes.size();
    doc->Root.Size = doc->Root.OrigSize = doc->FileSize;
    doc->Root.Source = &doc->Path;
    TreeParser parser(*doc, copyData, error);
    if (!parser.ParseChildren(doc->Root)) {
        return nullptr;
    }
    IndexBoxLists(*doc);
    return doc;
}

std::unique_ptr<Mp4Document> ParseBoxTree(const std::string& path, bool copyData,
                                          ParseError* error) {
    auto file = std::make_unique<MappedFile>();
    if (!file->Open(path)) {
        if (error != nullptr) {
            *error = {ParseError::Kind::kNotEnoughData, "the file cannot be opened"};
        }
        return nullptr;
    }
    auto doc = ParseBoxTree(*file, path, copyData, error);
    if (doc) {
        doc->OwnedFile = std::move(file);
    }
    return doc;
}

NodePayload::NodePayload(const Mp4Document& doc, const BoxNode& node, uint64_t maxBytes) {
    if (node.HasData) {
        view_ = ByteView(std::span<const uint8_t>(node.Data.data(),
                                                  std::min<uint64_t>(node.Data.size(), maxBytes)));
        return;
    }
    mapped_ = doc.Bytes->View(node.Offset, std::min(node.Size, maxBytes),
                              std::min(doc.FileSize, node.Offset + node.Size));
    if (mapped_) {
        view_ = mapped_->bytes();
    }
}

std::optional<std::pair<int, int>> GetVideoSize(const Mp4Document& doc) {
    const BoxNode* stsd = doc.First(BoxList::kStsd);
    if (stsd == nullptr) {
        return std::nullopt;
    }
    const NodePayload p(doc, *stsd, 64);
    const auto w = p.bytes().Be16(40);
    const auto h = p.bytes().Be16(42);
    if (!w || !h) {
        return std::nullopt;
    }
    return std::make_pair(int{*w}, int{*h});
}

std::optional<uint32_t> GetSampleCount(const Mp4Document& doc) {
    const BoxNode* stsz = doc.First(BoxList::kStsz);
    if (stsz == nullptr) {
        return std::nullopt;
    }
    return NodePayload(doc, *stsz, 16).bytes().Be32(8);
}

uint32_t MediaTimescale(const Mp4Document& doc) {
    constexpr uint32_t kRecorderTimescale = 1000000;
    const BoxNode* mdhd = doc.First(BoxList::kMdhd);
    if (mdhd == nullptr) {
        return kRecorderTimescale;
    }
    const NodePayload p(doc, *mdhd, 32);
    const auto version = p.bytes().U8(0);
    const auto timescale = p.bytes().Be32(version == 1 ? 20 : 12);
    return timescale && *timescale != 0 ? *timescale : kRecorderTimescale;
}

int RecordingSeconds(uint32_t samples, float rate) {
    return rate > 0 ? static_cast<int>(std::lround(static_cast<double>(samples) / rate)) : 0;
}

float GetFrameRate(const Mp4Document& doc) {
    const BoxNode* stts = doc.First(BoxList::kStts);
    if (stts == nullptr) {
        return -1.0f;
    }
    const NodePayload p(doc, *stts);
    const ByteView b = p.bytes();
    const uint32_t entries = b.Be32(4).value_or(0);
    uint64_t totalDuration = 0;
    uint64_t totalCount = 0;
    for (uint32_t i = 0; i < entries; ++i) {
        const auto count = b.Be32(8 + size_t{i} * 8);
        const auto delta = b.Be32(12 + size_t{i} * 8);
        if (!count || !delta) {
            break;
        }
        totalDuration += uint64_t{*count} * *delta;
        totalCount += *count;
    }
    // No samples or zero-length ones give no rate rather than a division by zero.
    if (totalCount == 0 || totalDuration / totalCount == 0) {
        return -1.0f;
    }
    // The mean delta stays a whole number; the rate itself is a fraction (29.97, 27.5).
    return static_cast<float>(MediaTimescale(doc)) / static_cast<float>(totalDuration / totalCount);
}

std::optional<SystemTime> GetStartTime(const Mp4Document& doc) {
    const BoxNode* gps0 = doc.First(BoxList::kGps0);
    if (gps0 == nullptr || gps0->RecordCount == 0) {
        return std::nullopt;
    }
    const NodePayload p(doc, *gps0, 34 + kSensorRecordSize);
    const ByteView record = p.bytes().Sub(34, kSensorRecordSize);
    if (record.size() != kSensorRecordSize) {
        return std::nullopt;
    }
    return DecodeRecordTime(record);
}

}  // namespace tavrilo
