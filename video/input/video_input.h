#pragma once
// A recording opened for decoding its video: the demuxer, the best video stream and its
// decoder, a packet to read into and the cached pixel converter. The frame reader and the
// player both start from one.

#include <functional>
#include <string>

#include "video/input/ffmpeg_handles.h"

namespace tavrilo {

// Why the last opening failed: the file could not be read as a media file, or it has no
// video a decoder here can decode (a missing codec, to the user).
enum class VideoInputError { kNone, kUnreadable, kNoDecoder };

struct VideoInput {
    av::InputPtr format;
    av::CodecPtr codec;
    av::PacketPtr packet;
    av::ScalerPtr convert;
    int stream = -1;
    VideoInputError lastError = VideoInputError::kNone;  // kept by Close

    bool isOpen() const { return stream >= 0; }
    AVStream* videoStream() const { return format->streams[stream]; }
    void Close();
};

// FFmpeg's text for an error code.
std::string AvErrorText(int code);

// Opens `path` into `in` (closing what it held). `configure` may set the decoder up before it
// is opened (a hardware device, say). False with `error` set when there is no video to decode.
using DecoderSetup = std::function<void(AVCodecContext*, const AVCodec*)>;
bool OpenVideoInput(const std::string& path, VideoInput* in, std::string* error,
                    const DecoderSetup& configure = {});

// A decoder for `stream`'s pictures on `threads` threads (0: as many as FFmpeg likes), with
// `configure` applied before it opens. Null, with FFmpeg's code in `*rc`, when it cannot open.
av::CodecPtr OpenDecoder(const AVStream* stream, const AVCodec* decoder, int threads,
                         const DecoderSetup& configure, int* rc);

// Goes to the key frame at or before `streamTime` (the video stream's time base) with the
// decoder flushed, and returns that key frame's timestamp: a caller whose picture never came
// (an open GOP's leading pictures need the key frame before theirs) goes one key frame further
// back with the result less one. INT64_MIN when no key frame lies at or before the time.
int64_t SeekToKeyFrame(VideoInput* in, int64_t streamTime);

// Decodes the next picture of `in`'s video into `frame`, reading packets as the decoder asks
// for them and draining it once the file ends (`*draining` remembers that; false again after
// a seek). 0 for a picture, AVERROR_EOF at the end, else FFmpeg's code of the failure, with
// `*reading` telling whether reading the file failed rather than decoding.
int DecodePicture(VideoInput* in, AVFrame* frame, bool* draining, bool* reading);

}  // namespace tavrilo
