#pragma once
// The sample tables of an MP4 track as the joiner edits them: in-memory copies of full boxes
// holding a 32-bit entry count and fixed-width big-endian entries.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "recordings/box_tree.h"

namespace tavrilo {

uint32_t GetBe32(const std::vector<uint8_t>& d, size_t at);
void PutBe32(std::vector<uint8_t>& d, size_t at, uint32_t v);

// One table box: version and flags, a 32-bit entry count, then entries of `width` bytes
// starting after `header` bytes.
struct SampleTable {
    BoxNode* node;
    size_t header;   // bytes before the entries
    size_t width;    // bytes per entry
    size_t countAt;  // where the entry count is

    uint32_t count() const { return GetBe32(node->Data, countAt); }
    // The copy holds every entry the count claims.
    bool Valid() const;
    uint8_t* Entry(size_t i) { return node->Data.data() + header + i * width; }
    // The entries as bytes, ready to be rewritten and appended to another table.
    std::vector<uint8_t> Entries() const;
};

// The layout of "stts", "ctts", "stsz", "stsc", "stss" or "stco" from the node's type.
SampleTable TableOf(BoxNode* node);

// Makes `a`'s entries its own followed by `extra` and then `more` (whole entries each), and
// fixes the entry count and the node's size.
void AppendEntries(SampleTable a, const std::vector<uint8_t>& extra,
                   const std::vector<uint8_t>& more);

// The boxes of one track ("trak"), nullptr where the track has none.
struct TrackBoxes {
    BoxNode* stbl = nullptr;
    BoxNode* stts = nullptr;
    BoxNode* ctts = nullptr;
    BoxNode* stsz = nullptr;
    BoxNode* elst = nullptr;
    BoxNode* mdhd = nullptr;
    BoxNode* sdtp = nullptr;  // one dependency byte per sample (H.265 encoders write it)
    BoxNode* cslg = nullptr;  // the composition shifts' summary
    // Tables the joiner does not merge ("co64"); their presence refuses a join.
    std::vector<const BoxNode*> unmerged;
};

// The tracks of a document in tree order.
std::vector<TrackBoxes> FindTracks(BoxNode& root);

// Where the track's presentation starts in its media timeline: the media time of the first
// edit that is not empty, 0 without an edit list; nullopt for an edit list it cannot read.
std::optional<int64_t> EditMediaTime(const BoxNode* elst);

}  // namespace tavrilo
