#pragma once
// The sound of a recording: decodes its audio stream and resamples it to the output's 16-bit
// stereo. Used by the player's decoder thread only. A stream that cannot be decoded is left out
// and the video plays on.

#include <cstdint>
#include <vector>

#include "video/audio/audio_output.h"
#include "video/input/ffmpeg_handles.h"

namespace tavrilo {

class AudioDecoder {
  public:
    // Finds the audio stream that goes with `videoStream` and opens its decoder, and a
    // resampler for `output` when the output is open. False when there is no audio to decode.
    bool Open(AVFormatContext* format, int videoStream, AudioOutput& output);
    void Close();

    // The stream's index, -1 when there is none.
    int stream() const { return stream_; }
    bool present() const { return codec_ != nullptr; }

    // Decodes a packet of the stream and, when `audible`, pushes its samples to the output.
    void Decode(const AVPacket* packet, bool audible, AudioOutput& output);
    void Flush();

  private:
    bool OpenResampler(AudioOutput& output);

    av::CodecPtr codec_;
    av::ResamplerPtr resample_;
    av::FramePtr frame_;
    std::vector<int16_t> buffer_;
    int stream_ = -1;
};

}  // namespace tavrilo
