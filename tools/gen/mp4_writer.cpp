#include "tools/gen/mp4_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <numbers>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "video/input/ffmpeg_handles.h"

namespace tavrilo::gen {
namespace {

constexpr int kAudioRate = 48000;
constexpr int64_t kVideoTimescale = 1000000;

std::string AvError(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

using av::CodecPtr;
using av::FramePtr;

uint32_t Be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
uint64_t Be64(const uint8_t* p) {
    return (uint64_t{Be32(p)} << 32) | Be32(p + 4);
}
void PutBe64(uint8_t* p, uint64_t v) {
    PutBe32(p, static_cast<uint32_t>(v >> 32));
    PutBe32(p + 4, static_cast<uint32_t>(v));
}

struct TopBox {
    uint64_t offset;
    uint64_t size;
    std::string type;
};

// One stream being encoded into the muxer.
struct Encoder {
    CodecPtr ctx;
    AVStream* stream = nullptr;
    // Duration given to packets the encoder leaves without one, in the codec's time base:
    // without it the muxer writes a zero duration for the last frame into "stts".
    int64_t packetDuration = 0;
};

class Muxer {
  public:
    bool Open(const std::filesystem::path& path, const VideoOptions& o, std::string* error);
    bool EncodeVideo(const AVFrame* frame, std::string* error) {
        return Encode(video_, frame, error);
    }
    bool EncodeAudio(const AVFrame* frame, std::string* error) {
        return Encode(audio_, frame, error);
    }
    bool Finish(std::string* error);
    AVCodecContext* video() { return video_.ctx.get(); }
    AVCodecContext* audio() { return audio_.ctx.get(); }

  private:
    bool AddVideo(const VideoOptions& o, std::string* error);
    bool AddAudio(std::string* error);
    bool Encode(Encoder& enc, const AVFrame* frame, std::string* error);

    av::OutputPtr oc_;
    av::PacketPtr packet_{av_packet_alloc()};
    Encoder video_;
    Encoder audio_;
};

bool Muxer::Open(const std::filesystem::path& path, const VideoOptions& o, std::string* error) {
    AVFormatContext* raw = nullptr;
    int rc = avformat_alloc_output_context2(&raw, nullptr, "mp4", path.c_str());
    if (rc < 0) {
        *error = "cannot create the MP4 muxer: " + AvError(rc);
        return false;
    }
    oc_.reset(raw);
    oc_->flags |= AVFMT_FLAG_BITEXACT;  // no library version in the file: same options, same bytes
    if (!AddVideo(o, error) || (o.audio && !AddAudio(error))) {
        return false;
    }
    if ((rc = avio_open(&oc_->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0) {
        *error = "cannot create " + path.string() + ": " + AvError(rc);
        return false;
    }
    AVDictionary* opts = nullptr;
    av_dict_set_int(&opts, "video_track_timescale", kVideoTimescale, 0);
    rc = avformat_write_header(oc_.get(), &opts);
    av_dict_free(&opts);
    if (rc < 0) {
        *error = "cannot write the MP4 header: " + AvError(rc);
        return false;
    }
    return true;
}

bool Muxer::AddVideo(const VideoOptions& o, std::string* error) {
    const bool hevc = o.codec == "h265";
    if (!hevc && o.codec != "h264") {
        *error = "unknown codec " + o.codec + " (h264 or h265)";
        return false;
    }
    const AVCodec* codec = avcodec_find_encoder_by_name(hevc ? "libx265" : "libx264");
    if (codec == nullptr) {
        *error = std::string("FFmpeg has no ") + (hevc ? "libx265" : "libx264") + " encoder";
        return false;
    }
    video_.ctx.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = video_.ctx.get();
    c->width = o.width;
    c->height = o.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, static_cast<int>(kVideoTimescale)};
    c->framerate = av_d2q(o.fps, 100000);
    c->gop_size = std::max(1, static_cast<int>(std::lround(o.fps)));
    // The recorder writes no B-frames: decode order is presentation order, no "ctts".
    c->max_b_frames = 0;
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_BITEXACT;
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "preset", o.preset.c_str(), 0);
    if (o.qp >= 0) {
        av_dict_set_int(&opts, "qp", o.qp, 0);
    } else {
        av_dict_set_int(&opts, "crf", o.crf, 0);
    }
    // A key frame every second exactly, so "stss" lists regular sync samples.
    const std::string params = "keyint=" + std::to_string(c->gop_size) +
                               ":min-keyint=" + std::to_string(c->gop_size) +
                               ":scenecut=0:bframes=0" + (hevc ? ":log-level=error" : "");
    av_dict_set(&opts, hevc ? "x265-params" : "x264-params", params.c_str(), 0);
    const int rc = avcodec_open2(c, codec, &opts);
    av_dict_free(&opts);
    if (rc < 0) {
        *error = "cannot open the video encoder: " + AvError(rc);
        return false;
    }
    video_.stream = avformat_new_stream(oc_.get(), nullptr);
    avcodec_parameters_from_context(video_.stream->codecpar, c);
    if (hevc) {
        video_.stream->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    }
    video_.stream->time_base = c->time_base;
    video_.packetDuration = FrameDeltaMicros(o.fps);
    return true;
}

bool Muxer::AddAudio(std::string* error) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr) {
        *error = "FFmpeg has no AAC encoder";
        return false;
    }
    audio_.ctx.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = audio_.ctx.get();
    c->sample_rate = kAudioRate;
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&c->ch_layout, 1);
    c->bit_rate = 64000;
    c->time_base = AVRational{1, kAudioRate};
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_BITEXACT;
    const int rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0) {
        *error = "cannot open the audio encoder: " + AvError(rc);
        return false;
    }
    audio_.stream = avformat_new_stream(oc_.get(), nullptr);
    avcodec_parameters_from_context(audio_.stream->codecpar, c);
    audio_.stream->time_base = c->time_base;
    return true;
}

bool Muxer::Encode(Encoder& enc, const AVFrame* frame, std::string* error) {
    int rc = avcodec_send_frame(enc.ctx.get(), frame);
    if (rc < 0) {
        *error = "encoding failed: " + AvError(rc);
        return false;
    }
    while ((rc = avcodec_receive_packet(enc.ctx.get(), packet_.get())) >= 0) {
        if (packet_->duration == 0) {
            packet_->duration = enc.packetDuration;
        }
        av_packet_rescale_ts(packet_.get(), enc.ctx->time_base, enc.stream->time_base);
        packet_->stream_index = enc.stream->index;
        if ((rc = av_interleaved_write_frame(oc_.get(), packet_.get())) < 0) {
            *error = "writing a packet failed: " + AvError(rc);
            return false;
        }
    }
    if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF) {
        *error = "encoding failed: " + AvError(rc);
        return false;
    }
    return true;
}

bool Muxer::Finish(std::string* error) {
    if (!EncodeVideo(nullptr, error) || (audio_.ctx && !EncodeAudio(nullptr, error))) {
        return false;
    }
    const int rc = av_write_trailer(oc_.get());
    if (rc < 0) {
        *error = "cannot finish the MP4: " + AvError(rc);
        return false;
    }
    oc_.reset();
    return true;
}

// Fills one AAC frame of the test tone: a quiet 440 Hz sine with a short 1 kHz pip at the
// start of every second.
void FillTone(AVFrame* frame, int64_t firstSample) {
    auto* out = reinterpret_cast<float*>(frame->data[0]);
    for (int i = 0; i < frame->nb_samples; ++i) {
        const int64_t n = firstSample + i;
        const double t = static_cast<double>(n) / kAudioRate;
        double s = 0.1 * std::sin(2 * std::numbers::pi * 440.0 * t);
        if (n % kAudioRate < kAudioRate / 20) {
            s += 0.2 * std::sin(2 * std::numbers::pi * 1000.0 * t);
        }
        out[i] = static_cast<float>(s);
    }
}

bool ReadTopLevel(std::ifstream& in, uint64_t fileSize, std::vector<TopBox>* boxes,
                  std::string* error) {
    uint64_t pos = 0;
    while (pos + 8 <= fileSize) {
        uint8_t head[16];
        in.seekg(static_cast<std::streamoff>(pos));
        in.read(reinterpret_cast<char*>(head), 8);
        uint64_t size = Be32(head);
        if (size == 1) {
            in.read(reinterpret_cast<char*>(head + 8), 8);
            size = Be64(head + 8);
        } else if (size == 0) {
            size = fileSize - pos;
        }
        if (!in || size < 8 || pos + size > fileSize) {
            *error = "the muxer wrote a box this rewrite does not understand";
            return false;
        }
        boxes->push_back({pos, size, std::string(reinterpret_cast<char*>(head + 4), 4)});
        pos += size;
    }
    return true;
}

// Subtracts from every chunk offset in a "moov" box the bytes removed before it.
void PatchChunkOffsets(uint8_t* p, uint64_t size, const std::vector<TopBox>& removed) {
    auto shift = [&removed](uint64_t offset) {
        uint64_t before = 0;
        for (const TopBox& b : removed) {
            if (b.offset < offset) {
                before += b.size;
            }
        }
        return offset - before;
    };
    static const char* const kContainers[] = {"moov", "trak", "mdia", "minf", "stbl"};
    uint64_t pos = 0;
    while (pos + 8 <= size) {
        const uint64_t boxSize = Be32(p + pos);
        if (boxSize < 8 || pos + boxSize > size) {
            return;
        }
        const std::string type(reinterpret_cast<char*>(p + pos + 4), 4);
        uint8_t* payload = p + pos + 8;
        const uint64_t payloadSize = boxSize - 8;
        bool container = false;
        for (const char* c : kContainers) {
            container = container || type == c;
        }
        if (container) {
            PatchChunkOffsets(payload, payloadSize, removed);
        } else if ((type == "stco" || type == "co64") && payloadSize >= 8) {
            const uint64_t width = type == "stco" ? 4 : 8;
            const uint64_t count = std::min<uint64_t>(Be32(payload + 4), (payloadSize - 8) / width);
            for (uint64_t i = 0; i < count; ++i) {
                uint8_t* e = payload + 8 + i * width;
                if (width == 4) {
                    PutBe32(e, static_cast<uint32_t>(shift(Be32(e))));
                } else {
                    PutBe64(e, shift(Be64(e)));
                }
            }
        }
        pos += boxSize;
    }
}

}  // namespace

FrameRenderer FromRgb(int width, int height, RgbRenderer render) {
    struct Converter {
        av::ScalerPtr sws;
        std::vector<uint8_t> pixels;
    };
    auto c = std::make_shared<Converter>();
    c->sws.reset(sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height, AV_PIX_FMT_YUV420P,
                                SWS_BILINEAR | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr,
                                nullptr));
    // swscale's vector code reads a little past the last input row: padding keeps it inside.
    c->pixels.resize(static_cast<size_t>(width) * height * 3 + AV_INPUT_BUFFER_PADDING_SIZE);
    return [c, width, height, render = std::move(render)](int index, const YuvFrame& out) {
        render(index, c->pixels.data());
        const uint8_t* src[1] = {c->pixels.data()};
        const int srcStride[1] = {width * 3};
        sws_scale(c->sws.get(), src, srcStride, 0, height, out.planes, out.strides);
    };
}

int64_t FrameDeltaMicros(double fps) {
    return std::llround(kVideoTimescale / fps);
}

bool RewriteTopLevel(const std::filesystem::path& inPath, const std::filesystem::path& outPath,
                     const std::vector<uint8_t>& tail, std::string* error) {
    std::ifstream in(inPath, std::ios::binary);
    std::error_code ec;
    const uint64_t fileSize = std::filesystem::file_size(inPath, ec);
    if (!in || ec) {
        *error = "cannot read " + inPath.string();
        return false;
    }
    std::vector<TopBox> boxes;
    if (!ReadTopLevel(in, fileSize, &boxes, error)) {
        return false;
    }
    std::vector<TopBox> removed;
    for (const TopBox& b : boxes) {
        if (b.type == "free" || b.type == "skip" || b.type == "wide") {
            removed.push_back(b);
        }
    }
    std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
    if (!out) {
        *error = "cannot create " + outPath.string();
        return false;
    }
    std::vector<char> buffer(1 << 20);
    for (const TopBox& b : boxes) {
        if (b.type == "free" || b.type == "skip" || b.type == "wide") {
            continue;
        }
        if (b.size > UINT32_MAX) {
            *error =
                "the " + b.type + " box is over 4 GiB, which the recorder's format cannot hold";
            return false;
        }
        in.seekg(static_cast<std::streamoff>(b.offset));
        if (b.type == "moov") {
            std::vector<uint8_t> moov(b.size);
            in.read(reinterpret_cast<char*>(moov.data()), static_cast<std::streamsize>(b.size));
            PatchChunkOffsets(moov.data(), moov.size(), removed);
            out.write(reinterpret_cast<const char*>(moov.data()),
                      static_cast<std::streamsize>(moov.size()));
            continue;
        }
        for (uint64_t left = b.size; left > 0 && in;) {
            const auto n = static_cast<std::streamsize>(std::min<uint64_t>(left, buffer.size()));
            in.read(buffer.data(), n);
            out.write(buffer.data(), n);
            left -= static_cast<uint64_t>(n);
        }
    }
    out.write(reinterpret_cast<const char*>(tail.data()),
              static_cast<std::streamsize>(tail.size()));
    out.close();
    if (!in || !out) {
        *error = "copying " + inPath.string() + " failed";
        return false;
    }
    return true;
}

bool WriteRecording(const std::filesystem::path& out, const VideoOptions& o,
                    const FrameRenderer& render, const std::vector<uint8_t>& gps0Box,
                    std::string* error) {
    if (o.width <= 0 || o.height <= 0 || o.width % 2 || o.height % 2 || o.frames <= 0 ||
        !(o.fps > 0)) {
        *error = "frame size must be even and positive, frames and rate positive";
        return false;
    }
    const std::filesystem::path muxed = out.string() + ".mux.part";
    const std::filesystem::path staged = out.string() + ".part";
    struct Cleanup {
        std::filesystem::path a, b;
        ~Cleanup() {
            std::error_code ec;
            std::filesystem::remove(a, ec);
            std::filesystem::remove(b, ec);
        }
    } cleanup{muxed, staged};

    Muxer mux;
    if (!mux.Open(muxed, o, error)) {
        return false;
    }
    FramePtr yuv(av_frame_alloc());
    yuv->format = AV_PIX_FMT_YUV420P;
    yuv->width = o.width;
    yuv->height = o.height;
    if (av_frame_get_buffer(yuv.get(), 0) < 0) {
        *error = "out of memory for frames";
        return false;
    }

    FramePtr tone;
    int64_t nextSample = 0;
    if (AVCodecContext* a = mux.audio()) {
        tone.reset(av_frame_alloc());
        tone->format = a->sample_fmt;
        tone->nb_samples = a->frame_size;
        tone->sample_rate = a->sample_rate;
        av_channel_layout_copy(&tone->ch_layout, &a->ch_layout);
        if (av_frame_get_buffer(tone.get(), 0) < 0) {
            *error = "out of memory for audio";
            return false;
        }
    }
    const int64_t delta = FrameDeltaMicros(o.fps);
    const int64_t totalSamples = av_rescale(o.frames * delta, kAudioRate, kVideoTimescale);
    for (int i = 0; i < o.frames; ++i) {
        // Keep the audio just ahead of the video so the muxer interleaves them.
        while (tone && nextSample < totalSamples &&
               av_rescale(nextSample, kVideoTimescale, kAudioRate) <= i * delta) {
            if (av_frame_make_writable(tone.get()) < 0) {
                *error = "audio frame not writable";
                return false;
            }
            FillTone(tone.get(), nextSample);
            tone->pts = nextSample;
            nextSample += tone->nb_samples;
            if (!mux.EncodeAudio(tone.get(), error)) {
                return false;
            }
        }
        if (av_frame_make_writable(yuv.get()) < 0) {
            *error = "video frame not writable";
            return false;
        }
        render(i, YuvFrame{{yuv->data[0], yuv->data[1], yuv->data[2]},
                           {yuv->linesize[0], yuv->linesize[1], yuv->linesize[2]},
                           o.width,
                           o.height});
        yuv->pts = i * delta;
        if (!mux.EncodeVideo(yuv.get(), error)) {
            return false;
        }
    }
    if (!mux.Finish(error) || !RewriteTopLevel(muxed, staged, gps0Box, error)) {
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(staged, out, ec);
    if (ec) {
        *error = "cannot move the recording into place: " + ec.message();
        return false;
    }
    return true;
}

}  // namespace tavrilo::gen
