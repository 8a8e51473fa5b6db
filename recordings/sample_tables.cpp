#include "recordings/sample_tables.h"

#include <string>

#include "recordings/frame_times.h"

namespace tavrilo {

uint32_t GetBe32(const std::vector<uint8_t>& d, size_t at) {
    return (uint32_t{d[at]} << 24) | (uint32_t{d[at + 1]} << 16) | (uint32_t{d[at + 2]} << 8) |
           d[at + 3];
}

void PutBe32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
    d[at] = static_cast<uint8_t>(v >> 24);
    d[at + 1] = static_cast<uint8_t>(v >> 16);
    d[at + 2] = static_cast<uint8_t>(v >> 8);
    d[at + 3] = static_cast<uint8_t>(v);
}

bool SampleTable::Valid() const {
    const auto& d = node->Data;
    return node->HasData && d.size() >= header && d.size() >= countAt + 4 &&
           (d.size() - header) / width >= count();
}

std::vector<uint8_t> SampleTable::Entries() const {
    const auto begin = node->Data.begin() + static_cast<std::ptrdiff_t>(header);
    return std::vector<uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(count() * width));
}

SampleTable TableOf(BoxNode* n) {
    if (n->Type == "stsz") {
        return {n, 12, 4, 8};
    }
    if (n->Type == "stsc") {
        return {n, 8, 12, 4};
    }
    if (n->Type == "stts" || n->Type == "ctts") {
        return {n, 8, 8, 4};
    }
    return {n, 8, 4, 4};  // stss, stco
}

void AppendEntries(SampleTable a, const std::vector<uint8_t>& extra,
                   const std::vector<uint8_t>& more) {
    auto& d = a.node->Data;
    const uint32_t aCount = a.count();
    d.resize(a.header + size_t{aCount} * a.width);
    d.insert(d.end(), extra.begin(), extra.end());
    d.insert(d.end(), more.begin(), more.end());
    PutBe32(d, a.countAt, aCount + static_cast<uint32_t>((extra.size() + more.size()) / a.width));
    a.node->Size = a.node->DataSize = d.size();
}

namespace {

void CollectTrack(BoxNode& node, TrackBoxes* t) {
    const std::string& type = node.Type;
    if (type == "stbl") {
        t->stbl = &node;
    } else if (type == "stts") {
        t->stts = &node;
    } else if (type == "ctts") {
        t->ctts = &node;
    } else if (type == "stsz") {
        t->stsz = &node;
    } else if (type == "elst") {
        t->elst = &node;
    } else if (type == "mdhd") {
        t->mdhd = &node;
    } else if (type == "sdtp") {
        t->sdtp = &node;
    } else if (type == "cslg") {
        t->cslg = &node;
    } else if (type == "co64") {
        t->unmerged.push_back(&node);
    }
    for (BoxNode& c : node.Children) {
        CollectTrack(c, t);
    }
}

void CollectTracks(BoxNode& node, std::vector<TrackBoxes>* tracks) {
    if (node.Type == "trak") {
        CollectTrack(node, &tracks->emplace_back());
        return;
    }
    for (BoxNode& c : node.Children) {
        CollectTracks(c, tracks);
    }
}

}  // namespace

std::vector<TrackBoxes> FindTracks(BoxNode& root) {
    std::vector<TrackBoxes> tracks;
    CollectTracks(root, &tracks);
    return tracks;
}

std::optional<int64_t> EditMediaTime(const BoxNode* elst) {
    if (elst == nullptr) {
        return 0;
    }
    if (!elst->HasData) {
        return std::nullopt;
    }
    return EditMediaTime(ByteView(std::span<const uint8_t>(elst->Data.data(), elst->Data.size())));
}

}  // namespace tavrilo
