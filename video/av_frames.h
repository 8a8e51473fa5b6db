#pragma once
// Turning FFmpeg's decoded pictures into VideoFrames: 8-bit 4:2:0 planes (anything else is
// converted once, here), the presentation time in 100-ns units, and the colour description.

#include "video/video_frame.h"

struct AVFrame;
struct AVStream;
struct SwsContext;

namespace tavrilo {

// Takes ownership of `frame`. `convert` caches the converter between calls (freed by the
// caller with sws_freeContext). The index is left for the caller to fill.
VideoFrame WrapDecodedFrame(AVFrame* frame, const AVStream* stream, SwsContext** convert);

}  // namespace tavrilo
