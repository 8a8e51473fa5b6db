#pragma once
// Encodes generated frames and a test tone with FFmpeg and lays the file out as the recorder
// does: top-level boxes "ftyp", "mdat", "moov", "gps0" and nothing else, the video track
// first with a timescale of 1,000,000 (so "stts" deltas are microseconds), an AAC audio
// track after it, and the recorder's "gps0" box last.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tavrilo::gen {

struct VideoOptions {
    int width = 320;
    int height = 320;
    double fps = 30.0;
    int frames = 150;
    std::string codec = "h264";  // "h264" (libx264) or "h265" (libx265)
    std::string preset = "veryfast";
    int crf = 20;  // quality; ignored when qp >= 0
    int qp = -1;   // constant quantiser (0 = lossless), for large files
    bool audio = true;
};

// Microseconds between frames: the recorder writes one constant delta.
int64_t FrameDeltaMicros(double fps);

// One frame to fill, 8-bit YUV 4:2:0 with video range (BT.601): luma width x height,
// chroma halved both ways.
struct YuvFrame {
    uint8_t* planes[3];
    int strides[3];
    int width;
    int height;
};

// Fills frame `index`.
using FrameRenderer = std::function<void(int index, const YuvFrame& out)>;

// Renders frame `index` as RGB24 (width * 3 bytes a row).
using RgbRenderer = std::function<void(int index, uint8_t* rgb)>;

// A renderer that draws in RGB and converts each frame (for scenes that are easier to draw
// in RGB; the conversion costs as much as a simple scene).
FrameRenderer FromRgb(int width, int height, RgbRenderer render);

// Writes the recording to `out`, through a temporary file beside it that is renamed into place
// only when complete. Returns false with a message in `error` on any failure.
bool WriteRecording(const std::filesystem::path& out, const VideoOptions& options,
                    const FrameRenderer& render, const std::vector<uint8_t>& gps0Box,
                    std::string* error);

// Copies the MP4 `in` to `out` leaving out top-level "free"/"skip"/"wide" boxes (FFmpeg's
// muxer writes one before "mdat"), fixing the chunk offsets in "stco"/"co64" accordingly, and
// appends `tail` (the "gps0" box) as the last box.
bool RewriteTopLevel(const std::filesystem::path& in, const std::filesystem::path& out,
                     const std::vector<uint8_t>& tail, std::string* error);

}  // namespace tavrilo::gen
