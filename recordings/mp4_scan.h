#pragma once
// Scanners over a recording's bytes (the reader's Source: its mapped file, or a buffer): each finds
// one box or byte pattern and hands a bounds- checked view of what follows to a callback. They hold
// the reader's scan mutex for their whole run, test the reader's Cancel flag before every step
// (clearing it and failing when set), count successful final callbacks in MatchCount, and unmap
// every view before returning.
//
// Box sizes 0 (to the end of the file), 1 (64-bit size) and anything below 8 are not
// supported; a walk that meets one ends there as if at the end of the file.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/mapped_file.h"
#include "recordings/track_reader.h"

namespace tavrilo {

inline constexpr uint64_t kSmallView = 1 << 20;   // 1 MiB
inline constexpr uint64_t kLargeView = 32 << 20;  // 32 MiB

// Returns -1 for failure (FailScan records why), anything else for success.
using ScanCallback = std::function<int(TrackReader& reader, ByteView view)>;

// Records in reader.LastError why a scan fails and returns -1, for callbacks to return.
int FailScan(TrackReader& reader, ParseError::Kind kind, std::string check);

struct ScanPattern {
    int32_t MatchPos = 0;    // bytes matched so far (byte scanner only)
    std::string_view Bytes;  // 3 or 4 bytes, e.g. "moov"
    ScanCallback Callback;   // may be empty
};

// Byte scanner: finds pattern `a` (when given), then `b` after it, jumping over "mdat" boxes.
// Each callback gets a 1 MiB view starting right after its pattern. Reaching the end without
// a match is success.
bool FindAfter(TrackReader& reader, ScanPattern& b, ScanPattern* a);

// Top-level walk to the first "gps0" box; its callback gets a 1 MiB view at box offset + 14
// (behind the header and the "CSODAT" tag), clipped to the box.
bool FindFirstGps0(TrackReader& reader, ScanPattern& gps0);

// Top-level walk: the "mdat" box first (its callback, if any, gets the box start with a
// 32 MiB view), then the first "gps0" box after it (a 32 MiB view at box offset + 14, clipped
// to the box). Without an "mdat" pattern the first "gps0" is taken directly.
bool WalkTrack(TrackReader& reader, ScanPattern& gps0, ScanPattern* mdat);

// Walks moov/trak/mdia/minf/stbl/stts, entering the first box of each name, and calls the
// callback on the "stts" payload with a 1 MiB view.
bool WalkPath(TrackReader& reader, ScanPattern& stts);

// Movie length in seconds from "mvhd" (found behind "moov" by the byte scanner), assuming the
// version-0 layout. Returns whether the scan succeeded (reaching the end without "mvhd" is
// success); `seconds` is set only when the box was found and readable.
bool ScanMovieSeconds(TrackReader& reader, std::optional<float>* seconds);
std::optional<float> ReadMovieSeconds(TrackReader& reader);

// Frame duration in milliseconds from the first track's "stts": the mean of the entries'
// microsecond deltas, in whole milliseconds, stored in reader.FrameDurationMs and `duration`.
// Returns whether the walk succeeded: not finding "stts" is success without a duration; an
// "stts" without entries, or one that runs past what is there, fails the walk.
bool WalkFrameDuration(TrackReader& reader, std::optional<float>* duration);
std::optional<float> ReadFrameDurationMs(TrackReader& reader);

}  // namespace tavrilo
