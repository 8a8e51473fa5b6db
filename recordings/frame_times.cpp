#include "recordings/frame_times.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/mapped_file.h"

namespace tavrilo {
namespace {

constexpr int64_t k100nsPerSecond = 10'000'000;
// More pictures than this (155 hours at 30 a second) is a table that lies about itself, not a
// recording: the limit keeps a damaged count from asking for gigabytes.
constexpr uint64_t kMaxPictures = 1u << 24;

// a * b / c rounded to nearest, halves away from zero, as FFmpeg rescales times.
int64_t Rescale(int64_t a, int64_t b, int64_t c) {
    const __int128 p = static_cast<__int128>(a) * b;
    const __int128 half = c / 2;
    return static_cast<int64_t>(p >= 0 ? (p + half) / c : (p - half) / c);
}

struct Box {
    std::array<char, 4> type{};
    uint64_t payload = 0;  // offset of the payload
    uint64_t end = 0;      // offset just past the box
    bool Is(std::string_view t) const { return std::equal(t.begin(), t.end(), type.begin()); }
};

// The boxes in [begin, end) of `src`, in file order. A size of 0 runs to `end`, 1 has a 64-bit
// size after the type; a box that claims more than its parent has ends the list (a file cut
// short keeps what lies before the cut).
std::vector<Box> BoxesIn(const ByteSource& src, uint64_t begin, uint64_t end) {
    std::vector<Box> boxes;
    for (uint64_t at = begin; at + 8 <= end;) {
        const auto view = src.View(at, 16, end);
        if (!view) {
            break;
        }
        const ByteView b = view->bytes();
        Box box;
        uint64_t size = *b.Be32(0);
        uint64_t header = 8;
        for (size_t i = 0; i < 4; ++i) {
            box.type[i] = static_cast<char>(*b.U8(4 + i));
        }
        if (size == 1) {
            const auto large = b.Be64(8);
            if (!large) {
                break;
            }
            size = *large;
            header = 16;
        } else if (size == 0) {
            size = end - at;
        }
        if (size < header || size > end - at) {
            box.payload = at + header;
            box.end = end;
            boxes.push_back(box);  // cut short: what there is of it
            break;
        }
        box.payload = at + header;
        box.end = at + size;
        boxes.push_back(box);
        at += size;
    }
    return boxes;
}

const Box* Find(const std::vector<Box>& boxes, std::string_view type) {
    const auto it =
        std::find_if(boxes.begin(), boxes.end(), [&](const Box& b) { return b.Is(type); });
    return it == boxes.end() ? nullptr : &*it;
}

std::vector<Box> Children(const ByteSource& src, const Box* box) {
    return box == nullptr ? std::vector<Box>() : BoxesIn(src, box->payload, box->end);
}

// The payload of a box, whole.
std::optional<MappedView> Payload(const ByteSource& src, const Box& box) {
    return src.View(box.payload, box.end - box.payload, box.end);
}

VideoTrackInfo Fail(ParseError::Kind kind, std::string why,
                    VideoProblem problem = VideoProblem::kDamaged) {
    VideoTrackInfo info;
    info.error = {kind, std::move(why)};
    info.problem = problem;
    return info;
}

// One track's boxes that say when its samples are shown.
struct TrackTables {
    const Box* mdhd = nullptr;
    const Box* stts = nullptr;
    const Box* ctts = nullptr;
    const Box* stsz = nullptr;
    const Box* elst = nullptr;
    const Box* stsc = nullptr;
    const Box* stco = nullptr;  // or "co64"
};

// How many samples, in decoding order, lie whole within the file: all of them unless the file
// was cut inside its media data with its movie header in front (a copy or download broken
// off). Tables that cannot be followed limit nothing; the decoder finds out then.
uint64_t SamplesInFile(const ByteSource& src, const TrackTables& t, uint64_t samples) {
    if (t.stsc == nullptr || t.stco == nullptr || t.stsz == nullptr) {
        return samples;
    }
    const auto stsc = Payload(src, *t.stsc);
    const auto stco = Payload(src, *t.stco);
    const auto stsz = Payload(src, *t.stsz);
    if (!stsc || !stco || !stsz) {
        return samples;
    }
    const bool wide = t.stco->Is("co64");
    const ByteView runs = stsc->bytes(), chunks = stco->bytes(), sizes = stsz->bytes();
    const uint32_t runCount = runs.Be32(4).value_or(0);
    const uint32_t chunkCount = chunks.Be32(4).value_or(0);
    const uint32_t uniform = sizes.Be32(4).value_or(0);
    uint64_t sample = 0;
    for (uint32_t run = 0; run < runCount && sample < samples; ++run) {
        const auto first = runs.Be32(8 + size_t{run} * 12);
        const auto perChunk = runs.Be32(12 + size_t{run} * 12);
        const auto next = run + 1 < runCount ? runs.Be32(8 + size_t{run + 1} * 12)
                                             : std::optional<uint32_t>(chunkCount + 1);
        if (!first || !perChunk || !next || *first == 0) {
            return samples;
        }
        for (uint32_t chunk = *first; chunk < *next && chunk <= chunkCount; ++chunk) {
            const size_t at = 8 + size_t{chunk - 1} * (wide ? 8 : 4);
            const std::optional<uint64_t> offset =
                wide ? chunks.Be64(at) : std::optional<uint64_t>(chunks.Be32(at));
            if (!offset) {
                return samples;
            }
            uint64_t end = *offset;
            for (uint32_t k = 0; k < *perChunk && sample < samples; ++k, ++sample) {
                const auto size =
                    uniform != 0 ? std::optional<uint32_t>(uniform) : sizes.Be32(12 + sample * 4);
                if (!size) {
                    return samples;
                }
                end += *size;
                if (end > src.size()) {
                    return sample;
                }
            }
        }
    }
    return samples;
}

bool IsVideo(const ByteSource& src, const std::vector<Box>& mdia) {
    const Box* hdlr = Find(mdia, "hdlr");
    if (hdlr == nullptr) {
        return false;
    }
    const auto view = Payload(src, *hdlr);
    return view && view->bytes().Equals(8, "vide");
}

std::optional<int64_t> EditStart(const ByteSource& src, const Box* elst) {
    if (elst == nullptr) {
        return 0;
    }
    const auto view = Payload(src, *elst);
    return view ? EditMediaTime(view->bytes()) : std::nullopt;
}

struct Sample {
    int64_t composition;  // decoding time plus the composition offset
    int64_t duration;
};

// Decoding times from "stts", composition offsets from "ctts" (signed, as every writer that
// uses version 0 with negative offsets expects them read), for at most `limit` samples. Why
// the tables cannot be read, or nullopt when they were.
std::optional<VideoTrackInfo> ReadSamples(const ByteSource& src, const TrackTables& t,
                                          uint64_t limit, std::vector<Sample>* samples) {
    const auto stts = Payload(src, *t.stts);
    const auto entries = stts ? stts->bytes().Be32(4) : std::nullopt;
    if (!entries) {
        return Fail(ParseError::Kind::kNotEnoughData, "the video's time table (stts) is cut short");
    }
    int64_t dts = 0;
    for (uint32_t i = 0; i < *entries && samples->size() < limit; ++i) {
        const auto count = stts->bytes().Be32(8 + size_t{i} * 8);
        const auto delta = stts->bytes().Be32(12 + size_t{i} * 8);
        if (!count || !delta) {
            return Fail(ParseError::Kind::kNotEnoughData,
                        "the video's time table (stts) runs past its box");
        }
        if (samples->size() + *count > kMaxPictures) {
            return Fail(ParseError::Kind::kCorrupt, "the video claims more than 16777216 pictures");
        }
        for (uint32_t k = 0; k < *count && samples->size() < limit; ++k) {
            samples->push_back({dts, *delta});
            dts += *delta;
        }
    }
    if (t.ctts == nullptr) {
        return std::nullopt;
    }
    const auto ctts = Payload(src, *t.ctts);
    const auto offsets = ctts ? ctts->bytes().Be32(4) : std::nullopt;
    if (!offsets) {
        return Fail(ParseError::Kind::kNotEnoughData,
                    "the video's reordering table (ctts) is cut short");
    }
    size_t s = 0;
    for (uint32_t i = 0; i < *offsets && s < samples->size(); ++i) {
        const auto count = ctts->bytes().Be32(8 + size_t{i} * 8);
        const auto offset = ctts->bytes().Be32(12 + size_t{i} * 8);
        if (!count || !offset) {
            return Fail(ParseError::Kind::kNotEnoughData,
                        "the video's reordering table (ctts) runs past its box");
        }
        for (uint32_t k = 0; k < *count && s < samples->size(); ++k, ++s) {
            (*samples)[s].composition += static_cast<int32_t>(*offset);
        }
    }
    return std::nullopt;
}

VideoTrackInfo TimesOfTrack(const ByteSource& src, const TrackTables& t) {
    const auto mdhd = Payload(src, *t.mdhd);
    const auto version = mdhd ? mdhd->bytes().U8(0) : std::nullopt;
    const auto timescale =
        version ? mdhd->bytes().Be32(*version == 1 ? 20 : 12) : std::optional<uint32_t>();
    if (!timescale) {
        return Fail(ParseError::Kind::kNotEnoughData, "the video's media header is cut short");
    }
    if (*timescale == 0) {
        return Fail(ParseError::Kind::kCorrupt, "the video's timescale is 0");
    }
    // A picture takes at least a byte of the file: a count beyond that is a table that lies.
    uint64_t limit = std::min<uint64_t>(kMaxPictures, src.size());
    if (t.stsz != nullptr) {
        const auto stsz = Payload(src, *t.stsz);
        const auto count = stsz ? stsz->bytes().Be32(8) : std::nullopt;
        if (!count) {
            return Fail(ParseError::Kind::kNotEnoughData,
                        "the video's sample size table (stsz) is cut short");
        }
        limit = std::min<uint64_t>(limit, *count);
    }
    std::vector<Sample> samples;
    if (auto failed = ReadSamples(src, t, limit, &samples)) {
        return *failed;
    }
    samples.resize(SamplesInFile(src, t, samples.size()));
    const auto editStart = EditStart(src, t.elst);
    if (!editStart) {
        return Fail(ParseError::Kind::kCorrupt, "the video's edit list (elst) cannot be read");
    }
    std::vector<int64_t> starts;
    starts.reserve(samples.size());
    int64_t end = 0;
    for (const Sample& s : samples) {
        const int64_t start = s.composition - *editStart;
        if (start < 0) {
            continue;  // before the edit: decoded for what follows, never shown
        }
        starts.push_back(start);
        end = std::max(end, start + s.duration);
    }
    if (starts.empty()) {
        return Fail(ParseError::Kind::kCorrupt, "the video track has no pictures");
    }
    std::sort(starts.begin(), starts.end());
    // Under an edit list the timeline starts with the first picture shown (FFmpeg's demuxer
    // counts from it): a cut whose edit starts between two pictures' times starts at the later.
    if (t.elst != nullptr && starts.front() > 0) {
        const int64_t first = starts.front();
        for (int64_t& start : starts) {
            start -= first;
        }
        end -= first;
    }
    VideoTrackInfo info;
    info.times = FrameTimes(*timescale, std::move(starts), end);
    return info;
}

}  // namespace

std::optional<int64_t> EditMediaTime(ByteView b) {
    const auto version = b.U8(0);
    const auto entries = b.Be32(4);
    if (!version || !entries || *version > 1) {
        return std::nullopt;
    }
    const size_t width = *version == 1 ? 20 : 12;
    for (uint32_t i = 0; i < *entries; ++i) {
        const size_t at = 8 + size_t{i} * width + (*version == 1 ? 8 : 4);
        std::optional<int64_t> media;
        if (*version == 1) {
            if (const auto t = b.Be64(at)) {
                media = static_cast<int64_t>(*t);
            }
        } else if (const auto t = b.Be32(at)) {
            media = static_cast<int32_t>(*t);
        }
        if (!media) {
            return std::nullopt;
        }
        if (*media != -1) {
            return *media;
        }
    }
    return 0;
}

FrameTimes::FrameTimes(uint32_t timescale, std::vector<int64_t> starts, int64_t end)
    : timescale_(timescale), starts_(std::move(starts)), end_(end) {
    if (!starts_.empty()) {
        end_ = std::max(end_, starts_.back() + 1);
    }
}

FrameTimes FrameTimes::Uniform(int64_t count, uint32_t timescale, int64_t delta) {
    std::vector<int64_t> starts(static_cast<size_t>(std::clamp<int64_t>(count, 0, kMaxPictures)));
    for (size_t i = 0; i < starts.size(); ++i) {
        starts[i] = static_cast<int64_t>(i) * delta;
    }
    const int64_t end = static_cast<int64_t>(starts.size()) * delta;
    return FrameTimes(timescale == 0 ? 1 : timescale, std::move(starts), end);
}

int64_t FrameTimes::Start100ns(int64_t frame) const {
    if (starts_.empty()) {
        return 0;
    }
    frame = std::clamp<int64_t>(frame, 0, count() - 1);
    return Rescale(starts_[static_cast<size_t>(frame)], k100nsPerSecond, timescale_);
}

int64_t FrameTimes::End100ns(int64_t frame) const {
    if (frame + 1 >= count()) {
        return Rescale(end_, k100nsPerSecond, timescale_ == 0 ? 1 : timescale_);
    }
    return Start100ns(frame + 1);
}

int64_t FrameTimes::Duration100ns() const {
    return starts_.empty() ? 0 : End100ns(count() - 1) - Start100ns(0);
}

double FrameTimes::MeanDurationMs() const {
    if (starts_.empty()) {
        return 0;
    }
    return static_cast<double>(end_ - starts_.front()) * 1000.0 / timescale_ /
           static_cast<double>(count());
}

int64_t FrameTimes::FrameAt100ns(int64_t time100ns) const {
    if (starts_.empty()) {
        return -1;
    }
    // The first picture whose start lies after the time, less one.
    int64_t lo = 0, hi = count();
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (Start100ns(mid) <= time100ns) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return std::max<int64_t>(0, lo - 1);
}

int64_t FrameTimes::FrameAtOffsetMs(int64_t ms) const {
    return FrameAt100ns(Start100ns(0) + ms * 10'000);
}

int64_t FrameTimes::NearestFrame100ns(int64_t time100ns) const {
    const int64_t at = FrameAt100ns(time100ns);
    if (at < 0 || at + 1 >= count()) {
        return at;
    }
    return time100ns - Start100ns(at) <= Start100ns(at + 1) - time100ns ? at : at + 1;
}

VideoTrackInfo ReadVideoTrack(const ByteSource& src) {
    if (src.size() == 0) {
        return Fail(ParseError::Kind::kNotEnoughData, "the file is empty", VideoProblem::kEmpty);
    }
    const std::vector<Box> top = BoxesIn(src, 0, src.size());
    const Box* moov = Find(top, "moov");
    if (moov == nullptr) {
        if (Find(top, "ftyp") == nullptr) {
            return Fail(ParseError::Kind::kCorrupt, "the file is not an MP4 or MOV file",
                        VideoProblem::kNotMp4);
        }
        return Fail(ParseError::Kind::kNotEnoughData,
                    "the file has no movie header (moov): it was cut short while recording",
                    VideoProblem::kCut);
    }
    const std::vector<Box> movie = Children(src, moov);
    if (Find(top, "moof") != nullptr || Find(movie, "mvex") != nullptr) {
        return Fail(ParseError::Kind::kCorrupt,
                    "the file is a fragmented MP4, which this viewer does not play",
                    VideoProblem::kFragmented);
    }
    for (const Box& trak : movie) {
        if (!trak.Is("trak")) {
            continue;
        }
        const std::vector<Box> track = Children(src, &trak);
        const std::vector<Box> mdia = Children(src, Find(track, "mdia"));
        if (!IsVideo(src, mdia)) {
            continue;
        }
        const std::vector<Box> minf = Children(src, Find(mdia, "minf"));
        const std::vector<Box> stbl = Children(src, Find(minf, "stbl"));
        const std::vector<Box> edts = Children(src, Find(track, "edts"));
        const Box* co64 = Find(stbl, "co64");
        TrackTables t{Find(mdia, "mdhd"),
                      Find(stbl, "stts"),
                      Find(stbl, "ctts"),
                      Find(stbl, "stsz"),
                      Find(edts, "elst"),
                      Find(stbl, "stsc"),
                      co64 != nullptr ? co64 : Find(stbl, "stco")};
        if (t.mdhd == nullptr || t.stts == nullptr) {
            return Fail(ParseError::Kind::kCorrupt, "the video track has no time table");
        }
        VideoTrackInfo info = TimesOfTrack(src, t);
        // The first sample entry of "stsd": a visual one has its width and height 32 bytes in.
        if (const Box* stsd = Find(stbl, "stsd")) {
            if (const auto view = Payload(src, *stsd)) {
                info.width = view->bytes().Be16(40).value_or(0);
                info.height = view->bytes().Be16(42).value_or(0);
            }
        }
        return info;
    }
    return Fail(ParseError::Kind::kCorrupt, "the file has no video track", VideoProblem::kNoVideo);
}

VideoTrackInfo ReadVideoTrack(const std::string& path) {
    MappedFile file;
    if (!file.Open(path)) {
        return Fail(ParseError::Kind::kNotEnoughData, "the file cannot be opened",
                    VideoProblem::kUnreadable);
    }
    return ReadVideoTrack(file);
}

}  // namespace tavrilo
