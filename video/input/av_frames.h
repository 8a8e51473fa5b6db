#pragma once
// Turning FFmpeg's decoded pictures into VideoFrames: 8-bit 4:2:0 planes (anything else is
// converted once, here), the presentation time in 100-ns units, and the colour description.

#include "video/frames/video_frame.h"
#include "video/input/ffmpeg_handles.h"

namespace tavrilo {

// Takes over `frame`. `convert` caches the converter between calls. The index is left for the
// caller to fill.
VideoFrame WrapDecodedFrame(av::FramePtr frame, const AVStream* stream, av::ScalerPtr* convert);

}  // namespace tavrilo
