#include "video/frame_reader.h"

#include "video/av_frames.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace tavrilo {
namespace {

std::string AvError(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

}  // namespace

FrameReader::FrameReader() = default;
FrameReader::~FrameReader() {
    Close();
}

void FrameReader::Close() {
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
    av_packet_free(&packet_);
    sws_freeContext(convert_);
    convert_ = nullptr;
    stream_ = -1;
}

bool FrameReader::Open(const std::string& path, std::string* error) {
    Close();
    int rc = avformat_open_input(&format_, path.c_str(), nullptr, nullptr);
    if (rc < 0) {
        *error = "cannot open " + path + ": " + AvError(rc);
        return false;
    }
    if ((rc = avformat_find_stream_info(format_, nullptr)) < 0) {
        *error = "cannot read " + path + ": " + AvError(rc);
        Close();
        return false;
    }
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream_ < 0 || decoder == nullptr) {
        *error = path + " has no video FFmpeg can decode";
        Close();
        return false;
    }
    codec_ = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar);
    codec_->thread_count = 0;
    if ((rc = avcodec_open2(codec_, decoder, nullptr)) < 0) {
        *error = "cannot decode " + path + ": " + AvError(rc);
        Close();
        return false;
    }
    packet_ = av_packet_alloc();
    draining_ = false;
    return true;
}

int FrameReader::width() const {
    return codec_ ? codec_->width : 0;
}
int FrameReader::height() const {
    return codec_ ? codec_->height : 0;
}

int64_t FrameReader::frameCount() const {
    if (stream_ < 0) {
        return 0;
    }
    return avformat_index_get_entries_count(format_->streams[stream_]);
}

VideoFrame FrameReader::Wrap(AVFrame* frame) {
    const AVStream* st = format_->streams[stream_];
    const int64_t pts = frame->best_effort_timestamp;
    VideoFrame v = WrapDecodedFrame(frame, st, &convert_);
    v.index = av_index_search_timestamp(const_cast<AVStream*>(st), pts, AVSEEK_FLAG_ANY);
    return v;
}

std::optional<VideoFrame> FrameReader::Decode(int64_t wantedPts, std::string* error) {
    for (;;) {
        AVFrame* frame = av_frame_alloc();
        int rc = avcodec_receive_frame(codec_, frame);
        if (rc >= 0) {
            if (frame->best_effort_timestamp >= wantedPts) {
                return Wrap(frame);
            }
            av_frame_free(&frame);
            continue;
        }
        av_frame_free(&frame);
        if (rc == AVERROR_EOF) {
            return std::nullopt;
        }
        if (rc != AVERROR(EAGAIN)) {
            *error = "decoding failed: " + AvError(rc);
            return std::nullopt;
        }
        if (draining_) {
            return std::nullopt;
        }
        rc = av_read_frame(format_, packet_);
        if (rc == AVERROR_EOF) {
            draining_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (rc < 0) {
            *error = "reading failed: " + AvError(rc);
            return std::nullopt;
        }
        if (packet_->stream_index == stream_) {
            avcodec_send_packet(codec_, packet_);
        }
        av_packet_unref(packet_);
    }
}

std::optional<VideoFrame> FrameReader::ReadFrame(int64_t index, std::string* error) {
    if (stream_ < 0) {
        *error = "no recording open";
        return std::nullopt;
    }
    AVStream* st = format_->streams[stream_];
    const AVIndexEntry* entry = avformat_index_get_entry(st, static_cast<int>(index));
    if (index < 0 || entry == nullptr) {
        *error = "frame " + std::to_string(index) + " is past the end (" +
                 std::to_string(frameCount()) + " frames)";
        return std::nullopt;
    }
    const int64_t pts = entry->timestamp;
    const int rc = av_seek_frame(format_, stream_, pts, AVSEEK_FLAG_BACKWARD);
    if (rc < 0) {
        *error = "seeking failed: " + AvError(rc);
        return std::nullopt;
    }
    avcodec_flush_buffers(codec_);
    draining_ = false;
    return Decode(pts, error);
}

std::optional<VideoFrame> FrameReader::NextFrame(std::string* error) {
    if (stream_ < 0) {
        *error = "no recording open";
        return std::nullopt;
    }
    return Decode(INT64_MIN, error);
}

}  // namespace tavrilo
