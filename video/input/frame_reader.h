#pragma once
// Reads single video frames of a recording with FFmpeg: open, go to a frame exactly, decode it.
// Frames are numbered in presentation order from 0: frame N is the N-th picture shown, as the
// track's sample tables time them (B-frames and variable frame rates included).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "recordings/frame_times.h"
#include "video/frames/video_frame.h"
#include "video/input/video_input.h"

namespace tavrilo {

class FrameReader {
  public:
    // Opens the first video stream; false with `error` set when it cannot be decoded or its
    // pictures' times cannot be read.
    bool Open(const std::string& path, std::string* error);
    void Close();

    int width() const;
    int height() const;
    int64_t frameCount() const;
    const FrameTimes& times() const { return times_; }

    // Frame `index` exactly: seeks to the key frame before it and decodes forward.
    std::optional<VideoFrame> ReadFrame(int64_t index, std::string* error);
    // The frame after the last one read (or the first); nullopt at the end.
    std::optional<VideoFrame> NextFrame(std::string* error);

  private:
    // The next decoded picture, numbered; nullopt at the end or on an error (`error` set).
    std::optional<VideoFrame> Decode(std::string* error);

    VideoInput in_;
    FrameTimes times_;
    bool draining_ = false;
};

}  // namespace tavrilo
