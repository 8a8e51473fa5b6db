#include "video/av_frames.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace tavrilo {
namespace {

void FreeFrame(void* p) {
    auto* f = static_cast<AVFrame*>(p);
    av_frame_free(&f);
}

}  // namespace

VideoFrame WrapDecodedFrame(AVFrame* frame, const AVStream* stream, SwsContext** convert) {
    if (frame->format != AV_PIX_FMT_YUV420P && frame->format != AV_PIX_FMT_YUVJ420P) {
        AVFrame* converted = av_frame_alloc();
        converted->format = AV_PIX_FMT_YUV420P;
        converted->width = frame->width;
        converted->height = frame->height;
        av_frame_get_buffer(converted, 0);
        *convert = sws_getCachedContext(*convert, frame->width, frame->height,
                                        static_cast<AVPixelFormat>(frame->format), frame->width,
                                        frame->height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                        nullptr, nullptr);
        sws_scale(*convert, frame->data, frame->linesize, 0, frame->height, converted->data,
                  converted->linesize);
        av_frame_copy_props(converted, frame);
        av_frame_free(&frame);
        frame = converted;
    }
    VideoFrame v;
    v.width = frame->width;
    v.height = frame->height;
    for (int p = 0; p < 3; ++p) {
        v.planes[static_cast<size_t>(p)] = frame->data[p];
        v.strides[static_cast<size_t>(p)] = frame->linesize[p];
    }
    v.time100ns =
        av_rescale_q(frame->best_effort_timestamp, stream->time_base, AVRational{1, 10000000});
    v.fullRange = frame->color_range == AVCOL_RANGE_JPEG || frame->format == AV_PIX_FMT_YUVJ420P;
    v.bt709 = frame->colorspace == AVCOL_SPC_BT709;
    v.owner = std::shared_ptr<void>(frame, FreeFrame);
    return v;
}

}  // namespace tavrilo
