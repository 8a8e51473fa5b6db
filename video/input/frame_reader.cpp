#include "video/input/frame_reader.h"

#include "video/input/av_frames.h"

namespace tavrilo {
namespace {

constexpr AVRational k100ns{1, 10000000};
// How many key frames further back a read goes when its picture did not come from the first.
constexpr int kEarlierKeyFrames = 3;

}  // namespace

void FrameReader::Close() {
    in_.Close();
    times_ = {};
}

bool FrameReader::Open(const std::string& path, std::string* error) {
    Close();
    draining_ = false;
    VideoTrackInfo read = ReadVideoTrack(path);
    if (!read.times) {
        *error = path + ": " + read.error.check;
        return false;
    }
    if (!OpenVideoInput(path, &in_, error)) {
        return false;
    }
    times_ = std::move(*read.times);
    return true;
}

int FrameReader::width() const {
    return in_.codec ? in_.codec->width : 0;
}
int FrameReader::height() const {
    return in_.codec ? in_.codec->height : 0;
}

int64_t FrameReader::frameCount() const {
    return in_.isOpen() ? times_.count() : 0;
}

std::optional<VideoFrame> FrameReader::Decode(std::string* error) {
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
    VideoFrame v = WrapDecodedFrame(std::move(frame), in_.videoStream(), &in_.convert);
    v.index = times_.NearestFrame100ns(v.time100ns);
    return v;
}

std::optional<VideoFrame> FrameReader::ReadFrame(int64_t index, std::string* error) {
    if (!in_.isOpen()) {
        *error = "no recording open";
        return std::nullopt;
    }
    if (index < 0 || index >= frameCount()) {
        *error = "frame " + std::to_string(index) + " is past the end (" +
                 std::to_string(frameCount()) + " frames)";
        return std::nullopt;
    }
    int64_t from = av_rescale_q(times_.Start100ns(index), k100ns, in_.videoStream()->time_base);
    for (int attempt = 0; attempt <= kEarlierKeyFrames; ++attempt) {
        const int64_t key = SeekToKeyFrame(&in_, from);
        draining_ = false;
        for (;;) {
            std::optional<VideoFrame> frame = Decode(error);
            if (!frame) {
                if (!error->empty()) {
                    return std::nullopt;
                }
                break;  // the end before the picture: an earlier key frame may bring it
            }
            if (frame->index == index) {
                return frame;
            }
            if (frame->index > index) {
                break;  // passed it: its picture needs an earlier key frame
            }
        }
        if (key == INT64_MIN) {
            break;
        }
        from = key - 1;
    }
    *error = "frame " + std::to_string(index) + " could not be decoded";
    return std::nullopt;
}

std::optional<VideoFrame> FrameReader::NextFrame(std::string* error) {
    if (!in_.isOpen()) {
        *error = "no recording open";
        return std::nullopt;
    }
    return Decode(error);
}

}  // namespace tavrilo
