#include "video/input/av_frames.h"

namespace tavrilo {

VideoFrame WrapDecodedFrame(av::FramePtr frame, const AVStream* stream, av::ScalerPtr* convert) {
    if (frame->format != AV_PIX_FMT_YUV420P && frame->format != AV_PIX_FMT_YUVJ420P) {
        av::FramePtr converted(av_frame_alloc());
        converted->format = AV_PIX_FMT_YUV420P;
        converted->width = frame->width;
        converted->height = frame->height;
        av_frame_get_buffer(converted.get(), 0);
        convert->reset(sws_getCachedContext(convert->release(), frame->width, frame->height,
                                            static_cast<AVPixelFormat>(frame->format), frame->width,
                                            frame->height, AV_PIX_FMT_YUV420P, SWS_BILINEAR,
                                            nullptr, nullptr, nullptr));
        sws_scale(convert->get(), frame->data, frame->linesize, 0, frame->height, converted->data,
                  converted->linesize);
        av_frame_copy_props(converted.get(), frame.get());
        frame = std::move(converted);
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
    v.owner = std::shared_ptr<AVFrame>(frame.release(), av::FrameDeleter());
    return v;
}

}  // namespace tavrilo
