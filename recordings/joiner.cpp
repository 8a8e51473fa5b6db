#include "recordings/joiner.h"

#include <algorithm>
#include <filesystem>

#include "platform/atomic_file.h"
#include "recordings/box_writer.h"
#include "recordings/join_checks.h"
#include "recordings/sample_tables.h"

namespace tavrilo {
namespace {

const std::vector<BoxNode*>& L(const Mp4Document& d, BoxList which) {
    return d.List(which);
}

bool Refuse(std::string* error, std::string reason) {
    *error = std::move(reason);
    return false;
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

// Appends every track's table of `list` in `b` to the same table in `a`, after `rewrite`
// adjusted each entry of a copy of B's (false refuses). The number of entries added, or nullopt.
template <class Rewrite>
std::optional<uint64_t> MergeTables(const Mp4Document& a, const Mp4Document& b, BoxList list,
                                    Rewrite rewrite) {
    uint64_t added = 0;
    for (size_t i = 0; i < L(a, list).size(); ++i) {
        const SampleTable tb = TableOf(L(b, list)[i]);
        std::vector<uint8_t> entries = tb.Entries();
        for (size_t k = 0; k < tb.count(); ++k) {
            if (!rewrite(i, entries, k * tb.width)) {
                return std::nullopt;
            }
        }
        AppendEntries(TableOf(L(a, list)[i]), {}, entries);
        added += tb.count();
    }
    return added;
}

constexpr auto kKeepEntries = [](size_t, std::vector<uint8_t>&, size_t) { return true; };

// One composition-offset entry: a sample count and a signed offset.
struct Offset {
    uint32_t count;
    int64_t offset;
};

std::vector<Offset> ReadOffsets(BoxNode* ctts) {
    const SampleTable t = TableOf(ctts);
    const bool isSigned = ctts->Data[0] == 1;
    std::vector<Offset> out;
    for (uint32_t i = 0; i < t.count(); ++i) {
        const uint32_t raw = GetBe32(ctts->Data, t.header + size_t{i} * 8 + 4);
        out.push_back({GetBe32(ctts->Data, t.header + size_t{i} * 8),
                       isSigned ? int64_t{static_cast<int32_t>(raw)} : int64_t{raw}});
    }
    return out;
}

std::vector<uint8_t> OffsetTable(const std::vector<Offset>& entries, bool isSigned) {
    std::vector<uint8_t> d(8 + entries.size() * 8);
    d[0] = isSigned ? 1 : 0;
    PutBe32(d, 4, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        PutBe32(d, 8 + i * 8, entries[i].count);
        PutBe32(d, 12 + i * 8, static_cast<uint32_t>(entries[i].offset));
    }
    return d;
}

// Whether a track of A and B joins through its composition offsets: either piece reorders its
// pictures, or their presentations start at different media times.
bool JoinsByOffsets(const TrackBoxes& a, const TrackBoxes& b) {
    return a.ctts != nullptr || b.ctts != nullptr || EditMediaTime(a.elst) != EditMediaTime(b.elst);
}

// The number of edits of an "elst" copy (already checked to hold them all).
uint32_t EditCount(const BoxNode* elst) {
    return elst == nullptr ? 0 : GetBe32(elst->Data, 4);
}

// Composition offsets ("ctts", written by encoders that use B-frames). Each track's
// presentation starts at its edit's media time; the joined file keeps A's edit, so B's
// offsets move by the difference of the two media times and B's frames follow A's in
// presentation order, each shown once. A piece without offsets presents its frames at their
// decoding times (offset 0 before that move). A track that gains offsets gets a new table.
bool MergeCompositionOffsets(Mp4Document& a, const Mp4Document& b, std::string* error) {
    std::vector<TrackBoxes> ta = FindTracks(a.Root);
    const std::vector<TrackBoxes> tb = FindTracks(const_cast<BoxNode&>(b.Root));
    bool added = false;
    for (size_t i = 0; i < ta.size() && i < tb.size(); ++i) {
        const auto mediaA = EditMediaTime(ta[i].elst);
        const auto mediaB = EditMediaTime(tb[i].elst);
        if (!mediaA || !mediaB) {
            return Refuse(error, "an edit list cannot be read");
        }
        const int64_t shift = *mediaA - *mediaB;
        if (!JoinsByOffsets(ta[i], tb[i])) {
            continue;
        }
        if (EditCount(ta[i].elst) > 1 || EditCount(tb[i].elst) > 1) {
            return Refuse(error, b.Path +
                                     ": reordered pictures under edit lists of several edits "
                                     "cannot be joined");
        }
        if (ta[i].stsz == nullptr || tb[i].stsz == nullptr || ta[i].stbl == nullptr) {
            return Refuse(error, b.Path + " has a track without sample sizes");
        }
        std::vector<Offset> entries = ta[i].ctts != nullptr
                                          ? ReadOffsets(ta[i].ctts)
                                          : std::vector<Offset>{{GetBe32(ta[i].stsz->Data, 8), 0}};
        const std::vector<Offset> more =
            tb[i].ctts != nullptr ? ReadOffsets(tb[i].ctts)
                                  : std::vector<Offset>{{GetBe32(tb[i].stsz->Data, 8), 0}};
        for (Offset o : more) {
            entries.push_back({o.count, o.offset + shift});
        }
        // Negative offsets need the signed table (version 1); every offset must fit it then.
        const bool isSigned = std::any_of(entries.begin(), entries.end(),
                                          [](const Offset& o) { return o.offset < 0; });
        const int64_t low = isSigned ? INT32_MIN : 0;
        const int64_t high = isSigned ? INT32_MAX : UINT32_MAX;
        if (std::any_of(entries.begin(), entries.end(),
                        [&](const Offset& o) { return o.offset < low || o.offset > high; })) {
            return Refuse(error, b.Path +
                                     ": its composition offsets cannot be represented "
                                     "behind those of the pieces before it");
        }
        std::vector<uint8_t> table = OffsetTable(entries, isSigned);
        if (ta[i].ctts != nullptr) {
            ta[i].ctts->Data = std::move(table);
            ta[i].ctts->Size = ta[i].ctts->DataSize = ta[i].ctts->Data.size();
            continue;
        }
        BoxNode ctts;
        ctts.Depth = ta[i].stbl->Depth + 1;
        ctts.Type = "ctts";
        ctts.Source = &a.Path;
        ctts.Raw = 1;
        ctts.HasData = true;
        ctts.Data = std::move(table);
        ctts.Size = ctts.DataSize = ctts.OrigSize = ctts.Data.size();
        auto& children = ta[i].stbl->Children;
        const auto stts = std::find_if(children.begin(), children.end(),
                                       [](const BoxNode& c) { return c.Type == "stts"; });
        children.insert(stts == children.end() ? children.end() : stts + 1, std::move(ctts));
        added = true;
    }
    if (added) {
        IndexBoxLists(a);  // the inserted boxes moved their siblings
    }
    return true;
}

// Each track's media duration, the sum of its decoding deltas, in tree order.
std::vector<uint64_t> MediaDurations(BoxNode& root) {
    std::vector<uint64_t> out;
    for (const TrackBoxes& t : FindTracks(root)) {
        uint64_t sum = 0;
        if (t.stts != nullptr) {
            const SampleTable table = TableOf(t.stts);
            for (uint32_t k = 0; table.Valid() && k < table.count(); ++k) {
                sum += uint64_t{GetBe32(t.stts->Data, table.header + size_t{k} * 8)} *
                       GetBe32(t.stts->Data, table.header + size_t{k} * 8 + 4);
            }
        }
        out.push_back(sum);
    }
    return out;
}

// The edit lists. A track that joined by its composition offsets keeps A's one edit, longer by
// B's. Any other track whose B starts later in its media than at 0 (AAC's encoder delay: the
// first 1024 samples of every piece are priming, not sound) gets B's edits behind A's, their
// media times moved past A's media: each piece's priming stays out of the joined timeline, as
// it stayed out of the piece's. Tracks without such a delay keep one edit, as before.
void MergeEdits(Mp4Document& a, const Mp4Document& b, const std::vector<bool>& byOffsets,
                const std::vector<uint64_t>& mediaOfA) {
    const std::vector<TrackBoxes> ta = FindTracks(a.Root);
    const std::vector<TrackBoxes> tb = FindTracks(const_cast<BoxNode&>(b.Root));
    for (size_t i = 0; i < ta.size() && i < tb.size(); ++i) {
        BoxNode* ea = ta[i].elst;
        const BoxNode* eb = tb[i].elst;
        if (ea == nullptr || eb == nullptr) {
            continue;
        }
        const uint32_t countA = EditCount(ea);
        const bool oneEdit = byOffsets[i] || (countA == 1 && EditCount(eb) == 1 &&
                                              EditMediaTime(ea) == 0 && EditMediaTime(eb) == 0);
        if (oneEdit) {
            const size_t last = 8 + size_t{countA - 1} * 12;
            PutBe32(ea->Data, last, GetBe32(ea->Data, last) + GetBe32(eb->Data, 8));
            continue;
        }
        ea->Data.resize(8 + size_t{countA} * 12);
        uint32_t added = 0;
        for (uint32_t k = 0; k < EditCount(eb); ++k) {
            const size_t at = 8 + size_t{k} * 12;
            const auto media = static_cast<int32_t>(GetBe32(eb->Data, at + 4));
            if (media == -1) {
                continue;  // an empty edit would open a gap between the pieces
            }
            ea->Data.insert(ea->Data.end(), eb->Data.begin() + static_cast<std::ptrdiff_t>(at),
                            eb->Data.begin() + static_cast<std::ptrdiff_t>(at + 12));
            PutBe32(ea->Data, ea->Data.size() - 8,
                    static_cast<uint32_t>(static_cast<uint64_t>(media) + mediaOfA[i]));
            ++added;
        }
        PutBe32(ea->Data, 4, countA + added);
        ea->Size = ea->DataSize = ea->Data.size();
    }
}

// Takes `node` out of its parent's children (a table the joined file does without).
void RemoveBox(BoxNode& root, const BoxNode* node) {
    for (auto it = root.Children.begin(); it != root.Children.end(); ++it) {
        if (&*it == node) {
            root.Children.erase(it);
            return;
        }
        RemoveBox(*it, node);
    }
}

// The tables that describe samples without being needed to play them. "sdtp" (a byte per
// sample: which pictures others depend on) is kept where both pieces have it, B's bytes behind
// A's; where one lacks it, the joined file goes without. "cslg" sums up the composition offsets
// that the merge just changed: the joined file goes without it (both are optional).
void MergeOptionalTables(Mp4Document& a, const Mp4Document& b) {
    std::vector<const BoxNode*> dropped;
    const std::vector<TrackBoxes> ta = FindTracks(a.Root);
    const std::vector<TrackBoxes> tb = FindTracks(const_cast<BoxNode&>(b.Root));
    for (size_t i = 0; i < ta.size(); ++i) {
        if (ta[i].cslg != nullptr) {
            dropped.push_back(ta[i].cslg);
        }
        BoxNode* sa = ta[i].sdtp;
        if (sa == nullptr) {
            continue;
        }
        const BoxNode* sb = i < tb.size() ? tb[i].sdtp : nullptr;
        // Each table holds its 4-byte header and one byte per sample of its piece, or it is
        // not to be trusted.
        auto whole = [](const BoxNode* sdtp, const BoxNode* stsz) {
            return sdtp != nullptr && stsz != nullptr && sdtp->HasData && stsz->Data.size() >= 12 &&
                   sdtp->Data.size() == 4 + size_t{GetBe32(stsz->Data, 8)};
        };
        // A's sample count is still its own: the sizes merge after this.
        if (whole(sa, ta[i].stsz) && whole(sb, tb[i].stsz)) {
            sa->Data.insert(sa->Data.end(), sb->Data.begin() + 4, sb->Data.end());
            sa->Size = sa->DataSize = sa->Data.size();
        } else {
            dropped.push_back(sa);
        }
    }
    for (const BoxNode* n : dropped) {
        RemoveBox(a.Root, n);
    }
    if (!dropped.empty()) {
        IndexBoxLists(a);  // the removed boxes moved their siblings
    }
}

}  // namespace

bool JoinDocuments(Mp4Document& a, const Mp4Document& b, std::string* error) {
    if (!CheckJoinable(a, b, error)) {
        return false;
    }
    // What the edit lists need of the pieces as they are, before the tables grow.
    const std::vector<uint64_t> mediaOfA = MediaDurations(a.Root);
    std::vector<bool> byOffsets;
    {
        const std::vector<TrackBoxes> ta = FindTracks(a.Root);
        const std::vector<TrackBoxes> tb = FindTracks(const_cast<BoxNode&>(b.Root));
        for (size_t i = 0; i < ta.size() && i < tb.size(); ++i) {
            byOffsets.push_back(JoinsByOffsets(ta[i], tb[i]));
        }
    }
    if (!MergeCompositionOffsets(a, b, error)) {
        return false;
    }
    MergeOptionalTables(a, b);
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
        return GetBe32(stszA[std::min(track, stszA.size() - 1)]->Data, 8);
    };

    // 4. Time-to-sample.
    if (MergeTables(a, b, BoxList::kStts, kKeepEntries).value_or(0) == 0) {
        return Refuse(error, b.Path + " has no samples");
    }

    // 3 and 5. Sync samples: B's numbers move behind A's samples, and B's first sample is
    // always one. An entry B already lists for it is not written twice (the table must rise).
    for (size_t l = 0; l < L(a, BoxList::kStss).size(); ++l) {
        const SampleTable tb = TableOf(L(b, BoxList::kStss)[l]);
        const uint32_t first = samplesOfA(l) + 1;
        std::vector<uint8_t> renumbered;
        for (uint32_t k = 0; k < tb.count(); ++k) {
            const uint32_t v = GetBe32(tb.node->Data, tb.header + size_t{k} * 4) + samplesOfA(l);
            if (v != first) {
                renumbered.resize(renumbered.size() + 4);
                PutBe32(renumbered, renumbered.size() - 4, v);
            }
        }
        std::vector<uint8_t> extra(4);
        PutBe32(extra, 0, first);
        AppendEntries(TableOf(L(a, BoxList::kStss)[l]), extra, renumbered);
    }

    // 7 and 8 need A's chunk counts before the chunk tables grow.
    std::vector<uint32_t> chunksOfA;
    for (BoxNode* n : L(a, BoxList::kStco)) {
        chunksOfA.push_back(GetBe32(n->Data, 4));
    }

    // 6. Sample sizes.
    uint64_t added = 0;
    for (size_t i = 0; i < stszA.size(); ++i) {
        SampleTable ta = TableOf(stszA[i]);
        const SampleTable tb = TableOf(L(b, BoxList::kStsz)[i]);
        const uint32_t bCount = tb.count();
        if (GetBe32(ta.node->Data, 4) == 0) {
            AppendEntries(ta, {}, tb.Entries());
            added += bCount;
        } else {
            PutBe32(ta.node->Data, 8, ta.count() + bCount);
        }
    }
    if (added == 0) {
        return Refuse(error, "every track stores one constant sample size; nothing to join");
    }

    // 7. Sample-to-chunk: B's chunk numbers continue after A's chunks.
    const auto chunks =
        MergeTables(a, b, BoxList::kStsc, [&](size_t i, std::vector<uint8_t>& d, size_t at) {
            PutBe32(d, at, GetBe32(d, at) + (i < chunksOfA.size() ? chunksOfA[i] : 0));
            return true;
        });
    if (chunks.value_or(0) == 0) {
        return Refuse(error, b.Path + " has no chunks");
    }

    // 8. Chunk offsets: B's data now lies behind A's in A's media box.
    const int64_t shift =
        static_cast<int64_t>(mdatA.OrigOffset + aMedia) - static_cast<int64_t>(mdatB.OrigOffset);
    const auto offsets =
        MergeTables(a, b, BoxList::kStco, [shift](size_t, std::vector<uint8_t>& d, size_t at) {
            const int64_t moved = static_cast<int64_t>(GetBe32(d, at)) + shift;
            if (moved < 0 || moved > UINT32_MAX) {
                return false;
            }
            PutBe32(d, at, static_cast<uint32_t>(moved));
            return true;
        });
    if (!offsets) {
        return Refuse(error, b.Path + " has chunk offsets outside its media data");
    }
    if (*offsets == 0) {
        return Refuse(error, b.Path + " has no chunk offsets");
    }

    // 9. Durations add up.
    auto addAt = [](const std::vector<BoxNode*>& x, const std::vector<BoxNode*>& y, size_t at) {
        for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
            if (x[i]->Data.size() >= at + 4 && y[i]->Data.size() >= at + 4) {
                PutBe32(x[i]->Data, at, GetBe32(x[i]->Data, at) + GetBe32(y[i]->Data, at));
            }
        }
    };
    addAt(L(a, BoxList::kMvhd), L(b, BoxList::kMvhd), 16);
    addAt(L(a, BoxList::kTkhd), L(b, BoxList::kTkhd), 20);
    addAt(L(a, BoxList::kMdhd), L(b, BoxList::kMdhd), 16);
    MergeEdits(a, b, byOffsets, mediaOfA);
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
