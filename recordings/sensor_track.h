#pragma once
// The recorder's sensor records: the "gps0" payload
//   "CSODAT", a 26-byte camera block, a 16-bit big-endian record count n,
//   n records of 79 text bytes, "CSOEND"
// parsed into the GPS and G-sensor sample arrays every view reads, tied to video frames.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/mapped_file.h"
#include "platform/system_time.h"
#include "recordings/frame_times.h"
#include "recordings/track_reader.h"

namespace tavrilo {

inline constexpr size_t kSensorRecordSize = 79;
inline constexpr size_t kCameraBlockSize = 26;
inline constexpr size_t kGps0PayloadFraming = 40;  // tags, camera block and count

// Reads the camera block at the start of `block` into `out`, following the chain of blocks
// ("@CS" and an upper-case letter 30 bytes in: another block 34 bytes on; the last wins).
// Returns 26 x the blocks read, or 0 when a block is unreadable (its mode byte is neither
// 'D' nor 'R'; Mode then holds that byte) or not all there.
int ParseCameraBlock(ByteView block, CameraInfo& out);

// The local time of a record: its YYMMDDhhmmss clock plus the seconds correction, through the
// C library's local-time rules. All zero when it cannot be formed.
SystemTime DecodeRecordTime(ByteView record);

// Remembers the last record time decoded: the clock changes once every ten records, and each
// decode asks the C library for the local-time rules. Use one per parse, on one thread.
class RecordTimeCache {
  public:
    SystemTime Decode(ByteView record);

  private:
    std::array<uint8_t, 16> key_{};  // record bytes 31..46: clock and correction
    bool valid_ = false;
    SystemTime value_;
};

// C-library atof of the field [offset, offset + length) of `bytes`, read in the C locale
// whatever the user's locale; 0 for a field that is not all there.
double FieldAtof(ByteView bytes, size_t offset, size_t length);

// One record (79 bytes) into its two samples. `flag` is the byte after the record (0 when the
// record is the last thing there is).
GpsSample ParseGpsRecord(ByteView record, int32_t index, RecordTimeCache* times = nullptr);
GSample ParseGRecord(ByteView record, uint8_t flag, int32_t index);

// Opens `path` into `reader` and reads its camera block and every record that fits in the
// first "gps0" box after the "mdat" box. A file without "gps0" gives empty arrays. On success
// the file is closed and Loaded set; on failure the arrays are freed and Path cleared.
bool ParseTrack(TrackReader& reader, const std::string& path);
// The same on bytes in memory (which must outlive the call); `name` becomes the reader's Path.
bool ParseTrack(TrackReader& reader, const ByteSource& bytes, std::string name);
// The same on whatever `reader` has open. Why a parse failed is in reader.LastError.
bool ParseOpenTrack(TrackReader& reader);

// Appends the GPS half of every record of `path`'s first "gps0" box to `destination`, indices
// from 0, Frame = Index * 100. `temporary` is used and closed again.
bool ParseGpsOnly(TrackReader& temporary, const std::string& path,
                  std::vector<GpsSample>& destination);

// Ties the parsed samples to the video's pictures, each record to the picture shown at its
// time: sample frames, G differences between records, the per-frame index, the links between G
// and GPS samples and MaxG. Fails without pictures or for a reader without arrays.
bool BuildFrameIndex(TrackReader& reader, const FrameTimes& frames);

}  // namespace tavrilo
