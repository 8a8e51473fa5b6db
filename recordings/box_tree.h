#pragma once
// The whole box tree of an MP4 file in memory, with lists of the boxes the CSV export and the
// joiner work on. Known box types (a fixed dictionary) are box lists; anything else is data.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/mapped_file.h"
#include "platform/system_time.h"
#include "recordings/parse_error.h"

namespace tavrilo {

// True for the 171 four-character codes the parser treats as boxes.
bool IsKnownBoxType(std::string_view type);

struct BoxNode {
    int32_t Depth = 0;          // 0 for the root, 1 for top-level boxes
    std::vector<uint8_t> Data;  // copy of the payload when Raw and the copy flag was given
    bool HasData = false;
    std::vector<BoxNode> Children;
    int32_t Raw = 0;                      // 1 when the payload is data, not boxes
    std::string Type;                     // four characters; empty for the root
    const std::string* Source = nullptr;  // path of the file the payload lives in
    uint64_t Size = 0;                    // payload size (box size - 8)
    uint64_t Offset = 0;                  // file offset of the payload
    uint64_t DataSize = 0;
    uint64_t OrigSize = 0, OrigOffset = 0;
    // "gps0" only.
    uint64_t RecordBytes = 0;   // record count x 79
    uint64_t PayloadBytes = 0;  // record count x 79 + 40
    uint64_t RecordCount = 0;
    uint64_t JoinedCount = 0;
    // "mdat" and "gps0": the same boxes of the files joined behind this one, in join order
    // (FirstJoined, then each node's NextJoined). The nodes belong to the other documents.
    const BoxNode* FirstJoined = nullptr;
    const BoxNode* LastJoined = nullptr;
    const BoxNode* NextJoined = nullptr;

    // Size on disk computed back from the tree: Size + 8 for raw nodes, else 8 plus the
    // children's.
    uint64_t DiskSize() const;
};

enum class BoxList {
    kMdat,
    kGps0,
    kStsc,
    kStsz,
    kStco,
    kMdhd,
    kStss,
    kStts,
    kMvhd,
    kTkhd,
    kElst,
    kStsd
};
inline constexpr std::array<std::string_view, 12> kBoxListTypes = {
    "mdat", "gps0", "stsc", "stsz", "stco", "mdhd", "stss", "stts", "mvhd", "tkhd", "elst", "stsd"};

// A parsed file. Not movable: the lists point into the tree.
struct Mp4Document {
    Mp4Document() = default;
    Mp4Document(const Mp4Document&) = delete;
    Mp4Document& operator=(const Mp4Document&) = delete;

    std::string Path;  // the file's path, or a name for bytes parsed from memory
    std::unique_ptr<MappedFile> OwnedFile;  // when the document opened the file itself
    const ByteSource* Bytes = nullptr;      // where the payloads are read from
    uint64_t FileSize = 0;
    BoxNode Root;
    std::array<std::vector<BoxNode*>, 12> Lists;  // tree order, indexed by BoxList

    const std::vector<BoxNode*>& List(BoxList which) const {
        return Lists[static_cast<size_t>(which)];
    }
    const BoxNode* First(BoxList which) const {
        const auto& l = List(which);
        return l.empty() ? nullptr : l.front();
    }
};

// Parses the whole tree of `bytes` (which must outlive the document); with `copyData` the
// payloads of data boxes (all but "mdat" and "gps0") are copied into their nodes. `name` is
// what the nodes name as their source. nullptr on failure, with `error` saying why.
std::unique_ptr<Mp4Document> ParseBoxTree(const ByteSource& bytes, std::string name, bool copyData,
                                          ParseError* error = nullptr);
// The same for a file, mapped by the document.
std::unique_ptr<Mp4Document> ParseBoxTree(const std::string& path, bool copyData,
                                          ParseError* error = nullptr);

// Rebuilds the document's box lists from its tree, after boxes were added to it.
void IndexBoxLists(Mp4Document& doc);

// The payload bytes of a node: its copy, or a mapped view of the file.
class NodePayload {
  public:
    NodePayload(const Mp4Document& doc, const BoxNode& node, uint64_t maxBytes = UINT32_MAX);
    ByteView bytes() const { return view_; }

  private:
    std::optional<MappedView> mapped_;
    ByteView view_;
};

// Queries on a parsed document; nullopt (or -1 for the rate) when the box is missing or short.
// The frame rate is the first track's timescale / its mean sample delta (a whole number): the
// recorder's timescale of 1,000,000 gives 30.0003 for 33,333 us and 29.9706 for 33,366 us;
// other encoders' timescales (FFmpeg's 15360 for 30 fps) give the same rates.
std::optional<std::pair<int, int>> GetVideoSize(const Mp4Document& doc);
std::optional<uint32_t> GetSampleCount(const Mp4Document& doc);
float GetFrameRate(const Mp4Document& doc);
// The first track's media timescale; 1,000,000 (the recorder's) when it cannot be read.
uint32_t MediaTimescale(const Mp4Document& doc);
// A recording's length in whole seconds: samples / rate rounded to the nearest second, so
// that a 60-second recording shows 60 at 30, 29.97 and 27.5 frames a second; 0 without a rate.
int RecordingSeconds(uint32_t samples, float rate);
std::optional<SystemTime> GetStartTime(const Mp4Document& doc);

}  // namespace tavrilo
