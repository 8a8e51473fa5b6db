#include "recordings/join_checks.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "recordings/names.h"
#include "recordings/sample_tables.h"

namespace tavrilo {
namespace {

bool Refuse(std::string* error, std::string reason) {
    *error = std::move(reason);
    return false;
}

const std::vector<BoxNode*>& L(const Mp4Document& d, BoxList which) {
    return d.List(which);
}

bool ContainsType(const BoxNode& n, std::string_view type) {
    if (n.Type == type) {
        return true;
    }
    return std::any_of(n.Children.begin(), n.Children.end(),
                       [type](const BoxNode& c) { return ContainsType(c, type); });
}

// The top-level index of the first box of a type, or -1.
int TopIndex(const Mp4Document& d, std::string_view type) {
    for (size_t i = 0; i < d.Root.Children.size(); ++i) {
        if (d.Root.Children[i].Type == type) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void AppendBytes(std::vector<uint8_t>* key, ByteView b) {
    key->insert(key->end(), b.data(), b.data() + b.size());
}

// An MPEG-4 descriptor length: up to four bytes of seven bits each.
std::optional<size_t> DescriptorLength(ByteView b, size_t* at) {
    size_t length = 0;
    for (int i = 0; i < 4; ++i) {
        const auto byte = b.U8((*at)++);
        if (!byte) {
            return std::nullopt;
        }
        length = (length << 7) | (*byte & 0x7f);
        if ((*byte & 0x80) == 0) {
            return length;
        }
    }
    return std::nullopt;
}

// The descriptor with `tag` at `at`: its body.
std::optional<ByteView> Descriptor(ByteView b, size_t at, uint8_t tag) {
    if (b.U8(at) != tag) {
        return std::nullopt;
    }
    ++at;
    const auto length = DescriptorLength(b, &at);
    if (!length || !b.Has(at, *length)) {
        return std::nullopt;
    }
    return b.Sub(at, *length);
}

// From an "esds" payload: the object type, the stream type and the decoder specific info (the
// audio specific config), without the buffer size and the bit rates.
std::optional<std::vector<uint8_t>> EsdsKey(ByteView esds) {
    const auto es = Descriptor(esds, 4, 0x03);
    if (!es) {
        return std::nullopt;
    }
    const auto flags = es->U8(2);
    if (!flags) {
        return std::nullopt;
    }
    size_t at = 3;
    if (*flags & 0x80) {
        at += 2;  // depends-on stream id
    }
    if (*flags & 0x40) {
        const auto urlLength = es->U8(at);
        if (!urlLength) {
            return std::nullopt;
        }
        at += 1 + *urlLength;
    }
    if (*flags & 0x20) {
        at += 2;  // OCR stream id
    }
    const auto config = Descriptor(*es, at, 0x04);
    if (!config || !config->Has(0, 13)) {
        return std::nullopt;
    }
    std::vector<uint8_t> key = {*config->U8(0), *config->U8(1)};
    if (config->size() > 13) {
        const auto specific = Descriptor(*config, 13, 0x05);
        if (!specific) {
            return std::nullopt;
        }
        AppendBytes(&key, *specific);
    }
    return key;
}

enum class EntryKind { kVideo, kAudio, kOther };

EntryKind KindOf(std::string_view type) {
    for (std::string_view v : {"avc1", "avc3", "hvc1", "hev1", "mp4v"}) {
        if (type == v) {
            return EntryKind::kVideo;
        }
    }
    return type == "mp4a" ? EntryKind::kAudio : EntryKind::kOther;
}

// One sample entry (header included): its part of the key.
std::optional<std::vector<uint8_t>> EntryKey(ByteView entry) {
    const std::string_view type(reinterpret_cast<const char*>(entry.data()) + 4, 4);
    std::vector<uint8_t> key(entry.data() + 4, entry.data() + 8);
    size_t children = 0;
    switch (KindOf(type)) {
        case EntryKind::kOther:
            AppendBytes(&key, entry.Sub(8));
            return key;
        case EntryKind::kVideo:
            // Width and height follow 24 bytes of reserved and predefined fields.
            if (!entry.Has(8, 78)) {
                return std::nullopt;
            }
            AppendBytes(&key, entry.Sub(32, 4));
            children = 8 + 78;
            break;
        case EntryKind::kAudio:
            // Only the plain (version 0) audio entry: channel count, sample size, rate.
            if (!entry.Has(8, 28) || entry.Be16(16) != 0) {
                return std::nullopt;
            }
            AppendBytes(&key, entry.Sub(24, 4));
            AppendBytes(&key, entry.Sub(32, 4));
            children = 8 + 28;
            break;
    }
    for (size_t at = children; at < entry.size();) {
        const auto size = entry.Be32(at);
        if (!size || *size < 8 || !entry.Has(at, *size)) {
            return std::nullopt;
        }
        const ByteView box = entry.Sub(at, *size);
        const std::string_view child(reinterpret_cast<const char*>(box.data()) + 4, 4);
        if (child == "avcC" || child == "hvcC") {
            AppendBytes(&key, box);
        } else if (child == "esds") {
            const auto esds = EsdsKey(box.Sub(8));
            if (!esds) {
                return std::nullopt;
            }
            key.insert(key.end(), esds->begin(), esds->end());
        }
        at += *size;
    }
    return key;
}

bool SameDecoding(const BoxNode& a, const BoxNode& b) {
    const auto ka = DecodingKey(a.Data);
    const auto kb = DecodingKey(b.Data);
    return ka && kb ? *ka == *kb : a.Data == b.Data;
}

// Full boxes whose 32-bit fields the merge adds to: version 0 only.
bool SupportedHeaders(const Mp4Document& d, std::string* error) {
    for (BoxList list : {BoxList::kMvhd, BoxList::kMdhd, BoxList::kTkhd}) {
        for (const BoxNode* n : L(d, list)) {
            if (!n->HasData || n->Data.size() < 24 || n->Data[0] != 0) {
                return Refuse(error, d.Path + ": unsupported " + n->Type + " box");
            }
        }
    }
    for (const BoxNode* n : L(d, BoxList::kElst)) {
        if (!n->HasData || n->Data.size() < 8 || n->Data[0] != 0 || GetBe32(n->Data, 4) == 0 ||
            (n->Data.size() - 8) / 12 < GetBe32(n->Data, 4)) {
            return Refuse(error, d.Path + ": only edit lists of version 0 can be joined");
        }
    }
    return true;
}

// The checks only read the tracks.
std::vector<TrackBoxes> TracksOf(const Mp4Document& d) {
    return FindTracks(const_cast<BoxNode&>(d.Root));
}

bool TablesValid(const Mp4Document& d, std::string* error) {
    for (BoxList list :
         {BoxList::kStts, BoxList::kStsz, BoxList::kStsc, BoxList::kStco, BoxList::kStss}) {
        for (BoxNode* n : L(d, list)) {
            if (!TableOf(n).Valid()) {
                return Refuse(error, d.Path + ": damaged " + n->Type + " box");
            }
        }
    }
    // Composition offsets must cover the track's samples exactly: the merge appends the next
    // piece's behind them.
    for (const TrackBoxes& t : TracksOf(d)) {
        if (!t.unmerged.empty()) {
            return Refuse(error, d.Path + " has a " + t.unmerged.front()->Type +
                                     " table, which cannot be joined");
        }
        if (t.ctts == nullptr) {
            continue;
        }
        const SampleTable ctts = TableOf(t.ctts);
        uint64_t covered = 0;
        for (uint32_t i = 0; ctts.Valid() && i < ctts.count(); ++i) {
            covered += GetBe32(t.ctts->Data, ctts.header + size_t{i} * 8);
        }
        if (!ctts.Valid() || t.stsz == nullptr || covered != GetBe32(t.stsz->Data, 8)) {
            return Refuse(error, d.Path + ": damaged ctts box");
        }
    }
    return true;
}

}  // namespace

std::optional<std::vector<uint8_t>> DecodingKey(const std::vector<uint8_t>& stsd) {
    const ByteView b(std::span<const uint8_t>(stsd.data(), stsd.size()));
    const auto count = b.Be32(4);
    if (!count) {
        return std::nullopt;
    }
    std::vector<uint8_t> key;
    size_t at = 8;
    for (uint32_t i = 0; i < *count; ++i) {
        const auto size = b.Be32(at);
        if (!size || *size < 8 || !b.Has(at, *size)) {
            return std::nullopt;
        }
        const auto entry = EntryKey(b.Sub(at, *size));
        if (!entry) {
            return std::nullopt;
        }
        key.insert(key.end(), entry->begin(), entry->end());
        at += *size;
    }
    return key;
}

bool CheckJoinable(const Mp4Document& a, const Mp4Document& b, std::string* error) {
    for (const Mp4Document* d : {&a, &b}) {
        if (ContainsType(d->Root, "co64")) {
            return Refuse(error,
                          d->Path + " uses 64-bit chunk offsets (co64), which cannot be joined");
        }
        if (L(*d, BoxList::kMdat).empty() || L(*d, BoxList::kGps0).empty() ||
            L(*d, BoxList::kMvhd).empty()) {
            return Refuse(error, d->Path + " is not a complete recording (mdat, moov and gps0)");
        }
    }
    // The tables grow behind the media data; a movie box in front of it would move the data.
    if (TopIndex(a, "moov") < TopIndex(a, "mdat")) {
        return Refuse(error, a.Path + " keeps its movie box before the media data");
    }
    for (BoxList list :
         {BoxList::kStts, BoxList::kStsz, BoxList::kStsc, BoxList::kStco, BoxList::kStss,
          BoxList::kMdhd, BoxList::kTkhd, BoxList::kStsd, BoxList::kElst}) {
        if (L(a, list).size() != L(b, list).size()) {
            return Refuse(error, b.Path + " does not have the same tracks as " + a.Path);
        }
    }
    if (TracksOf(a).size() != TracksOf(b).size()) {
        return Refuse(error, b.Path + " does not have the same tracks as " + a.Path);
    }
    if (L(a, BoxList::kStsz).empty() || L(a, BoxList::kStco).empty()) {
        return Refuse(error, a.Path + " has no sample tables");
    }
    if (L(a, BoxList::kStss).empty()) {
        return Refuse(error, a.Path + " has no sync-sample table (stss)");
    }
    for (size_t i = 0; i < L(a, BoxList::kStsd).size(); ++i) {
        if (!SameDecoding(*L(a, BoxList::kStsd)[i], *L(b, BoxList::kStsd)[i])) {
            return Refuse(error, b.Path + " was recorded with other codec settings than " + a.Path);
        }
    }
    for (const Mp4Document* d : {&a, &b}) {
        if (!SupportedHeaders(*d, error) || !TablesValid(*d, error)) {
            return false;
        }
    }
    for (size_t i = 0; i < L(a, BoxList::kMdhd).size(); ++i) {
        if (GetBe32(L(a, BoxList::kMdhd)[i]->Data, 12) !=
            GetBe32(L(b, BoxList::kMdhd)[i]->Data, 12)) {
            return Refuse(error, b.Path + " has another timescale than " + a.Path);
        }
    }
    if (GetBe32(L(a, BoxList::kMvhd)[0]->Data, 12) != GetBe32(L(b, BoxList::kMvhd)[0]->Data, 12)) {
        return Refuse(error, b.Path + " has another movie timescale than " + a.Path);
    }
    for (size_t i = 0; i < L(a, BoxList::kStsz).size(); ++i) {
        if (GetBe32(L(a, BoxList::kStsz)[i]->Data, 4) !=
            GetBe32(L(b, BoxList::kStsz)[i]->Data, 4)) {
            return Refuse(error, b.Path + " stores sample sizes differently from " + a.Path);
        }
    }
    const BoxNode* gpsA = a.First(BoxList::kGps0);
    const uint64_t records = (gpsA->JoinedCount != 0 ? gpsA->JoinedCount : gpsA->RecordCount) +
                             b.First(BoxList::kGps0)->RecordCount;
    if (records > 65535) {
        return Refuse(error,
                      "more than 65,535 sensor records (about 109 minutes) cannot be joined");
    }
    const BoxNode* ma = a.First(BoxList::kMdat);
    const BoxNode* mb = b.First(BoxList::kMdat);
    if (ma->Size + mb->Size + 8 > UINT32_MAX || ma->Offset + ma->Size + mb->Size > UINT32_MAX) {
        return Refuse(error, "the joined media data would pass 4 GiB");
    }
    auto sumFits = [](const std::vector<BoxNode*>& x, const std::vector<BoxNode*>& y, size_t at) {
        for (size_t i = 0; i < x.size(); ++i) {
            if (uint64_t{GetBe32(x[i]->Data, at)} + GetBe32(y[i]->Data, at) > UINT32_MAX) {
                return false;
            }
        }
        return true;
    };
    if (!sumFits(L(a, BoxList::kMvhd), L(b, BoxList::kMvhd), 16) ||
        !sumFits(L(a, BoxList::kTkhd), L(b, BoxList::kTkhd), 20) ||
        !sumFits(L(a, BoxList::kMdhd), L(b, BoxList::kMdhd), 16)) {
        return Refuse(error, "the joined duration would not fit the 32-bit duration fields");
    }
    return true;
}

bool CheckJoinInputs(const std::vector<std::string>& inputs, const RecordingList& folderList,
                     std::string* error) {
    namespace fs = std::filesystem;
    if (inputs.size() < 2) {
        *error = "a join needs two recordings or more";
        return false;
    }
    if (inputs.size() > static_cast<size_t>(kJoinMostRows)) {
        *error = "a join takes at most " + std::to_string(kJoinMostRows) + " recordings";
        return false;
    }
    uint64_t bytes = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::error_code ec;
        for (size_t k = 0; k < i; ++k) {
            if (fs::equivalent(inputs[i], inputs[k], ec)) {
                *error = inputs[i] + " is given twice";
                return false;
            }
        }
        bytes += fs::file_size(inputs[i], ec);
        if (ec) {
            *error = inputs[i] + ": the file cannot be read";
            return false;
        }
    }
    if (bytes / 1048576 > kJoinLimitMb) {
        *error = "the recordings come to more than " + std::to_string(kJoinLimitMb) + " MB";
        return false;
    }
    const bool recorders = std::all_of(inputs.begin(), inputs.end(), [](const std::string& p) {
        return IsRecordingName(fs::path(p).filename().string());
    });
    if (!recorders) {
        return true;  // other programs' files: joined in the order given
    }
    // Each input's place in its folder's list; the places must follow one another.
    int previous = -1;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const auto at = std::find_if(folderList.begin(), folderList.end(), [&](const auto& e) {
            std::error_code ec;
            return fs::equivalent(e.Path, inputs[i], ec);
        });
        const int place = at == folderList.end() ? -1 : static_cast<int>(at - folderList.begin());
        if (place < 0 || (i > 0 && place != previous + 1)) {
            *error = fs::path(inputs[i]).filename().string() + " does not follow " +
                     (i > 0 ? fs::path(inputs[i - 1]).filename().string() : "the folder's list") +
                     ": a join takes consecutive recordings of one folder, in the recorder's order";
            return false;
        }
        previous = place;
    }
    return true;
}

}  // namespace tavrilo
