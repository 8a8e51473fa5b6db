#include "video/frame_reader.h"

#include "video/av_frames.h"

namespace tavrilo {

void FrameReader::Close() {
    in_.Close();
}

bool FrameReader::Open(const std::string& path, std::string* error) {
    draining_ = false;
    return OpenVideoInput(path, &in_, error);
}

int FrameReader::width() const {
    return in_.codec ? in_.codec->width : 0;
}
int FrameReader::height() const {
    return in_.codec ? in_.codec->height : 0;
}

int64_t FrameReader::frameCount() const {
    return in_.isOpen() ? avformat_index_get_entries_count(in_.videoStream()) : 0;
}

VideoFrame FrameReader::Wrap(av::FramePtr frame) {
    AVStream* st = in_.videoStream();
    const int64_t pts = frame->best_effort_timestamp;
    VideoFrame v = WrapDecodedFrame(std::move(frame), st, &in_.convert);
    v.index = av_index_search_timestamp(st, pts, AVSEEK_FLAG_ANY);
    return v;
}

std::optional<VideoFrame> FrameReader::Decode(int64_t wantedPts, std::string* error) {
    for (;;) {
        av::FramePtr frame(av_frame_alloc());
        bool reading = false;
        const int rc = DecodePicture(&in_, frame.get(), &draining_, &reading);
        if (rc == AVERROR_EOF) {
            return std::nullopt;
        }
        if (rc < 0) {
            *error = (reading ? "reading failed: " : "decoding failed: ") + AvErrorText(rc);
            return std::nullopt;
        }
        if (frame->best_effort_timestamp >= wantedPts) {
            return Wrap(std::move(frame));
        }
    }
}

std::optional<VideoFrame> FrameReader::ReadFrame(int64_t index, std::string* error) {
    if (!in_.isOpen()) {
        *error = "no recording open";
        return std::nullopt;
    }
    AVStream* st = in_.videoStream();
    const AVIndexEntry* entry = avformat_index_get_entry(st, static_cast<int>(index));
    if (index < 0 || entry == nullptr) {
        *error = "frame " + std::to_string(index) + " is past the end (" +
                 std::to_string(frameCount()) + " frames)";
        return std::nullopt;
    }
    const int64_t pts = entry->timestamp;
    const int rc = av_seek_frame(in_.format.get(), in_.stream, pts, AVSEEK_FLAG_BACKWARD);
    if (rc < 0) {
        *error = "seeking failed: " + AvErrorText(rc);
        return std::nullopt;
    }
    avcodec_flush_buffers(in_.codec.get());
    draining_ = false;
    return Decode(pts, error);
}

std::optional<VideoFrame> FrameReader::NextFrame(std::string* error) {
    if (!in_.isOpen()) {
        *error = "no recording open";
        return std::nullopt;
    }
    return Decode(INT64_MIN, error);
}

}  // namespace tavrilo
