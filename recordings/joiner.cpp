#include "recordings/joiner.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/atomic_file.h"
#include "recordings/sensor_track.h"

namespace tavrilo {
namespace {

constexpr uint64_t kCopyPiece = 32ull << 20;

uint32_t Get32(const std::vector<uint8_t>& d, size_t at) {
    return (uint32_t{d[at]} << 24) | (uint32_t{d[at + 1]} << 16) | (uint32_t{d[at + 2]} << 8) |
           d[at + 3];
}
void Put32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
    d[at] = static_cast<uint8_t>(v >> 24);
    d[at + 1] = static_cast<uint8_t>(v >> 16);
    d[at + 2] = static_cast<uint8_t>(v >> 8);
    d[at + 3] = static_cast<uint8_t>(v);
}

// A full box's table: version/flags, a 32-bit entry count, then entries of `width` bytes
// (after `header` bytes). Validated against the copy the node holds.
struct Table {
    BoxNode* node;
    size_t header;   // bytes before the entries
    size_t width;    // bytes per entry
    size_t countAt;  // where the entry count is

    uint32_t count() const { return Get32(node->Data, countAt); }
    bool Valid() const {
        const auto& d = node->Data;
        return node->HasData && d.size() >= header && (d.size() - header) / width >= count();
    }
    uint8_t* Entry(size_t i) { return node->Data.data() + header + i * width; }
};

Table TableOf(BoxNode* n, std::string_view type) {
    if (type == "stsz") {
        return {n, 12, 4, 8};
    }
    if (type == "stsc") {
        return {n, 8, 12, 4};
    }
    if (type == "stts") {
        return {n, 8, 8, 4};
    }
    return {n, 8, 4, 4};  // stss, stco
}

// Replaces `a`'s entries by its own followed by `extra` and `b`'s, and fixes sizes and count.
void AppendEntries(Table a, const std::vector<uint8_t>& extra, const uint8_t* b, uint32_t bCount,
                   uint32_t width) {
    auto& d = a.node->Data;
    const uint32_t aCount = a.count();
    d.resize(a.header + size_t{aCount} * width);
    d.insert(d.end(), extra.begin(), extra.end());
    d.insert(d.end(), b, b + size_t{bCount} * width);
    Put32(d, a.countAt, aCount + static_cast<uint32_t>(extra.size() / width) + bCount);
    a.node->Size = a.node->DataSize = d.size();
}

const std::vector<BoxNode*>& L(const Mp4Document& d, BoxList which) {
    return d.List(which);
}

bool Refuse(std::string* error, std::string reason) {
    *error = std::move(reason);
    return false;
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

// Everything that must hold before any table of `a` is touched.
bool CheckJoinable(const Mp4Document& a, const Mp4Document& b, std::string* error) {
    for (const Mp4Document* d : {&a, &b}) {
        if (ContainsType(d->Root, "co64")) {
            return Refuse(error,
                          d->Path + " uses 64-bit chunk offsets (co64), which cannot be joined");
        }
        if (ContainsType(d->Root, "ctts")) {
            return Refuse(error,
                          d->Path + " has composition offsets (ctts), which cannot be joined");
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
    if (L(a, BoxList::kStsz).empty() || L(a, BoxList::kStco).empty()) {
        return Refuse(error, a.Path + " has no sample tables");
    }
    if (L(a, BoxList::kStss).empty()) {
        return Refuse(error, a.Path + " has no sync-sample table (stss)");
    }
    for (size_t i = 0; i < L(a, BoxList::kStsd).size(); ++i) {
        if (L(a, BoxList::kStsd)[i]->Data != L(b, BoxList::kStsd)[i]->Data) {
            return Refuse(error, b.Path + " was recorded with other codec settings than " + a.Path);
        }
    }
    for (const Mp4Document* d : {&a, &b}) {
        for (BoxList list : {BoxList::kMvhd, BoxList::kMdhd, BoxList::kTkhd}) {
            for (const BoxNode* n : L(*d, list)) {
                if (!n->HasData || n->Data.size() < 24 || n->Data[0] != 0) {
                    return Refuse(error, d->Path + ": unsupported " + n->Type + " box");
                }
            }
        }
    }
    for (size_t i = 0; i < L(a, BoxList::kMdhd).size(); ++i) {
        if (Get32(L(a, BoxList::kMdhd)[i]->Data, 12) != Get32(L(b, BoxList::kMdhd)[i]->Data, 12)) {
            return Refuse(error, b.Path + " has another timescale than " + a.Path);
        }
    }
    if (Get32(L(a, BoxList::kMvhd)[0]->Data, 12) != Get32(L(b, BoxList::kMvhd)[0]->Data, 12)) {
        return Refuse(error, b.Path + " has another movie timescale than " + a.Path);
    }
    for (BoxList list :
         {BoxList::kStts, BoxList::kStsz, BoxList::kStsc, BoxList::kStco, BoxList::kStss}) {
        const std::string_view type = kBoxListTypes[static_cast<size_t>(list)];
        for (const Mp4Document* d : {&a, &b}) {
            for (BoxNode* n : L(*d, list)) {
                if (!TableOf(n, type).Valid()) {
                    return Refuse(error, d->Path + ": damaged " + std::string(type) + " box");
                }
            }
        }
    }
    for (size_t i = 0; i < L(a, BoxList::kStsz).size(); ++i) {
        const uint32_t sa = Get32(L(a, BoxList::kStsz)[i]->Data, 4);
        const uint32_t sb = Get32(L(b, BoxList::kStsz)[i]->Data, 4);
        if (sa != sb) {
            return Refuse(error, b.Path + " stores sample sizes differently from " + a.Path);
        }
    }
    const uint64_t records =
        (a.First(BoxList::kGps0)->JoinedCount != 0 ? a.First(BoxList::kGps0)->JoinedCount
                                                   : a.First(BoxList::kGps0)->RecordCount) +
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
            if (uint64_t{Get32(x[i]->Data, at)} + Get32(y[i]->Data, at) > UINT32_MAX) {
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

bool CopyFromSource(const std::string& source, uint64_t offset, uint64_t length, AtomicFile& out,
                    std::string* error) {
    MappedFile file;
    if (!file.Open(source)) {
        *error = "cannot open " + source;
        return false;
    }
    for (uint64_t done = 0; done < length;) {
        const uint64_t piece = std::min(kCopyPiece, length - done);
        const auto view = file.MapRange(offset + done, piece, file.size());
        if (!view || view->bytes().size() != piece) {
            *error = "cannot read " + source + " at byte " + std::to_string(offset + done) +
                     " (the file is shorter than its boxes say)";
            return false;
        }
        if (!out.Write(view->bytes().data(), static_cast<size_t>(piece))) {
            *error = "writing failed: " + out.writeError();
            return false;
        }
        done += piece;
    }
    return true;
}

uint64_t WrittenSize(const BoxNode& n) {
    if (n.Type == "gps0") {
        uint64_t records = n.RecordBytes;
        for (const BoxNode* j = n.FirstJoined; j != nullptr; j = j->NextJoined) {
            records += j->RecordBytes;
        }
        return 8 + kGps0PayloadFraming + records;
    }
    if (n.Raw) {
        return n.Size + 8;
    }
    uint64_t total = 8;
    for (const BoxNode& c : n.Children) {
        total += WrittenSize(c);
    }
    return total;
}

bool WriteNode(const BoxNode& n, AtomicFile& out, std::string* error) {
    const uint64_t size = WrittenSize(n);
    if (size > UINT32_MAX) {
        *error = "the " + n.Type + " box would pass 4 GiB";
        return false;
    }
    uint8_t header[8];
    header[0] = static_cast<uint8_t>(size >> 24);
    header[1] = static_cast<uint8_t>(size >> 16);
    header[2] = static_cast<uint8_t>(size >> 8);
    header[3] = static_cast<uint8_t>(size);
    std::memcpy(header + 4, n.Type.data(), 4);
    if (!out.Write(header, sizeof header)) {
        *error = "writing failed: " + out.writeError();
        return false;
    }
    if (n.Type == "mdat") {
        for (const BoxNode* p = &n; p != nullptr; p = p == &n ? n.FirstJoined : p->NextJoined) {
            if (!CopyFromSource(*p->Source, p->OrigOffset, p->OrigSize, out, error)) {
                return false;
            }
        }
        return true;
    }
    if (n.Type == "gps0") {
        const uint64_t count = n.JoinedCount != 0 ? n.JoinedCount : n.RecordCount;
        const uint8_t countBytes[2] = {static_cast<uint8_t>(count >> 8),
                                       static_cast<uint8_t>(count)};
        if (!out.Write("CSODAT", 6) ||
            !CopyFromSource(*n.Source, n.OrigOffset + 6, kCameraBlockSize, out, error) ||
            !out.Write(countBytes, 2)) {
            if (error->empty()) {
                *error = "writing failed: " + out.writeError();
            }
            return false;
        }
        for (const BoxNode* p = &n; p != nullptr; p = p == &n ? n.FirstJoined : p->NextJoined) {
            if (!CopyFromSource(*p->Source, p->OrigOffset + 34, p->RecordBytes, out, error)) {
                return false;
            }
        }
        if (!out.Write("CSOEND", 6)) {
            *error = "writing failed: " + out.writeError();
            return false;
        }
        return true;
    }
    if (n.Raw) {
        if (!n.HasData || n.Data.size() != n.Size) {
            *error = "the " + n.Type + " box was not read into memory";
            return false;
        }
        if (!out.Write(n.Data.data(), n.Data.size())) {
            *error = "writing failed: " + out.writeError();
            return false;
        }
        return true;
    }
    return WriteBoxTree(n, out, error);
}

// The track (the index of its "stbl" in tree order) each "stss" belongs to: only tracks with
// sync-sample tables have one, so list positions alone would pair it with another track's
// sample count when the video track is not the first.
void SyncTableTracks(const BoxNode& node, int* stbl, std::vector<size_t>* tracks) {
    if (node.Type == "stbl") {
        ++*stbl;
    }
    if (node.Type == "stss") {
        tracks->push_back(static_cast<size_t>(std::max(*stbl, 0)));
    }
    for (const BoxNode& c : node.Children) {
        SyncTableTracks(c, stbl, tracks);
    }
}

void Chain(BoxNode& head, const BoxNode& tail) {
    if (head.LastJoined == nullptr) {
        head.FirstJoined = &tail;
    } else {
        const_cast<BoxNode*>(head.LastJoined)->NextJoined = &tail;
    }
    head.LastJoined = &tail;
}

}  // namespace

bool JoinDocuments(Mp4Document& a, const Mp4Document& b, std::string* error) {
    if (!CheckJoinable(a, b, error)) {
        return false;
    }
    // 1. Media data: B's follows A's.
    BoxNode& mdatA = *a.Lists[static_cast<size_t>(BoxList::kMdat)][0];
    const BoxNode& mdatB = *b.First(BoxList::kMdat);
    const uint64_t aMedia = mdatA.Size;
    Chain(mdatA, mdatB);
    mdatA.Size += mdatB.Size;

    // 2. Sensor records.
    BoxNode& gpsA = *a.Lists[static_cast<size_t>(BoxList::kGps0)][0];
    const BoxNode& gpsB = *b.First(BoxList::kGps0);
    gpsA.PayloadBytes += gpsB.RecordBytes;
    gpsA.Size = gpsA.PayloadBytes;
    gpsA.JoinedCount =
        (gpsA.JoinedCount != 0 ? gpsA.JoinedCount : gpsA.RecordCount) + gpsB.RecordCount;
    Chain(gpsA, gpsB);

    const auto& stszA = L(a, BoxList::kStsz);
    int stbl = -1;
    std::vector<size_t> syncTracks;
    SyncTableTracks(a.Root, &stbl, &syncTracks);
    // A's sample count of the track of the l-th sync table.
    auto samplesOfA = [&](size_t l) {
        const size_t track = l < syncTracks.size() ? syncTracks[l] : l;
        return Get32(stszA[std::min(track, stszA.size() - 1)]->Data, 8);
    };

    // 4. Time-to-sample.
    uint64_t added = 0;
    for (size_t i = 0; i < L(a, BoxList::kStts).size(); ++i) {
        Table ta = TableOf(L(a, BoxList::kStts)[i], "stts");
        Table tb = TableOf(L(b, BoxList::kStts)[i], "stts");
        AppendEntries(ta, {}, tb.Entry(0), tb.count(), 8);
        added += tb.count();
    }
    if (added == 0) {
        return Refuse(error, b.Path + " has no samples");
    }

    // 3 and 5. Sync samples: B's numbers move behind A's samples, and B's first sample is
    // always one. An entry B already lists for it is not written twice (the table must rise).
    for (size_t l = 0; l < L(a, BoxList::kStss).size(); ++l) {
        Table ta = TableOf(L(a, BoxList::kStss)[l], "stss");
        Table tb = TableOf(L(b, BoxList::kStss)[l], "stss");
        const uint32_t first = samplesOfA(l) + 1;
        std::vector<uint8_t> renumbered;
        for (uint32_t k = 0; k < tb.count(); ++k) {
            const uint32_t v = Get32(tb.node->Data, tb.header + size_t{k} * 4) + samplesOfA(l);
            if (v != first) {
                renumbered.resize(renumbered.size() + 4);
                Put32(renumbered, renumbered.size() - 4, v);
            }
        }
        std::vector<uint8_t> extra(4);
        Put32(extra, 0, first);
        AppendEntries(ta, extra, renumbered.data(), static_cast<uint32_t>(renumbered.size() / 4),
                      4);
    }

    // 7 and 8 need A's chunk counts before the chunk tables grow.
    std::vector<uint32_t> chunksOfA;
    for (BoxNode* n : L(a, BoxList::kStco)) {
        chunksOfA.push_back(Get32(n->Data, 4));
    }

    // 6. Sample sizes.
    added = 0;
    for (size_t i = 0; i < stszA.size(); ++i) {
        Table ta = TableOf(stszA[i], "stsz");
        Table tb = TableOf(L(b, BoxList::kStsz)[i], "stsz");
        const uint32_t bCount = tb.count();
        if (Get32(ta.node->Data, 4) == 0) {
            AppendEntries(ta, {}, tb.Entry(0), bCount, 4);
            added += bCount;
        } else {
            Put32(ta.node->Data, 8, ta.count() + bCount);
        }
    }
    if (added == 0) {
        return Refuse(error, "every track stores one constant sample size; nothing to join");
    }

    // 7. Sample-to-chunk: B's chunk numbers continue after A's chunks.
    added = 0;
    for (size_t i = 0; i < L(a, BoxList::kStsc).size(); ++i) {
        Table ta = TableOf(L(a, BoxList::kStsc)[i], "stsc");
        Table tb = TableOf(L(b, BoxList::kStsc)[i], "stsc");
        std::vector<uint8_t> entries(tb.Entry(0), tb.Entry(0) + size_t{tb.count()} * 12);
        for (size_t k = 0; k < tb.count(); ++k) {
            Put32(entries, k * 12,
                  Get32(entries, k * 12) + (i < chunksOfA.size() ? chunksOfA[i] : 0));
        }
        AppendEntries(ta, {}, entries.data(), tb.count(), 12);
        added += tb.count();
    }
    if (added == 0) {
        return Refuse(error, b.Path + " has no chunks");
    }

    // 8. Chunk offsets: B's data now lies behind A's in A's media box.
    const int64_t shift =
        static_cast<int64_t>(mdatA.OrigOffset + aMedia) - static_cast<int64_t>(mdatB.OrigOffset);
    added = 0;
    for (size_t i = 0; i < L(a, BoxList::kStco).size(); ++i) {
        Table ta = TableOf(L(a, BoxList::kStco)[i], "stco");
        Table tb = TableOf(L(b, BoxList::kStco)[i], "stco");
        std::vector<uint8_t> entries(tb.Entry(0), tb.Entry(0) + size_t{tb.count()} * 4);
        for (size_t k = 0; k < tb.count(); ++k) {
            const int64_t moved = static_cast<int64_t>(Get32(entries, k * 4)) + shift;
            if (moved < 0 || moved > UINT32_MAX) {
                return Refuse(error, b.Path + " has chunk offsets outside its media data");
            }
            Put32(entries, k * 4, static_cast<uint32_t>(moved));
        }
        AppendEntries(ta, {}, entries.data(), tb.count(), 4);
        added += tb.count();
    }
    if (added == 0) {
        return Refuse(error, b.Path + " has no chunk offsets");
    }

    // 9. Durations add up.
    auto addAt = [](const std::vector<BoxNode*>& x, const std::vector<BoxNode*>& y, size_t at) {
        for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
            if (x[i]->Data.size() >= at + 4 && y[i]->Data.size() >= at + 4) {
                Put32(x[i]->Data, at, Get32(x[i]->Data, at) + Get32(y[i]->Data, at));
            }
        }
    };
    addAt(L(a, BoxList::kMvhd), L(b, BoxList::kMvhd), 16);
    addAt(L(a, BoxList::kTkhd), L(b, BoxList::kTkhd), 20);
    addAt(L(a, BoxList::kElst), L(b, BoxList::kElst), 8);
    addAt(L(a, BoxList::kMdhd), L(b, BoxList::kMdhd), 16);
    return true;
}

bool WriteBoxTree(const BoxNode& root, AtomicFile& out, std::string* error) {
    for (const BoxNode& child : root.Children) {
        if (!WriteNode(child, out, error)) {
            return false;
        }
    }
    return true;
}

JoinResult JoinRecordings(const std::vector<std::string>& inputs, const std::string& output,
                          const JoinOptions& options, std::string* error) {
    if (inputs.empty()) {
        *error = "nothing to join";
        return JoinResult::kFailed;
    }
    std::error_code ec;
    if (!options.overwrite && std::filesystem::exists(output, ec)) {
        *error = output + " already exists";
        return JoinResult::kFailed;
    }
    uint64_t total = 0;
    for (const std::string& in : inputs) {
        const uint64_t size = std::filesystem::file_size(in, ec);
        if (ec) {
            *error = "cannot read " + in;
            return JoinResult::kFailed;
        }
        total += size;
    }
    const std::filesystem::path folder = std::filesystem::path(output).parent_path();
    const uint64_t free = AvailableSpace(folder.empty() ? "." : folder.string());
    if (total >= free) {
        *error = "not enough free space: " + std::to_string(total / 1048576) + " MB needed, " +
                 std::to_string(free / 1048576) + " MB free";
        return JoinResult::kFailed;
    }
    std::vector<std::unique_ptr<Mp4Document>> docs;
    const int steps = 100 * static_cast<int>(inputs.size());
    for (size_t k = 0; k < inputs.size(); ++k) {
        if (options.running != nullptr && !options.running->load()) {
            return JoinResult::kCancelled;
        }
        auto doc = ParseBoxTree(inputs[k], true);
        if (!doc) {
            *error = "cannot read " + inputs[k] + " as an MP4 file";
            return JoinResult::kFailed;
        }
        if (k > 0 && !JoinDocuments(*docs.front(), *doc, error)) {
            return JoinResult::kFailed;
        }
        docs.push_back(std::move(doc));
        if (k > 0 && options.progress) {
            options.progress(static_cast<int>(k + 1) * 99, steps);
        }
    }
    if (options.running != nullptr && !options.running->load()) {
        return JoinResult::kCancelled;
    }
    AtomicFile out;
    if (!out.Open(output, error) || !WriteBoxTree(docs.front()->Root, out, error) ||
        !out.Commit(options.overwrite, error)) {
        return JoinResult::kFailed;
    }
    if (options.progress) {
        options.progress(steps, steps);
    }
    return JoinResult::kDone;
}

}  // namespace tavrilo
