#pragma once
// Decoding on the GPU through VAAPI, when the decoder supports it and a device exists.

#include "video/input/ffmpeg_handles.h"

namespace tavrilo {

// Gives `codec` (not yet opened) a VAAPI device and a format choice that prefers it. Returns
// the device, or null when there is none: the software decoder stays then.
av::BufferPtr SetUpHardwareDecoding(AVCodecContext* codec, const AVCodec* decoder);

// A frame decoded on the GPU brought back to memory (props kept); other frames unchanged.
// Null when the transfer fails.
av::FramePtr DownloadFrame(av::FramePtr frame);

}  // namespace tavrilo
