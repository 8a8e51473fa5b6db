#include "video/audio/audio_decoder.h"

#include <algorithm>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace tavrilo {

bool AudioDecoder::Open(AVFormatContext* format, int videoStream, AudioOutput& output) {
    Close();
    const AVCodec* decoder = nullptr;
    const int stream =
        av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, videoStream, &decoder, 0);
    if (stream < 0 || decoder == nullptr) {
        return false;
    }
    codec_.reset(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(codec_.get(), format->streams[stream]->codecpar);
    if (avcodec_open2(codec_.get(), decoder, nullptr) < 0) {
        codec_.reset();
        return false;
    }
    stream_ = stream;
    frame_.reset(av_frame_alloc());
    if (output.Open() && !OpenResampler(output)) {
        output.Close();  // a layout we cannot convert: silent
    }
    return true;
}

bool AudioDecoder::OpenResampler(AudioOutput& output) {
    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, 2);
    // A stream that only says how many channels it has gets their usual layout.
    AVChannelLayout input;
    if (codec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&input, codec_->ch_layout.nb_channels);
    } else {
        av_channel_layout_copy(&input, &codec_->ch_layout);
    }
    SwrContext* raw = nullptr;
    const int rc = swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_S16, output.sampleRate(),
                                       &input, codec_->sample_fmt, codec_->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&input);
    resample_.reset(raw);
    if (rc < 0 || swr_init(raw) < 0) {
        resample_.reset();
        return false;
    }
    return true;
}

void AudioDecoder::Close() {
    resample_.reset();
    codec_.reset();
    frame_.reset();
    stream_ = -1;
}

void AudioDecoder::Decode(const AVPacket* packet, bool audible, AudioOutput& output) {
    if (!codec_ || avcodec_send_packet(codec_.get(), packet) < 0) {
        return;  // damaged audio is skipped
    }
    AVFrame* frame = frame_.get();
    while (avcodec_receive_frame(codec_.get(), frame) >= 0) {
        if (resample_ && audible) {
            const int most = swr_get_out_samples(resample_.get(), frame->nb_samples);
            buffer_.resize(static_cast<size_t>(std::max(most, 0)) * 2);
            auto* out = reinterpret_cast<uint8_t*>(buffer_.data());
            const int got =
                swr_convert(resample_.get(), &out, most,
                            const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
            if (got > 0) {
                output.Push(buffer_.data(), got);
            }
        }
        av_frame_unref(frame);
    }
}

void AudioDecoder::Flush() {
    if (codec_) {
        avcodec_flush_buffers(codec_.get());
    }
}

}  // namespace tavrilo
