#include "video/input/video_input.h"

#include <string_view>

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

namespace {

// Whether the header alone says all the decoders need: an MP4 whose every video stream has its
// size and decoder set-up and every sound stream its rate and channels. Reading the streams
// then would decode a frame (at 2880 x 2880 the larger part of an opening) to learn nothing.
bool HeaderDescribesStreams(const AVFormatContext* format) {
    if (format->iformat == nullptr ||
        std::string_view(format->iformat->name).find("mp4") == std::string_view::npos) {
        return false;
    }
    bool video = false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* p = format->streams[i]->codecpar;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO) {
            if (p->codec_id == AV_CODEC_ID_NONE || p->width <= 0 || p->height <= 0 ||
                p->extradata_size <= 0) {
                return false;
            }
            video = true;
        } else if (p->codec_type == AVMEDIA_TYPE_AUDIO &&
                   (p->codec_id == AV_CODEC_ID_NONE || p->sample_rate <= 0 ||
                    p->ch_layout.nb_channels <= 0)) {
            return false;
        }
    }
    return video;
}

}  // namespace

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
    if (!HeaderDescribesStreams(raw) && (rc = avformat_find_stream_info(raw, nullptr)) < 0) {
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
    in->codec = OpenDecoder(raw->streams[stream], decoder, 0, configure, &rc);
    if (!in->codec) {
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

av::CodecPtr OpenDecoder(const AVStream* stream, const AVCodec* decoder, int threads,
                         const DecoderSetup& configure, int* rc) {
    av::CodecPtr codec(avcodec_alloc_context3(decoder));
    if (!codec) {
        *rc = AVERROR(ENOMEM);
        return nullptr;
    }
    if ((*rc = avcodec_parameters_to_context(codec.get(), stream->codecpar)) < 0) {
        return nullptr;
    }
    codec->thread_count = threads;
    if (configure) {
        configure(codec.get(), decoder);
    }
    if ((*rc = avcodec_open2(codec.get(), decoder, nullptr)) < 0) {
        return nullptr;
    }
    return codec;
}

int64_t SeekToKeyFrame(VideoInput* in, int64_t streamTime) {
    AVStream* st = in->videoStream();
    const int i = av_index_search_timestamp(st, streamTime, AVSEEK_FLAG_BACKWARD);
    const AVIndexEntry* key = i >= 0 ? avformat_index_get_entry(st, i) : nullptr;
    av_seek_frame(in->format.get(), in->stream, key != nullptr ? key->timestamp : streamTime,
                  AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(in->codec.get());
    return key != nullptr ? key->timestamp : INT64_MIN;
}

int DecodePicture(VideoInput* in, AVFrame* frame, bool* draining, bool* reading) {
    AVCodecContext* codec = in->codec.get();
    AVPacket* packet = in->packet.get();
    *reading = false;
    for (;;) {
        const int rc = avcodec_receive_frame(codec, frame);
        if (rc != AVERROR(EAGAIN)) {
            return rc;
        }
        if (*draining) {
            return AVERROR_EOF;
        }
        const int read = av_read_frame(in->format.get(), packet);
        if (read == AVERROR_EOF) {
            *draining = true;
            avcodec_send_packet(codec, nullptr);
            continue;
        }
        if (read < 0) {
            *reading = true;
            return read;
        }
        if (packet->stream_index == in->stream) {
            avcodec_send_packet(codec, packet);
        }
        av_packet_unref(packet);
    }
}

}  // namespace tavrilo
