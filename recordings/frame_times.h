#pragma once
// When each picture of a recording's video is shown: the presentation times of the video
// track's samples, read from its own sample tables ("mdhd" timescale, "stts" decoding deltas,
// "ctts" composition offsets, "elst" edit list) and put in presentation order. Frame N is the
// N-th picture shown, whatever the writer's timescale, frame rate (constant or not) or
// reordering (B-frames): a step moves one picture, a seek to N shows picture N.
//
// Times are in the track's own ticks, on the timeline the decoder reports: composition time,
// and under an edit list the time since the first picture shown, as FFmpeg's demuxer gives
// them. Pictures before the edit's start (a cut recording's lead-in) are decoded but never
// shown, so they are not frames.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/byte_source.h"
#include "recordings/parse_error.h"

namespace tavrilo {

class FrameTimes {
  public:
    FrameTimes() = default;
    // `starts` ascending; `end` is where the last picture stops showing.
    FrameTimes(uint32_t timescale, std::vector<int64_t> starts, int64_t end);
    // `count` pictures of `delta` ticks each from 0: what a file without readable tables is
    // taken to hold.
    static FrameTimes Uniform(int64_t count, uint32_t timescale, int64_t delta);

    bool empty() const { return starts_.empty(); }
    int64_t count() const { return static_cast<int64_t>(starts_.size()); }
    uint32_t timescale() const { return timescale_; }
    // The pictures' start times in ticks, ascending.
    const std::vector<int64_t>& starts() const { return starts_; }

    // Picture `frame`'s start in 100-ns units (rounded), clamped to the pictures there are.
    int64_t Start100ns(int64_t frame) const;
    // Where picture `frame` stops showing: the next one's start, or the end for the last.
    int64_t End100ns(int64_t frame) const;
    // From the first picture's start to the last one's end, in 100-ns units.
    int64_t Duration100ns() const;
    // The mean time a picture is shown, in milliseconds (33.3667 for 29.97 pictures a second).
    double MeanDurationMs() const;

    // The picture shown at `time100ns`: the last one starting at or before it (0 before the
    // first). -1 without pictures.
    int64_t FrameAt100ns(int64_t time100ns) const;
    // The picture shown `ms` milliseconds after the first one starts.
    int64_t FrameAtOffsetMs(int64_t ms) const;
    // The picture starting nearest to `time100ns`: how a decoded picture's time names it.
    int64_t NearestFrame100ns(int64_t time100ns) const;

  private:
    int64_t TicksOf100ns(int64_t time100ns) const;

    uint32_t timescale_ = 0;
    std::vector<int64_t> starts_;
    int64_t end_ = 0;
};

// What keeps a file from being played, for the message a user reads.
enum class VideoProblem {
    kNone,
    kUnreadable,   // the file cannot be opened
    kEmpty,        // 0 bytes
    kNotMp4,       // no MP4 or MOV structure at all
    kCut,          // no movie header: the recording was cut short (a power loss, a pulled card)
    kFragmented,   // samples in movie fragments
    kNoVideo,      // no video track (sound only)
    kDamaged,      // tables that contradict themselves
    kTooShort,     // under the 1.5 seconds a recording must last
    kCannotDecode  // no decoder here takes the video
};

// What the first video track of a file says of its pictures, or why there are none, in one
// line a user can act on.
struct VideoTrackInfo {
    std::optional<FrameTimes> times;
    int width = 0, height = 0;  // from the visual sample entry; 0 when it has none
    ParseError error;           // set when `times` is empty
    VideoProblem problem = VideoProblem::kNone;
};

// Reads the first video track's frame times and picture size from an MP4 or MOV file's bytes.
// Fails, saying why, for an empty file, one cut before its "moov", a fragmented file (its samples
// live in "moof" boxes), a movie without video and tables that contradict themselves.
VideoTrackInfo ReadVideoTrack(const ByteSource& bytes);
VideoTrackInfo ReadVideoTrack(const std::string& path);

// Where a track's presentation starts in its media timeline, from an "elst" payload: the media
// time of the first edit that is not empty (0 when all are); nullopt when it cannot be read.
std::optional<int64_t> EditMediaTime(ByteView elst);

}  // namespace tavrilo
