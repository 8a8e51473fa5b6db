// The player's decoder thread (reading, decoding, exact seeks, handing frames to the presenter)
// and the thread that sends the end notice.

#include <algorithm>
#include <chrono>
#include <utility>

#include "video/input/av_frames.h"
#include "video/input/hardware_decode.h"
#include "video/present/player.h"

namespace tavrilo {
namespace {

constexpr AVRational k100ns{1, 10000000};
constexpr auto kEndNoticeDelay = std::chrono::milliseconds(200);
// What the recent frames may hold: 32 frames (16 before the one shown and 15 after it), and no
// more than 400 MiB (32 frames of 2880 x 2880 take 380 MiB, of 1440 x 1440 95 MiB).
constexpr size_t kRecentFrames = 32;
constexpr size_t kRecentBytes = 400u << 20;
// While paused, the decoder goes on this many frames past the one shown, so steps and seeks
// forward find their frames decoded.
constexpr int kLookAheadFrames = 15;
// How long a pause lasts without a command before the frames around the one shown are decoded
// again from further back.
constexpr auto kRestBeforeRecentering = std::chrono::milliseconds(150);
// How long before decoding around the frame shown goes on, once started and cut short.
constexpr auto kRestBeforeResuming = std::chrono::milliseconds(30);
// How far ahead of the last decoded frame a seek decodes on instead of going to a key frame.
constexpr int kDecodeOnFrames = 30;
// How many frames before its target a seek backwards decodes (and keeps).
constexpr int kBackFillFrames = 16;
// While playing, the frames shown last only wait for a pause and steps back: kBackFillFrames
// of them before the one shown, that one, the two the presenter holds and the one being handed
// on (about 250 MiB at 2880 x 2880 instead of 400 for the decoder's buffers to fill as playing
// starts).
constexpr size_t kPlayingRecentFrames = kBackFillFrames + FramePresenter::kSamples + 2;
// How many key frames further back a seek goes when its picture did not come.
constexpr int kEarlierKeyFrames = 3;
// How many packets the decoder of an opening's first frame may read before leaving it to the
// main decoder (frames reordered further than this are rare).
constexpr size_t kFirstFramePackets = 64;

// Fast playback: at most this many decoded frames in a row go undrawn, and a picture this far
// behind the clock (100 ns units) goes on from a key frame.
constexpr int kDropRun = 3;
constexpr int64_t kBehindLimit = 5'000'000;

size_t FrameBytes(const VideoFrame& f) {
    return static_cast<size_t>(f.width) * static_cast<size_t>(f.height) * 3 / 2;
}

// Adds `frame` after the others and pushes the oldest out past `limit` frames or kRecentBytes
// (never the last one); returns how many went.
size_t PushBounded(std::deque<VideoFrame>* frames, size_t* bytes, const VideoFrame& frame,
                   size_t limit = kRecentFrames) {
    frames->push_back(frame);
    *bytes += FrameBytes(frame);
    size_t dropped = 0;
    while ((*bytes > kRecentBytes || frames->size() > limit) && frames->size() > 1) {
        *bytes -= FrameBytes(frames->front());
        frames->pop_front();
        ++dropped;
    }
    return dropped;
}

// The decoder's next picture, from the video packets only; null at the end or on an error.
av::FramePtr DecodeVideo(VideoInput* in) {
    av::FramePtr frame(av_frame_alloc());
    bool draining = false, reading = false;
    return DecodePicture(in, frame.get(), &draining, &reading) == 0 ? std::move(frame) : nullptr;
}

}  // namespace

bool CPlayer::ReadVideoPacket(AVPacket* packet) {
    Decoding& d = decoding_;
    if (!d.held.empty()) {
        av_packet_move_ref(packet, d.held.front().get());
        d.held.pop_front();
        return true;
    }
    while (av_read_frame(d.input.format.get(), packet) >= 0) {
        if (packet->stream_index == d.input.stream) {
            return true;
        }
        if (packet->stream_index == d.audio.stream()) {
            // Sound only at the normal rate; the engine mutes the others.
            d.audio.Decode(packet, clock_.rate() == 1.0f, audio_);
        }
        av_packet_unref(packet);
    }
    return false;
}

bool CPlayer::DecodeNext(VideoFrame* out) {
    Decoding& d = decoding_;
    AVCodecContext* codec = d.input.codec.get();
    AVPacket* packet = d.input.packet.get();
    av::FramePtr frame(av_frame_alloc());
    for (;;) {
        const int rc = avcodec_receive_frame(codec, frame.get());
        if (rc >= 0) {
            if (d.dropTime == AV_NOPTS_VALUE || frame->best_effort_timestamp != d.dropTime) {
                break;
            }
            d.dropTime = AV_NOPTS_VALUE;  // the first frame, shown already
            av_frame_unref(frame.get());
            continue;
        }
        if (rc != AVERROR(EAGAIN)) {
            return false;  // end of stream (or a decoder that cannot go on)
        }
        if (!ReadVideoPacket(packet)) {
            avcodec_send_packet(codec, nullptr);
            continue;
        }
        avcodec_send_packet(codec, packet);
        av_packet_unref(packet);
    }
    return WrapFrame(std::move(frame), out);
}

bool CPlayer::DecodeFirstFrame(VideoFrame* out) {
    Decoding& d = decoding_;
    int rc;
    av::CodecPtr still = OpenDecoder(d.input.videoStream(), d.input.codec->codec, 1, {}, &rc);
    if (!still) {
        return false;
    }
    AVPacket* packet = d.input.packet.get();
    av::FramePtr frame(av_frame_alloc());
    std::deque<av::PacketPtr> read;
    while ((rc = avcodec_receive_frame(still.get(), frame.get())) == AVERROR(EAGAIN) &&
           read.size() < kFirstFramePackets) {
        if (!ReadVideoPacket(packet)) {
            avcodec_send_packet(still.get(), nullptr);
            continue;
        }
        avcodec_send_packet(still.get(), packet);
        read.emplace_back(av_packet_alloc());
        av_packet_move_ref(read.back().get(), packet);
    }
    // Whatever happened, the main decoder reads the same packets after it.
    d.held = std::move(read);
    if (rc < 0) {
        return false;  // the main decoder shows what it can of them
    }
    d.dropTime = frame->best_effort_timestamp;
    return WrapFrame(std::move(frame), out);
}

bool CPlayer::WrapFrame(av::FramePtr frame, VideoFrame* out, VideoInput* from) {
    VideoInput& in = from != nullptr ? *from : decoding_.input;
    ++decoded_;
    // Frames decoded on the GPU come back to memory once, as the drawing uploads them.
    frame = DownloadFrame(std::move(frame));
    if (!frame) {
        return false;
    }
    *out = WrapDecodedFrame(std::move(frame), in.videoStream(), &in.convert);
    out->index = times_.NearestFrame100ns(out->time100ns);
    return true;
}

bool CPlayer::NextFrame(VideoFrame* out) {
    Decoding& d = decoding_;
    if (d.replay < d.recent.size()) {
        *out = d.recent[d.replay++];
        return true;
    }
    const bool first = std::exchange(d.quickFirst, false);
    if (!(first && DecodeFirstFrame(out)) && !DecodeNext(out)) {
        return false;
    }
    Keep(*out);
    d.replay = d.recent.size();
    return true;
}

size_t CPlayer::Keep(const VideoFrame& frame) {
    return PushBounded(&decoding_.recent, &decoding_.recentBytes, frame,
                       presenter_.renderState() == FramePresenter::kStarted ? kPlayingRecentFrames
                                                                            : kRecentFrames);
}

void CPlayer::LookAhead(const VideoFrame& next) {
    Decoding& d = decoding_;
    if (frameDuration100ns_ <= 0 || d.recent.empty()) {
        return;
    }
    // `next` waits for a start; the frame shown is before it (`held` frames between them).
    const auto held = static_cast<size_t>(next.index - 1 - ShownIndex(next));
    const int64_t until = next.time100ns + (kLookAheadFrames - 1) * frameDuration100ns_;
    // Frames before the one shown are pushed out only past kBackFillFrames of them (half the
    // room for frames too large for 32): a step back is worth as much as one forward.
    const size_t capacity = std::min(kRecentFrames, kRecentBytes / FrameBytes(next));
    const size_t keepBefore = std::min<size_t>(kBackFillFrames, capacity / 2);
    size_t replay = d.replay;
    while (d.recent.back().time100ns < until && !abort_ && presenter_.HoldsNextFrame()) {
        // A frame pushed out lies before the one shown (`next` is at replay - 1, the frame
        // shown `held` + 1 before it): a frame to be shown is never given up for one after it.
        const bool room =
            d.recent.size() < kRecentFrames && d.recentBytes + FrameBytes(next) <= kRecentBytes;
        if (!room && replay <= keepBefore + 2 + held) {
            break;
        }
        VideoFrame frame;
        if (!DecodeNext(&frame)) {
            break;  // the end: NextFrame finds it again after these
        }
        replay -= Keep(frame);
    }
    d.replay = replay;
}

int64_t CPlayer::ShownIndex(const VideoFrame& next) const {
    // A pause while playing leaves the presenter holding up to its samples after the one shown.
    const int64_t shown = presenter_.lastPresentedIndex();
    return shown >= 0 && shown < next.index && next.index - shown <= FramePresenter::kSamples + 1
               ? shown
               : next.index - 1;
}

void CPlayer::Recenter(const VideoFrame& next) {
    Decoding& d = decoding_;
    Decoding::Recentering& job = d.recentering;
    const int64_t shown = ShownIndex(next);
    const int64_t first = std::max<int64_t>(0, shown - kBackFillFrames);
    const int64_t last = shown + kLookAheadFrames;
    if (hardwareDecoding() || frameDuration100ns_ <= 0 || d.recent.empty() || shown < 0 ||
        d.recent.front().index <= first ||
        static_cast<size_t>(last - first + 1) * FrameBytes(next) > kRecentBytes) {
        job = {};
        return;
    }
    if (job.active && job.from > first) {
        job = {};  // stepped back past what it can still give: it starts over
    }
    {
        // Only once the user rests: while keys and clicks come, this work would take the cores
        // the drawing needs. Work cut short goes on after a shorter rest.
        std::unique_lock lock(mutex_);
        if (commandCv_.wait_for(
                lock, job.active ? kRestBeforeResuming : kRestBeforeRecentering,
                [this] { return shared_.command != Command::kNone || state_ == kStarted; })) {
            return;
        }
    }
    if (!job.active) {
        std::string ignored;
        if (!d.second.isOpen() && !OpenVideoInput(d.path, &d.second, &ignored)) {
            return;
        }
        VideoInput& in = d.second;
        SeekToKeyFrame(&in,
                       av_rescale_q(times_.Start100ns(first), k100ns, in.videoStream()->time_base));
        job.active = true;
        job.from = first;  // its key frame lies at or before this one
    }
    if (!job.ended && !DecodeRecentering(last)) {
        return;  // a command or a start came: the next pause goes on from here
    }
    std::deque<VideoFrame> frames = std::move(job.frames);
    const bool ended = job.ended;
    job = {};
    while (!frames.empty() && frames.front().index < first) {
        frames.pop_front();
    }
    const auto at = std::find_if(frames.begin(), frames.end(),
                                 [&](const VideoFrame& f) { return f.index == next.index; });
    // Short of the frames wanted, only the recording's end will do (not a read error).
    if (at == frames.end() || (ended && frames.back().index < times_.count() - 1)) {
        return;
    }
    const size_t replay = static_cast<size_t>(at - frames.begin()) + 1;
    AdoptRecentering(std::move(frames));
    d.replay = replay;
}

void CPlayer::AdoptRecentering(std::deque<VideoFrame> frames) {
    Decoding& d = decoding_;
    // The second decoder goes on after the last of these frames: it becomes the main one.
    std::swap(d.input, d.second);
    std::swap(d.input.lastError, d.second.lastError);  // the opening's failure stays the main one's
    d.recentering = {};
    d.ForgetHeld();
    d.recent = std::move(frames);
    d.replay = d.recent.size();
    d.recentBytes = 0;
    for (const VideoFrame& f : d.recent) {
        d.recentBytes += FrameBytes(f);
    }
    // The sound read so far followed the other decoder: playing starts with a seek.
    std::lock_guard lock(mutex_);
    shared_.demuxAhead = true;
}

bool CPlayer::SeekInRecentering(int64_t target) {
    const Decoding::Recentering& job = decoding_.recentering;
    // Work that met the recording's end (or a read error) gives only the frames it holds.
    const int reach = job.ended ? 1 : kDecodeOnFrames;
    if (!job.active || job.frames.empty() || target < job.frames.front().time100ns ||
        target >= job.frames.back().time100ns + reach * frameDuration100ns_) {
        return false;
    }
    AdoptRecentering(job.frames);
    return SeekInRecent(target);
}

bool CPlayer::DecodeRecentering(int64_t last) {
    Decoding& d = decoding_;
    Decoding::Recentering& job = d.recentering;
    while (job.frames.empty() || job.frames.back().index < last) {
        if (abort_ || !presenter_.HoldsNextFrame()) {
            return false;
        }
        av::FramePtr picture = DecodeVideo(&d.second);
        VideoFrame frame;
        if (!picture || !WrapFrame(std::move(picture), &frame, &d.second)) {
            job.ended = true;
            return true;
        }
        if (!job.frames.empty() && frame.index <= job.frames.back().index) {
            job = {};  // frames out of step with their times: left as they are
            return false;
        }
        // A frame the recent ones hold is taken from them: the same picture, kept once.
        for (const VideoFrame& kept : d.recent) {
            if (kept.index == frame.index) {
                frame = kept;
                break;
            }
        }
        PushBounded(&job.frames, &job.bytes, frame);
        job.from = job.frames.front().index;
    }
    return true;
}

bool CPlayer::SeekInRecent(int64_t target) {
    Decoding& d = decoding_;
    if (d.recent.empty() || frameDuration100ns_ <= 0 || target < d.recent.front().time100ns) {
        return false;
    }
    const VideoFrame& last = d.recent.back();
    if (target >= EndOf(last)) {
        // Ahead: decoding on is cheaper than going back to a key frame, for a while.
        if (target >= last.time100ns + kDecodeOnFrames * frameDuration100ns_) {
            return false;
        }
        d.replay = d.recent.size();
    } else {
        // The first recent frame whose interval ends after the target is the one shown.
        size_t i = 0;
        while (EndOf(d.recent[i]) <= target) {
            ++i;
        }
        d.replay = i;
    }
    audio_.Clear();
    presenter_.Flush();
    std::lock_guard lock(mutex_);
    shared_.atEnd = false;
    shared_.demuxAhead = true;
    return true;
}

bool CPlayer::DropLate(const VideoFrame& frame, int* run) {
    if (!dropping_ || state_ != kStarted || clock_.rate() <= 1.0f) {
        *run = 0;
        return false;
    }
    const int64_t now = clock_.Time();
    const int64_t late = now - frame.time100ns - frameDuration100ns_;
    if (late > kBehindLimit && JumpToKeyFrame(now, frame.time100ns)) {
        ++dropped_;
        return true;
    }
    if (late > 0 && *run < kDropRun) {
        ++*run;
        ++dropped_;
        return true;
    }
    *run = 0;
    return false;
}

bool CPlayer::JumpToKeyFrame(int64_t time, int64_t after) {
    VideoInput& in = decoding_.input;
    AVStream* st = in.format->streams[in.stream];
    const int i = av_index_search_timestamp(st, av_rescale_q(time, k100ns, st->time_base),
                                            AVSEEK_FLAG_BACKWARD);
    const AVIndexEntry* key = i >= 0 ? avformat_index_get_entry(st, i) : nullptr;
    if (key == nullptr || av_rescale_q(key->timestamp, st->time_base, k100ns) <= after) {
        return false;  // no key frame between the picture and the clock: decode on
    }
    RestartDecodingAt(key->timestamp);  // no sound plays away from rate 1: none to clear
    return true;
}

int64_t CPlayer::RestartDecodingAt(int64_t streamTime) {
    decoding_.ForgetRecent();
    decoding_.ForgetHeld();
    const int64_t key = SeekToKeyFrame(&decoding_.input, streamTime);
    decoding_.audio.Flush();
    return key;
}

int64_t CPlayer::EndOf(const VideoFrame& frame) const {
    return frame.index >= 0 ? times_.End100ns(frame.index) : frame.time100ns + frameDuration100ns_;
}

int64_t CPlayer::DoSeek(int64_t target) {
    VideoInput& in = decoding_.input;
    // Going back far: decoding starts early enough for the frames before the target to be
    // among the recent ones, so the steps back from there are quick. Just before the recent
    // frames (stepping or seeking back past them), the frame wanted comes first: decoding
    // starts at the target's own key frame, and the frames before it follow after a rest.
    const bool back = !decoding_.recent.empty() && target < decoding_.recent.front().time100ns;
    const bool near = back && target >= decoding_.recent.front().time100ns -
                                            kBackFillFrames * frameDuration100ns_;
    const int64_t from = back && !near
                             ? std::max<int64_t>(0, target - kBackFillFrames * frameDuration100ns_)
                             : target;
    const int64_t key = RestartDecodingAt(av_rescale_q(from, k100ns, in.videoStream()->time_base));
    audio_.Clear();
    presenter_.Flush();
    std::lock_guard lock(mutex_);
    shared_.atEnd = false;
    shared_.demuxAhead = false;
    return key;
}

bool CPlayer::Deliver(const VideoFrame& frame) {
    for (;;) {
        const bool holding = presenter_.HoldsNextFrame();
        if (holding) {
            LookAhead(frame);
            Recenter(frame);
        } else if (decoding_.second.isOpen() && state_ == kStarted) {
            decoding_.StopRecentering();
        }
        // A pause while this frame waits for its sample: the look-ahead comes first.
        bool held = false;
        if (presenter_.Deliver(frame, abort_, holding ? nullptr : &held)) {
            return true;
        }
        if (!held) {
            return false;
        }
    }
}

void CPlayer::DecodeLoop() {
    int64_t skipUntil = -1;  // frames that end before this time are not shown (exact seeks)
    // The key frame the seek decodes from, and how often it went one further back because
    // the picture wanted never came (leading pictures of an open GOP).
    int64_t seekKey = INT64_MIN;
    int earlierKeys = 0;
    int64_t generation = 0;  // the seek whose first frame is awaited
    bool announceReady = true;
    int dropRun = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (shared_.atEnd) {
                commandCv_.wait(lock, [this] { return shared_.command != Command::kNone; });
            }
            if (shared_.command == Command::kQuit) {
                return;
            }
            if (shared_.command == Command::kSeek) {
                shared_.command = Command::kNone;
                skipUntil = shared_.seekTarget;
                generation = shared_.seekGeneration;
                const bool fromKeyFrame = shared_.fromKeyFrame;
                abort_ = false;
                lock.unlock();
                seekKey = INT64_MIN;
                earlierKeys = 0;
                if (fromKeyFrame || (!SeekInRecent(skipUntil) && !SeekInRecentering(skipUntil))) {
                    seekKey = DoSeek(skipUntil);
                }
                continue;
            }
        }
        VideoFrame frame;
        if (!NextFrame(&frame)) {
            {
                std::lock_guard lock(mutex_);
                shared_.atEnd = true;
            }
            shownCv_.notify_all();  // a seek waiting for a frame past the end returns
            presenter_.EndOfStream([this] {
                clock_.Pause();
                state_ = kStopped;
                std::lock_guard lock(mutex_);
                shared_.endPending = true;
                notifyCv_.notify_all();
            });
            continue;
        }
        // The frame shown for a time is the one whose interval holds it.
        if (skipUntil >= 0 && EndOf(frame) <= skipUntil) {
            continue;
        }
        if (skipUntil >= 0 && frame.index > times_.FrameAt100ns(skipUntil) &&
            seekKey != INT64_MIN && earlierKeys < kEarlierKeyFrames) {
            // Past the picture wanted without it: it needs the key frame before.
            ++earlierKeys;
            seekKey = RestartDecodingAt(seekKey - 1);
            continue;
        }
        skipUntil = -1;
        if (DropLate(frame, &dropRun)) {
            continue;
        }
        if (!Deliver(frame)) {
            continue;  // cut short: a seek or the end is waiting
        }
        std::lock_guard lock(mutex_);
        if (shared_.shownGeneration < generation) {
            shared_.shownGeneration = generation;
            shownCv_.notify_all();
        }
        if (announceReady) {
            announceReady = false;
            if (state_ == kOpenPending) {
                state_ = kStopped;
            }
            Post(UWM_SESSION_READY);
        }
    }
}

void CPlayer::NotifyLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        notifyCv_.wait(lock, [this] { return shared_.endPending || shared_.quitNotifier; });
        if (shared_.quitNotifier) {
            return;
        }
        // The end notice follows the last frame by 200 ms, unless playback went elsewhere.
        if (notifyCv_.wait_for(lock, kEndNoticeDelay,
                               [this] { return shared_.quitNotifier || !shared_.endPending; })) {
            if (shared_.quitNotifier) {
                return;
            }
            continue;
        }
        shared_.endPending = false;
        lock.unlock();
        Post(UWM_SESSION_ENDED);
        lock.lock();
    }
}

}  // namespace tavrilo
