// The sensor track ("gps0" records, the camera block), the video's frame times and the per-frame
// index on any bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/byte_source.h"
#include "recordings/frame_times.h"
#include "recordings/mp4_scan.h"
#include "recordings/sensor_track.h"
#include "recordings/track_reader.h"

using namespace tavrilo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const MemorySource bytes(std::vector<uint8_t>(data, data + size));
    TrackReader reader;
    reader.ScanMutex = &FindMutex();
    const VideoTrackInfo video = ReadVideoTrack(bytes);
    if (video.times) {
        const FrameTimes& t = *video.times;
        t.FrameAt100ns(t.Start100ns(t.count() / 2));
        t.NearestFrame100ns(t.End100ns(t.count() - 1));
        t.MeanDurationMs();
    }
    if (ParseTrack(reader, bytes, "001_100000_A.MP4")) {
        BuildFrameIndex(reader, video.times ? *video.times : FrameTimes::Uniform(300, 1000, 33));
    }
    TrackReader walk;
    walk.ScanMutex = &FindMutex();
    walk.OpenBytes(bytes, "001_100000_A.MP4");
    ReadFrameDurationMs(walk);
    return 0;
}
