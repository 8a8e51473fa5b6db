#include "recordings/sensor_track.h"

#include <locale.h>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "recordings/mp4_scan.h"

namespace tavrilo {
namespace {

// Record layout (offsets from the record start).
constexpr size_t kStatus = 5, kLatitude = 6, kLatitudeSign = 15, kLongitude = 16,
                 kLongitudeSign = 26, kSpeed = 27, kClock = 31, kCorrection = 44, kGy = 57,
                 kGx = 62, kGz = 67, kMark1 = 72, kAxis = 73, kMark2 = 74, kGStatus = 78;

// Payload layout, as seen from a view that starts 6 bytes into the payload (behind "CSODAT").
constexpr size_t kCountInView = 26;
constexpr size_t kRecordsInView = 28;

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// Copies a field into a zero-terminated buffer, as the C routines want it.
bool CopyField(ByteView bytes, size_t offset, size_t length, char (&buf)[32]) {
    if (length >= sizeof buf || !bytes.Has(offset, length)) {
        return false;
    }
    std::memcpy(buf, bytes.data() + offset, length);
    buf[length] = '\0';
    return true;
}

int FieldAtoi(ByteView bytes, size_t offset, size_t length) {
    char buf[32];
    if (!CopyField(bytes, offset, length, buf)) {
        return 0;
    }
    return static_cast<int>(std::strtol(buf, nullptr, 10));
}

// ddmm.mmmm text to signed degrees: whole degrees are the text's integer part divided by 100,
// the rest is minutes.
double Degrees(ByteView rec, size_t field, size_t length, size_t signByte) {
    const double raw = FieldAtof(rec, field, length);
    const double degrees = std::trunc(std::trunc(raw) / 100.0) + std::fmod(raw, 100.0) / 60.0;
    return rec.U8(signByte).value_or(0) != 0 ? degrees : -degrees;
}

double GValue(ByteView rec, size_t field) {
    // The recorder's tools round the text to single precision and divide in it.
    return static_cast<double>(static_cast<float>(FieldAtof(rec, field, 5)) / 1000.0f);
}

int32_t AxisCode(uint8_t c) {
    switch (c) {
        case 'X':
            return 1;
        case 'Y':
            return 2;
        case 'Z':
            return 3;
        default:
            return 0;
    }
}

}  // namespace

double FieldAtof(ByteView bytes, size_t offset, size_t length) {
    char buf[32];
    if (!CopyField(bytes, offset, length, buf)) {
        return 0.0;
    }
    return strtod_l(buf, nullptr, CLocale());
}

int ParseCameraBlock(ByteView block, CameraInfo& out) {
    int blocks = 0;
    for (size_t at = 0;; at += 34) {
        const ByteView b = block.Sub(at);
        if (!b.Has(0, kCameraBlockSize)) {
            return 0;
        }
        std::memcpy(out.Tag.data(), b.data(), 4);
        std::memcpy(out.Tag2.data(), b.data() + 4, 2);
        out.Mode = static_cast<char>(*b.U8(18));
        if (out.Mode != 'D' && out.Mode != 'R') {
            return 0;
        }
        ++blocks;
        const auto letter = b.U8(33);
        if (!b.Equals(30, "@CS") || !letter || *letter < 'A' || *letter > 'Z') {
            return blocks * static_cast<int>(kCameraBlockSize);
        }
    }
}

SystemTime DecodeRecordTime(ByteView rec) {
    int parts[6];
    for (int i = 0; i < 6; ++i) {
        parts[i] = FieldAtoi(rec, kClock + 2 * static_cast<size_t>(i), 2);
    }
    // The recorder's clock is a local calendar time: it is kept as written (with the seconds
    // correction applied), never moved by the offset of the zone this program runs in.
    int64_t seconds =
        CalendarToSeconds(2000 + parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]);
    if (rec.U8(kCorrection).value_or('*') != '*') {
        seconds += FieldAtoi(rec, kCorrection, 3);
    }
    const auto fileTime = SecondsToFileTime(seconds);
    return fileTime ? FileTimeToSystemTime(*fileTime).value_or(SystemTime{}) : SystemTime{};
}

SystemTime RecordTimeCache::Decode(ByteView rec) {
    const ByteView key = rec.Sub(kClock, key_.size());
    if (key.size() != key_.size()) {
        return DecodeRecordTime(rec);
    }
    if (!valid_ || !std::equal(key_.begin(), key_.end(), key.data())) {
        std::copy(key.data(), key.data() + key.size(), key_.begin());
        value_ = DecodeRecordTime(rec);
        valid_ = true;
    }
    return value_;
}

GpsSample ParseGpsRecord(ByteView rec, int32_t index, RecordTimeCache* times) {
    GpsSample s;
    s.Index = index;
    s.Frame = index * 100;
    s.Valid = rec.U8(kStatus) == 'A' ? 1 : 0;
    s.Latitude = Degrees(rec, kLatitude, 9, kLatitudeSign);
    s.Longitude = Degrees(rec, kLongitude, 10, kLongitudeSign);
    s.Speed = FieldAtof(rec, kSpeed, 4);
    const SystemTime t = times != nullptr ? times->Decode(rec) : DecodeRecordTime(rec);
    // The time must survive the trip through a file time; one that does not stays zero.
    if (const auto ft = SystemTimeToFileTime(t)) {
        s.Time = FileTimeToSystemTime(*ft).value_or(SystemTime{});
    }
    return s;
}

GSample ParseGRecord(ByteView rec, uint8_t flag, int32_t index) {
    GSample g;
    g.Index = index;
    g.Gy = GValue(rec, kGy);
    g.Gx = GValue(rec, kGx);
    g.Gz = GValue(rec, kGz);
    if (rec.U8(kMark1) == 'D') {
        g.MarkCode = 5;
    } else if (rec.U8(kMark2) == 'D') {
        g.MarkCode = 7;
    }
    g.Axis = AxisCode(rec.U8(kAxis).value_or(0));
    g.Frame = index * 100;
    g.Status = rec.U8(kGStatus).value_or(0);
    g.FlagHigh = flag >> 4;
    g.FlagLow = flag & 0x0F;
    return g;
}

namespace {

// Calls `each(record, flagByte, index)` for every record that lies wholly inside the view. A
// count that promises more records than the box holds yields only those that fit.
template <typename Each>
int32_t ForEachRecord(ByteView view, Each each) {
    const uint32_t count = view.Be16(kCountInView).value_or(0);
    int32_t k = 0;
    for (; static_cast<uint32_t>(k) < count; ++k) {
        const size_t at = kRecordsInView + static_cast<size_t>(k) * kSensorRecordSize;
        if (!view.Has(at, kSensorRecordSize)) {
            break;
        }
        each(view.Sub(at, kSensorRecordSize), view.U8(at + kSensorRecordSize).value_or(0), k);
    }
    return k;
}

void FailTrack(TrackReader& r) {
    FreeTrack(r);
    r.CloseFile();
    r.Path.clear();
}

}  // namespace

bool ParseTrack(TrackReader& r, const std::string& path) {
    r.Loaded = 0;
    r.MatchCount = 0;
    if (!r.OpenMapped(path)) {
        r.LastError = {ParseError::Kind::kNotEnoughData, "the file cannot be opened"};
        return false;
    }
    return ParseOpenTrack(r);
}

bool ParseTrack(TrackReader& r, const ByteSource& bytes, std::string name) {
    r.Loaded = 0;
    r.MatchCount = 0;
    r.OpenBytes(bytes, std::move(name));
    return ParseOpenTrack(r);
}

bool ParseOpenTrack(TrackReader& r) {
    FreeTrack(r);
    r.HasArrays = true;

    ScanPattern camera{0, "gps0", [](TrackReader& reader, ByteView v) {
                           ParseCameraBlock(v, reader.Camera);
                           return 0;
                       }};
    if (!FindFirstGps0(r, camera)) {
        FailTrack(r);
        return false;
    }
    int32_t records = 0;
    ScanPattern mdat{0, "mdat", [](TrackReader& reader, ByteView v) {
                         const uint32_t size = v.Be32(0).value_or(0);
                         reader.MdatSize = size;
                         reader.MdatSizeFloat = static_cast<float>(size);
                         return 0;
                     }};
    ScanPattern gps0{0, "gps0", [&records](TrackReader& reader, ByteView v) {
                         RecordTimeCache times;
                         records = ForEachRecord(v, [&](ByteView rec, uint8_t flag, int32_t k) {
                             reader.MatchCount = k;
                             reader.GpsSamples.push_back(ParseGpsRecord(rec, k, &times));
                             reader.GSamples.push_back(ParseGRecord(rec, flag, k));
                         });
                         return 0;
                     }};
    if (!WalkTrack(r, gps0, &mdat)) {
        FailTrack(r);
        return false;
    }
    r.MatchCount = records - 1;
    r.CloseFile();
    r.Loaded = 1;
    return true;
}

bool ParseGpsOnly(TrackReader& temporary, const std::string& path,
                  std::vector<GpsSample>& destination) {
    if (!temporary.OpenMapped(path)) {
        return false;
    }
    ScanPattern gps0{0, "gps0", [&destination](TrackReader&, ByteView v) {
                         RecordTimeCache times;
                         ForEachRecord(v, [&](ByteView rec, uint8_t, int32_t k) {
                             destination.push_back(ParseGpsRecord(rec, k, &times));
                         });
                         return 0;
                     }};
    const bool ok = FindFirstGps0(temporary, gps0);
    temporary.CloseFile();
    return ok;
}

bool BuildFrameIndex(TrackReader& r, const FrameTimes& frames) {
    const int64_t frameCount = frames.count();
    if (frameCount <= 0 || frameCount > INT32_MAX) {
        return false;
    }
    r.FrameIndex.assign(static_cast<size_t>(frameCount), -1);
    if (!r.HasArrays) {
        return false;
    }
    auto& gps = r.GpsSamples;
    auto& g = r.GSamples;
    // A record taken `Frame` milliseconds after the start belongs to the picture shown then.
    auto toFrame = [&frames](int32_t ms) {
        return static_cast<int32_t>(frames.FrameAtOffsetMs(ms));
    };
    for (GSample& s : g) {
        s.Frame = toFrame(s.Frame);
    }
    for (GpsSample& s : gps) {
        s.Frame = toFrame(s.Frame);
    }

    // Each axis becomes the change from the previous record, pushed 0.005 G away from zero.
    auto deltas = [&g](double GSample::*axis) {
        double previous = g.empty() ? 0.0 : g.front().*axis;
        for (GSample& s : g) {
            const double raw = s.*axis;
            double d = raw - previous;
            if (d > 0) {
                d += 0.005;
            } else if (d < 0) {
                d -= 0.005;
            }
            s.*axis = d;
            previous = raw;
        }
    };
    deltas(&GSample::Gx);
    deltas(&GSample::Gy);
    deltas(&GSample::Gz);

    // Per-frame index: the cursor moves at most once a frame, two samples at a time when the
    // video has fewer frames than there are samples.
    const size_t m = g.size();
    const size_t step = static_cast<size_t>(frameCount) < m ? 2 : 1;
    size_t c = 0;
    for (size_t i = 0; i < r.FrameIndex.size(); ++i) {
        if (c >= m) {
            r.FrameIndex[i] = m == 0 ? -1 : static_cast<int32_t>(m - 1);
            continue;
        }
        r.FrameIndex[i] = static_cast<int32_t>(c);
        if (c + 1 < gps.size() && c + 1 < m && g[c + 1].Frame <= static_cast<int64_t>(i)) {
            c += step;
        }
    }

    // Links and maxima.
    double maxX = 0, maxY = 0, maxZ = 0;
    size_t j = 0;
    for (size_t k = 0; k < m; ++k) {
        maxX = std::max(maxX, std::abs(g[k].Gx));
        maxY = std::max(maxY, std::abs(g[k].Gy));
        maxZ = std::max(maxZ, std::abs(g[k].Gz));
        if (gps.empty()) {
            continue;
        }
        if (gps[j].Frame <= g[k].Frame) {
            gps[j].GLink = static_cast<int32_t>(k);
            if (j + 1 < gps.size()) {
                ++j;
            }
        }
        g[k].GpsLink = static_cast<int32_t>(j >= 3 ? j - 3 : 0);
    }
    r.MaxG = std::max({maxX, maxY, maxZ});
    return true;
}

}  // namespace tavrilo
