#pragma once
// The reader of one recording's sensor track, and the samples it produces. Three of these
// form the engine's prefetch pipeline; the scanners of mp4_scan.h and the parsers of
// sensor_track.h run on them.
//
// Links between samples and the per-frame index are indices into the reader's own arrays
// (-1 for none), so moving a track from one reader to another keeps them valid.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mapped_file.h"
#include "platform/system_time.h"
#include "recordings/parse_error.h"

namespace tavrilo {

struct GpsSample {
    int32_t Index = 0;     // record index within the file
    int32_t Frame = 0;     // Index * 100 (ms), then the video frame once the index is built
    int32_t Valid = 0;     // 1 for a GPS fix ('A')
    int32_t GLink = -1;    // index of a G sample, set when the per-frame index is built
    double Latitude = 0;   // degrees, signed
    double Longitude = 0;  // degrees, signed
    double Speed = 0;      // km/h
    double Direction = 0;  // always 0: the records carry no heading
    SystemTime Time;       // local time of the record; all zero when it could not be formed
};

struct GSample {
    int32_t Index = 0;
    int32_t MarkCode = -1;  // 5, 7 or -1
    int32_t Reserved = 0;
    int32_t Axis = 0;               // 1 X, 2 Y, 3 Z, 0 none
    int32_t Frame = 0;              // Index * 100, then the video frame
    int32_t Status = 0;             // record byte 78
    int32_t GpsLink = -1;           // index of a GPS sample, set when the per-frame index is built
    double Gx = 0, Gy = 0, Gz = 0;  // G; differences between records after the index is built
    int32_t FlagHigh = 0;
    int32_t FlagLow = 0;
};

struct CameraInfo {
    char Mode = 0;               // 'R' round, 'D' two-part; another byte when unreadable
    std::array<char, 4> Tag{};   // raw bytes; characters 1..3 are firmware digits
    std::array<char, 2> Tag2{};  // raw bytes; two more firmware digits
    bool operator==(const CameraInfo&) const = default;
};

// The one scan mutex all readers share: two scans never run at the same time.
std::recursive_mutex& FindMutex();

struct TrackReader {
    std::string Path;        // file being read; empty when idle
    uint64_t FileSize = 0;   // size of the mapped file
    int32_t MatchCount = 0;  // hits of the last scan; the running record index while parsing
    double MaxG = 0;

    // The sample arrays. HasArrays tells whether they exist (a parse allocated them and
    // nothing freed them yet); an existing array may be empty.
    bool HasArrays = false;
    std::vector<GpsSample> GpsSamples;
    std::vector<GSample> GSamples;
    std::vector<int32_t> FrameIndex;  // one G-sample index per video frame, -1 for none
    CameraInfo Camera;

    MappedFile File;
    const ByteSource* Source = nullptr;  // what the scanners read: File, or bytes in memory
    uint32_t AllocationGranularity = 0;
    std::recursive_mutex* ScanMutex = nullptr;  // null: the caller's locks protect the scans

    float FrameDurationMs = 0;
    float MdatSizeFloat = 0;
    uint64_t MdatSize = 0;

    std::atomic<int32_t> Cancel{0};
    std::atomic<int32_t> Loaded{0};
    std::atomic<int32_t> Busy{0};  // prefetch reader only
    // Prefetch reader only: the path of the last request. Written by the prefetching thread
    // and compared by the loading one, hence its own lock.
    std::string RequestedPath;
    mutable std::mutex RequestedMutex;

    // Why the last scan or parse on this reader failed.
    ParseError LastError;

    // Opens and maps the file, replacing any previous one; clears Path on failure.
    bool OpenMapped(const std::string& path);
    // Reads `bytes` (which must outlive the reading) instead of a file; `name` becomes Path.
    void OpenBytes(const ByteSource& bytes, std::string name);
    // Closes the file (the arrays and Path stay).
    void CloseFile();
};

// Frees the four arrays and clears the camera block.
void FreeTrack(TrackReader& reader);

// Frees the destination's track, then moves the arrays, camera block, MaxG, MatchCount and
// Path over, leaving the source empty. True when the destination holds a GPS sample.
bool MoveTrack(TrackReader& source, TrackReader& destination);

}  // namespace tavrilo
