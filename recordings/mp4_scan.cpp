#include "recordings/mp4_scan.h"

#include <array>
#include <mutex>

namespace tavrilo {
namespace {

// Holds the scan mutex (when the reader has one) and resets MatchCount for one scan.
class ScanScope {
  public:
    explicit ScanScope(TrackReader& r)
        : lock_(r.ScanMutex ? std::unique_lock(*r.ScanMutex)
                            : std::unique_lock<std::recursive_mutex>()) {
        r.MatchCount = 0;
        r.LastError = {};
    }

  private:
    std::unique_lock<std::recursive_mutex> lock_;
};

// A set Cancel flag is consumed by the scan that sees it.
bool TakeCancel(TrackReader& r) {
    if (r.Cancel.exchange(0) == 0) {
        return false;
    }
    r.LastError = {ParseError::Kind::kCancelled, "cancelled"};
    return true;
}

std::optional<MappedView> ViewOf(const TrackReader& r, uint64_t offset, uint64_t length,
                                 uint64_t limit) {
    return r.Source != nullptr ? r.Source->View(offset, length, limit) : std::nullopt;
}

// Maps `length` bytes at `offset`, clipped to `limit` and the file, and calls the callback.
// Returns the callback's result, or nullopt when nothing could be mapped.
std::optional<int> CallOnView(TrackReader& r, const ScanPattern& p, uint64_t offset,
                              uint64_t length, uint64_t limit) {
    if (!p.Callback) {
        return 0;
    }
    auto view = ViewOf(r, offset, length, std::min(limit, r.FileSize));
    return p.Callback(r, view ? view->bytes() : ByteView());
}

struct BoxHeader {
    uint32_t size;
    std::array<char, 4> type;
    bool Is(std::string_view t) const {
        return t.size() == 4 && std::equal(t.begin(), t.end(), type.begin());
    }
};

enum class HeaderRead { kOk, kEnd, kMapFailed };

// Reads the 8-byte header at `offset`. kEnd at the end of the file or at a size the walkers
// cannot advance over (0, 1, below 8).
HeaderRead ReadHeader(const TrackReader& r, uint64_t offset, BoxHeader* h) {
    if (offset + 8 > r.FileSize || offset + 8 < offset) {
        return HeaderRead::kEnd;
    }
    auto view = ViewOf(r, offset, 8, r.FileSize);
    if (!view) {
        return HeaderRead::kMapFailed;
    }
    const ByteView b = view->bytes();
    h->size = *b.Be32(0);
    for (size_t i = 0; i < 4; ++i) {
        h->type[i] = static_cast<char>(*b.U8(4 + i));
    }
    return h->size < 8 ? HeaderRead::kEnd : HeaderRead::kOk;
}

// Result of looking at one top-level box.
struct Step {
    enum Kind { kNext, kDone, kFail } kind;
    uint64_t next = 0;
};

// The walk shared by FindFirstGps0, WalkTrack and WalkPath: header by header from offset 0
// until a visitor says done or fail, the file ends, or a cancel arrives.
template <typename Visitor>
bool Walk(TrackReader& r, Visitor visit) {
    uint64_t offset = 0;
    for (;;) {
        if (TakeCancel(r)) {
            return false;
        }
        BoxHeader h{};
        switch (ReadHeader(r, offset, &h)) {
            case HeaderRead::kEnd:
                return true;
            case HeaderRead::kMapFailed:
                FailScan(r, ParseError::Kind::kNotEnoughData, "a box header could not be read");
                return false;
            case HeaderRead::kOk:
                break;
        }
        const Step s = visit(offset, h);
        if (s.kind != Step::kNext) {
            return s.kind == Step::kDone;
        }
        offset = s.next;
    }
}

// Calls a "gps0" callback 14 bytes into the box, clipped to the box, and counts a success.
Step CallGps0(TrackReader& r, ScanPattern& p, uint64_t boxOffset, const BoxHeader& h,
              uint64_t viewLength) {
    const auto result = CallOnView(r, p, boxOffset + 14, viewLength, boxOffset + h.size);
    if (result && *result == -1) {
        return {Step::kFail};
    }
    ++r.MatchCount;
    return {Step::kDone};
}

}  // namespace

int FailScan(TrackReader& reader, ParseError::Kind kind, std::string check) {
    reader.LastError = {kind, std::move(check)};
    return -1;
}

bool FindAfter(TrackReader& r, ScanPattern& b, ScanPattern* a) {
    ScanScope scope(r);
    ScanPattern* seeking = a != nullptr ? a : &b;
    seeking->MatchPos = 0;
    std::optional<MappedView> window;
    uint64_t windowStart = 0;
    ByteView bytes;
    // The four bytes at `pos`, from the current window or, across its edge, a small view.
    auto be32At = [&](uint64_t pos) -> std::optional<uint32_t> {
        if (pos + 4 > r.FileSize) {
            return std::nullopt;
        }
        if (pos >= windowStart && pos + 4 <= windowStart + bytes.size()) {
            return bytes.Be32(pos - windowStart);
        }
        auto v = ViewOf(r, pos, 4, r.FileSize);
        return v ? v->bytes().Be32(0) : std::nullopt;
    };
    for (uint64_t pos = 0; pos < r.FileSize;) {
        if (TakeCancel(r)) {
            return false;
        }
        if (pos < windowStart || pos >= windowStart + bytes.size()) {
            windowStart = pos - pos % kLargeView;
            window = ViewOf(r, windowStart, kLargeView, r.FileSize);
            if (!window) {
                FailScan(r, ParseError::Kind::kNotEnoughData, "the file could not be read");
                return false;
            }
            bytes = window->bytes();
        }
        // Jump over "mdat": its data is nearly the whole file and may contain any bytes. The
        // jump lands the size field's width past the box, on the next box's type.
        if (pos >= 4 && be32At(pos) == 0x6D646174u /* "mdat" */) {
            const auto size = be32At(pos - 4);
            if (size && *size >= 8) {
                pos += *size;
                seeking->MatchPos = 0;
                continue;
            }
        }
        const uint8_t byte = *bytes.U8(pos - windowStart);
        const auto& pattern = seeking->Bytes;
        if (byte == static_cast<uint8_t>(pattern[static_cast<size_t>(seeking->MatchPos)])) {
            ++seeking->MatchPos;
        } else {
            seeking->MatchPos = byte == static_cast<uint8_t>(pattern[0]) ? 1 : 0;
        }
        ++pos;
        if (seeking->MatchPos == static_cast<int32_t>(pattern.size())) {
            seeking->MatchPos = 0;
            const auto result = CallOnView(r, *seeking, pos, kSmallView, r.FileSize);
            if (seeking == a) {
                seeking = &b;
                b.MatchPos = 0;
                continue;
            }
            if (result && *result == -1) {
                return false;
            }
            ++r.MatchCount;
            return true;
        }
    }
    return true;
}

bool FindFirstGps0(TrackReader& r, ScanPattern& gps0) {
    ScanScope scope(r);
    return Walk(r, [&](uint64_t offset, const BoxHeader& h) -> Step {
        if (h.Is("gps0")) {
            return CallGps0(r, gps0, offset, h, kSmallView);
        }
        return {Step::kNext, offset + h.size};
    });
}

bool WalkTrack(TrackReader& r, ScanPattern& gps0, ScanPattern* mdat) {
    ScanScope scope(r);
    bool seenMdat = mdat == nullptr;
    return Walk(r, [&](uint64_t offset, const BoxHeader& h) -> Step {
        if (!seenMdat) {
            if (h.Is("mdat")) {
                seenMdat = true;
                const auto result = CallOnView(r, *mdat, offset, kLargeView, r.FileSize);
                if (result && *result == -1) {
                    return {Step::kFail};
                }
            }
            // A "gps0" before the "mdat" is never read.
        } else if (h.Is("gps0")) {
            return CallGps0(r, gps0, offset, h, kLargeView);
        }
        return {Step::kNext, offset + h.size};
    });
}

bool WalkPath(TrackReader& r, ScanPattern& stts) {
    static constexpr std::array<std::string_view, 6> kPath = {"moov", "trak", "mdia",
                                                              "minf", "stbl", "stts"};
    ScanScope scope(r);
    size_t depth = 0;
    return Walk(r, [&](uint64_t offset, const BoxHeader& h) -> Step {
        if (!h.Is(kPath[depth])) {
            return {Step::kNext, offset + h.size};
        }
        if (depth + 1 < kPath.size()) {
            ++depth;
            return {Step::kNext, offset + 8};
        }
        const auto result = CallOnView(r, stts, offset + 8, kSmallView, r.FileSize);
        if (result && *result == -1) {
            return {Step::kFail};
        }
        ++r.MatchCount;
        return {Step::kDone};
    });
}

bool ScanMovieSeconds(TrackReader& r, std::optional<float>* seconds) {
    ScanPattern moov{0, "moov", {}};
    ScanPattern mvhd{0, "mvhd", [seconds](TrackReader& reader, ByteView v) {
                         const auto timescale = v.Be32(12);
                         const auto duration = v.Be32(16);
                         if (!timescale || !duration) {
                             return FailScan(reader, ParseError::Kind::kNotEnoughData,
                                             "the mvhd box is cut short");
                         }
                         if (*timescale == 0) {
                             return FailScan(reader, ParseError::Kind::kCorrupt,
                                             "the mvhd timescale is 0");
                         }
                         *seconds = static_cast<float>(*duration) / static_cast<float>(*timescale);
                         return 0;
                     }};
    return FindAfter(r, mvhd, &moov);
}

std::optional<float> ReadMovieSeconds(TrackReader& r) {
    std::optional<float> seconds;
    return ScanMovieSeconds(r, &seconds) ? seconds : std::nullopt;
}

bool WalkFrameDuration(TrackReader& r, std::optional<float>* duration) {
    ScanPattern stts{0, "stts", [duration](TrackReader& reader, ByteView v) {
                         const auto entries = v.Be32(4);
                         if (!entries) {
                             return FailScan(reader, ParseError::Kind::kNotEnoughData,
                                             "the stts box is cut short");
                         }
                         if (*entries == 0) {
                             return FailScan(reader, ParseError::Kind::kCorrupt,
                                             "the stts box has no entries");
                         }
                         uint32_t total = 0;  // unsigned 32-bit, as the recorder's tools sum it
                         for (uint32_t i = 0; i < *entries; ++i) {
                             const auto delta = v.Be32(8 + size_t{i} * 8 + 4);
                             if (!delta) {
                                 return FailScan(reader, ParseError::Kind::kNotEnoughData,
                                                 "the stts entries run past the box");
                             }
                             total += *delta;
                         }
                         *duration = static_cast<float>(total / *entries / 1000u);
                         reader.FrameDurationMs = **duration;
                         return 0;
                     }};
    return WalkPath(r, stts);
}

std::optional<float> ReadFrameDurationMs(TrackReader& r) {
    std::optional<float> duration;
    return WalkFrameDuration(r, &duration) ? duration : std::nullopt;
}

}  // namespace tavrilo
