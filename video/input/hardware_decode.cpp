#include "video/input/hardware_decode.h"

extern "C" {
#include <libavutil/hwcontext.h>
}

namespace tavrilo {

av::BufferPtr SetUpHardwareDecoding(AVCodecContext* codec, const AVCodec* decoder) {
    bool supported = false;
    for (int i = 0;; ++i) {
        const AVCodecHWConfig* config = avcodec_get_hw_config(decoder, i);
        if (config == nullptr) {
            break;
        }
        supported =
            supported || ((config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_DEVICE_CTX) != 0 &&
                          config->device_type == AV_HWDEVICE_TYPE_VAAPI);
    }
    AVBufferRef* device = nullptr;
    if (!supported ||
        av_hwdevice_ctx_create(&device, AV_HWDEVICE_TYPE_VAAPI, nullptr, nullptr, 0) < 0) {
        return nullptr;
    }
    codec->hw_device_ctx = av_buffer_ref(device);
    codec->get_format = [](AVCodecContext*, const AVPixelFormat* formats) {
        const AVPixelFormat* first = formats;
        for (; *formats != AV_PIX_FMT_NONE; ++formats) {
            if (*formats == AV_PIX_FMT_VAAPI) {
                return *formats;
            }
        }
        return *first;
    };
    return av::BufferPtr(device);
}

av::FramePtr DownloadFrame(av::FramePtr frame) {
    if (frame->format != AV_PIX_FMT_VAAPI) {
        return frame;
    }
    av::FramePtr copy(av_frame_alloc());
    if (av_hwframe_transfer_data(copy.get(), frame.get(), 0) < 0) {
        return nullptr;
    }
    av_frame_copy_props(copy.get(), frame.get());
    return copy;
}

}  // namespace tavrilo
