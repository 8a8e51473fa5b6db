// The sensor track ("gps0" records, the camera block) and its per-frame index on any bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/byte_source.h"
#include "recordings/mp4_scan.h"
#include "recordings/sensor_track.h"
#include "recordings/track_reader.h"

using namespace tavrilo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const MemorySource bytes(std::vector<uint8_t>(data, data + size));
    TrackReader reader;
    reader.ScanMutex = &FindMutex();
    if (ParseTrack(reader, bytes, "001_100000_A.MP4")) {
        BuildFrameIndex(reader, 300);
    }
    TrackReader walk;
    walk.ScanMutex = &FindMutex();
    walk.OpenBytes(bytes, "001_100000_A.MP4");
    ReadFrameDurationMs(walk);
    return 0;
}
