#pragma once
// Reads single video frames of a recording with FFmpeg: open, go to a frame exactly, decode it.
// Frames are numbered in presentation order from 0, as the sample table lists them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "video/video_frame.h"
#include "video/video_input.h"

namespace tavrilo {

class FrameReader {
  public:
    // Opens the first video stream; false with `error` set when it cannot be decoded.
    bool Open(const std::string& path, std::string* error);
    void Close();

    int width() const;
    int height() const;
    int64_t frameCount() const;

    // Frame `index` exactly: seeks to the sync sample before it and decodes forward.
    std::optional<VideoFrame> ReadFrame(int64_t index, std::string* error);
    // The frame after the last one read (or the first); nullopt at the end.
    std::optional<VideoFrame> NextFrame(std::string* error);

  private:
    std::optional<VideoFrame> Decode(int64_t wantedPts, std::string* error);
    VideoFrame Wrap(av::FramePtr frame);

    VideoInput in_;
    bool draining_ = false;
};

}  // namespace tavrilo
