#include "video/video_input.h"

namespace tavrilo {

void VideoInput::Close() {
    codec.reset();
    format.reset();
    packet.reset();
    convert.reset();
    stream = -1;
}

std::string AvErrorText(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

bool OpenVideoInput(const std::string& path, VideoInput* in, std::string* error,
                    const DecoderSetup& configure) {
    in->Close();
    in->lastError = VideoInputError::kUnreadable;
    AVFormatContext* raw = nullptr;
    int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (rc < 0) {
        *error = "cannot open " + path + ": " + AvErrorText(rc);
        return false;
    }
    in->format.reset(raw);
    if ((rc = avformat_find_stream_info(raw, nullptr)) < 0) {
        *error = "cannot read " + path + ": " + AvErrorText(rc);
        in->Close();
        return false;
    }
    const AVCodec* decoder = nullptr;
    const int stream = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream < 0 || decoder == nullptr) {
        *error = path + " has no video that can be decoded";
        in->Close();
        in->lastError = VideoInputError::kNoDecoder;
        return false;
    }
    in->codec.reset(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(in->codec.get(), raw->streams[stream]->codecpar);
    in->codec->thread_count = 0;
    if (configure) {
        configure(in->codec.get(), decoder);
    }
    if ((rc = avcodec_open2(in->codec.get(), decoder, nullptr)) < 0) {
        *error = "cannot decode the video of " + path + ": " + AvErrorText(rc);
        in->Close();
        in->lastError = VideoInputError::kNoDecoder;
        return false;
    }
    in->packet.reset(av_packet_alloc());
    in->stream = stream;
    in->lastError = VideoInputError::kNone;
    return true;
}

}  // namespace tavrilo
