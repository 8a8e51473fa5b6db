#pragma once
// Owners of FFmpeg's handles, one for each kind the program holds: every handle is freed by
// the function FFmpeg pairs with its allocation, exactly once, whatever path a function leaves
// by. Header-only, so that the sample generator shares them without the video library.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace tavrilo::av {

struct InputDeleter {  // a demuxer opened with avformat_open_input
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct OutputDeleter {  // a muxer with its file
    void operator()(AVFormatContext* f) const {
        if (f->pb != nullptr && !(f->oformat->flags & AVFMT_NOFILE)) {
            avio_closep(&f->pb);
        }
        avformat_free_context(f);
    }
};
struct CodecDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct ScalerDeleter {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct ResamplerDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct BufferDeleter {
    void operator()(AVBufferRef* b) const { av_buffer_unref(&b); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputDeleter>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerDeleter>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerDeleter>;
using BufferPtr = std::unique_ptr<AVBufferRef, BufferDeleter>;

}  // namespace tavrilo::av
