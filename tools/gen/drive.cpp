#include "tools/gen/drive.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace tavrilo::gen {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr double kMetresPerDegree = 111320.0;
constexpr double kGravity = 9.80665;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

double HalfSine(double t, double duration) {
    return std::sin(std::numbers::pi * t / duration);
}

}  // namespace

CivilTime AddSeconds(const CivilTime& t, long long seconds) {
    long long total = DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600LL +
                      t.minute * 60LL + t.second + seconds;
    long long days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
    long long rest = total - days * 86400;
    CivilTime out;
    CivilFromDays(days, out.year, out.month, out.day);
    out.hour = static_cast<int>(rest / 3600);
    out.minute = static_cast<int>(rest / 60 % 60);
    out.second = static_cast<int>(rest % 60);
    return out;
}

std::optional<CivilTime> ParseCivilTime(const std::string& text) {
    CivilTime t;
    char sep = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &t.year, &t.month, &t.day, &sep,
                    &t.hour, &t.minute, &t.second) != 7 ||
        (sep != ' ' && sep != 'T')) {
        return std::nullopt;
    }
    // The recorder writes two-digit years from 2000.
    if (t.year < 2000 || t.year > 2099 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
        t.hour > 23 || t.minute > 59 || t.second > 59 || t.hour < 0 || t.minute < 0 ||
        t.second < 0) {
        return std::nullopt;
    }
    if (AddSeconds(t, 0) != t) {
        return std::nullopt;  // 31 April and the like
    }
    return t;
}

std::string FormatCivilTime(const CivilTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

std::optional<SensorEvent> ParseSensorEvent(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    SensorEvent e;
    try {
        size_t used = 0;
        e.seconds = std::stod(text.substr(0, colon), &used);
        if (used != colon || e.seconds < 0) {
            return std::nullopt;
        }
    } catch (...) {
        return std::nullopt;
    }
    const std::string kind = text.substr(colon + 1);
    if (kind == "X") {
        e.kind = MarkKind::kAxisX;
    } else if (kind == "Y") {
        e.kind = MarkKind::kAxisY;
    } else if (kind == "Z") {
        e.kind = MarkKind::kAxisZ;
    } else if (kind == "D1") {
        e.kind = MarkKind::kMark1;
    } else if (kind == "D2") {
        e.kind = MarkKind::kMark2;
    } else if (kind == "F9") {
        e.kind = MarkKind::kFlagA9;
    } else if (kind == "F8") {
        e.kind = MarkKind::kFlag88;
    } else {
        return std::nullopt;
    }
    return e;
}

DriveSimulator::DriveSimulator(const DriveStart& start)
    : start_(start),
      rng_(start.seed),
      latitude_(start.latitude),
      longitude_(start.longitude),
      headingDeg_(start.headingDeg) {}

double DriveSimulator::Uniform(double lo, double hi) {
    // mt19937's output sequence is fixed by the standard; the distributions are not, so the
    // scaling is done here to keep recordings byte-identical across standard libraries.
    return lo + (hi - lo) * (static_cast<double>(rng_()) / 4294967296.0);
}

CivilTime DriveSimulator::Now() const {
    return AddSeconds(start_.time, tenths_ / 10);
}

std::vector<SensorRecord> DriveSimulator::Record(int count, const PieceOptions& piece) {
    std::vector<SensorRecord> records;
    records.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int k = 0; k < count; ++k, ++tenths_) {
        const double t = k / 10.0;  // seconds into this recording
        if (tenths_ % 80 == 0) {
            targetSpeed_ = Uniform(6.0, 20.0);
        }
        if (tenths_ % 50 == 0) {
            turnRate_ = Uniform(-6.0, 6.0);
        }
        const double target = piece.parked ? 0.0 : targetSpeed_;
        const double accel = std::clamp((target - speed_) * 0.3, -3.0, 2.0);
        speed_ = std::max(0.0, speed_ + accel * 0.1);
        const double yawRate = speed_ > 0.5 ? turnRate_ : 0.0;
        headingDeg_ = std::fmod(headingDeg_ + yawRate * 0.1 + 360.0, 360.0);
        const double step = speed_ * 0.1;
        latitude_ += step * std::cos(headingDeg_ * kDeg) / kMetresPerDegree;
        longitude_ +=
            step * std::sin(headingDeg_ * kDeg) / (kMetresPerDegree * std::cos(latitude_ * kDeg));

        SensorRecord r;
        r.latitude = latitude_;
        r.longitude = longitude_;
        r.speedKmh = static_cast<int>(std::lround(speed_ * 3.6));
        r.correction = start_.correction;
        r.written = AddSeconds(start_.time, tenths_ / 10 - start_.correction.value_or(0));
        r.gx = static_cast<int>(std::lround(accel / kGravity * 1000 + Uniform(-15, 15)));
        r.gy = static_cast<int>(
            std::lround(speed_ * yawRate * kDeg / kGravity * 1000 + Uniform(-15, 15)));
        r.gz = static_cast<int>(std::lround(1000 + Uniform(-20, 20)));
        if (piece.noFix && t >= piece.noFix->first && t < piece.noFix->second) {
            r.valid = false;
        }
        for (const SensorEvent& e : piece.events) {
            // In whole records, so an event covers exactly duration * 10 records.
            const long long since = k - std::llround(e.seconds * 10);
            const long long length = std::max(1LL, std::llround(e.duration * 10));
            if (since < 0 || since >= length) {
                continue;
            }
            const int spike =
                static_cast<int>(std::lround(1500 * HalfSine((since + 0.5) / 10.0, length / 10.0)));
            r.status = '1';
            switch (e.kind) {
                case MarkKind::kAxisX:
                    r.axis = 'X', r.gx += spike;
                    break;
                case MarkKind::kAxisY:
                    r.axis = 'Y', r.gy -= spike;
                    break;
                case MarkKind::kAxisZ:
                    r.axis = 'Z', r.gz += spike;
                    break;
                case MarkKind::kMark1:
                    r.mark1 = 'D';
                    break;
                case MarkKind::kMark2:
                    r.mark2 = 'D';
                    break;
                case MarkKind::kFlagA9:
                    r.flag = 0xA9;
                    break;
                case MarkKind::kFlag88:
                    r.flag = 0x88;
                    break;
            }
        }
        records.push_back(r);
    }
    return records;
}

}  // namespace tavrilo::gen
