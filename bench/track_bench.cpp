// Times the reading of one recording's track: the frame-duration walk, the movie-length byte
// scan, the sensor-record parse with its frame index, and the full box tree. Prints figures;
// decides nothing.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/timing.h"
#include "recordings/box_tree.h"
#include "recordings/frame_times.h"
#include "recordings/mp4_scan.h"
#include "recordings/sensor_track.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: track_bench FILE [REPEAT]\n");
        return 1;
    }
    const std::string path = argv[1];
    const int repeat = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    using namespace tavrilo;
    using bench::MedianMs;

    TrackReader probe;
    if (!probe.OpenMapped(path)) {
        std::fprintf(stderr, "track_bench: cannot open %s\n", path.c_str());
        return 1;
    }
    const VideoTrackInfo video = ReadVideoTrack(path);
    if (!video.times) {
        std::fprintf(stderr, "track_bench: %s: %s\n", path.c_str(), video.error.check.c_str());
        return 1;
    }
    const FrameTimes& frames = *video.times;
    std::printf("file %s: %.1f MB, %lld frames\n", path.c_str(), probe.FileSize / 1e6,
                static_cast<long long>(frames.count()));

    const double walk = MedianMs(repeat, [&] { return ReadVideoTrack(path).times.has_value(); });
    const double scan = MedianMs(repeat, [&] {
        TrackReader r;
        return r.OpenMapped(path) && ReadMovieSeconds(r).has_value();
    });
    size_t records = 0;
    const double parse = MedianMs(repeat, [&] {
        TrackReader r;
        r.ScanMutex = &FindMutex();
        if (!ParseTrack(r, path)) {
            return false;
        }
        records = r.GSamples.size();
        return BuildFrameIndex(r, frames);
    });
    const double tree = MedianMs(repeat, [&] { return ParseBoxTree(path, true) != nullptr; });

    std::printf("median of %d runs:\n", repeat);
    std::printf("  video track's picture times       %8.3f ms\n", walk);
    std::printf("  moov/mvhd byte scan (length)      %8.3f ms\n", scan);
    std::printf("  track parse + frame index         %8.3f ms  (%zu records)\n", parse, records);
    std::printf("  box tree with copies              %8.3f ms\n", tree);
    return 0;
}
