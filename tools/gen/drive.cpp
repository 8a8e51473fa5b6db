#include "tools/gen/drive.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace tavrilo::gen {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr double kMetresPerDegree = 111320.0;
constexpr double kGravity = 9.80665;
// Driving: how briskly the car speeds up, how gently it slows for what is ahead, and how hard
// it can brake when it must (about 0.7 G), in m/s^2; and how long it stands after that.
constexpr double kAcceleration = 1.6;
constexpr double kPlannedBraking = 2.0;
constexpr double kHardBraking = 7.0;
constexpr double kStandAfterHardBrake = 2.5;
constexpr double kAccelerationStep = 0.6;  // m/s^2 per tenth of a second

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
      route_(Route::Town(start.seed)),
      rng_(start.seed),
      waited_(route_.Limits().size(), 0.0) {}

double DriveSimulator::Uniform(double lo, double hi) {
    // mt19937's output sequence is fixed by the standard; the distributions are not, so the
    // scaling is done here to keep recordings byte-identical across standard libraries.
    return lo + (hi - lo) * (static_cast<double>(rng_()) / 4294967296.0);
}

CivilTime DriveSimulator::Now() const {
    return AddSeconds(start_.time, tenths_ / 10);
}

double DriveSimulator::PlannedAcceleration() const {
    const auto& limits = route_.Limits();
    double cap = std::numeric_limits<double>::infinity();
    double braking = 0;  // needed now to be down to the tightest limit ahead when it begins
    for (size_t i = 0; i < limits.size(); ++i) {
        const SpeedLimit& l = limits[i];
        const bool stop = l.holdSeconds > 0;
        if (l.to < distance_ - (stop ? 0.5 : 0.0) || (stop && waited_[i] >= l.holdSeconds)) {
            continue;
        }
        if (l.from <= distance_) {
            cap = std::min(cap, l.speed);
        } else if (speed_ > l.speed) {
            // Less room than there is: the brake comes on over a few tenths of a second.
            const double room = std::max(l.from - distance_ - speed_ * 0.4, 0.05);
            braking = std::max(braking, (speed_ * speed_ - l.speed * l.speed) / (2 * room));
        }
    }
    if (braking >= kPlannedBraking) {
        // Coming up to a limit a little too fast (the steps are a tenth of a second) is
        // corrected gently: the driver never brakes hard for the road.
        return -std::min(braking, kPlannedBraking * 1.5);
    }
    return std::clamp((cap - speed_) * 1.2, -kPlannedBraking,
                      kAcceleration * (speed_ < 4 ? 1.4 : 1.0));
}

void DriveSimulator::ServeStops(double dt) {
    const auto& limits = route_.Limits();
    for (size_t i = 0; i < limits.size(); ++i) {
        const SpeedLimit& l = limits[i];
        if (l.holdSeconds <= 0 || waited_[i] >= l.holdSeconds) {
            continue;
        }
        // Rolling up to the line: the last few centimetres at walking pace end standing on it.
        if (l.from - distance_ < 0.3 && l.from - distance_ > -0.5 && speed_ < 0.6) {
            speed_ = 0;
            distance_ = l.from;
            waited_[i] += dt;
        }
    }
}

std::vector<SensorRecord> DriveSimulator::Record(int count, const PieceOptions& piece,
                                                 std::vector<DrivePose>* poses) {
    constexpr double dt = 0.1;
    std::vector<SensorRecord> records;
    records.reserve(static_cast<size_t>(std::max(count, 0)));
    const double turn = start_.headingDeg * kDeg;  // the grid's north on the map
    const RoutePose origin = route_.PoseAt(0);
    double braked = 0;  // seconds stood after a hard brake
    for (int k = 0; k < count; ++k, ++tenths_) {
        const double t = k / 10.0;  // seconds into this recording
        const bool hardBrake =
            piece.hardBrake && t >= *piece.hardBrake && braked < kStandAfterHardBrake;
        double accel;
        if (piece.parked || hardBrake) {
            accel = std::max(-speed_ / dt, hardBrake ? -kHardBraking : -kPlannedBraking * 1.5);
            braked += hardBrake && speed_ + accel * dt <= 0 ? dt : 0;
        } else {
            // Feet move smoothly from the throttle to the brake: a limited change a step.
            const double wanted = PlannedAcceleration();
            accel = accel_ + std::clamp(wanted - accel_, -kAccelerationStep, kAccelerationStep);
        }
        const double before = distance_;
        accel_ = accel;
        speed_ = std::max(0.0, speed_ + accel * dt);
        if (speed_ < 0.05 && accel <= 0) {
            speed_ = 0;  // standing, not creeping
        }
        distance_ = std::min(route_.Length(), distance_ + speed_ * dt);
        ServeStops(dt);
        if (speed_ == 0) {
            accel_ = 0;
        }
        const RoutePose pose = route_.PoseAt(distance_);
        for (double bump : route_.Bumps()) {
            if (before < bump && bump <= distance_) {
                const double a = Uniform(80, 200) * std::min(speed_ / 14.0, 1.2);
                bumpPulse_[0] += a, bumpPulse_[1] -= 0.5 * a, bumpPulse_[2] += 0.15 * a;
            }
        }

        // The grid turned to the map and laid at the start position.
        const double dx = pose.x - origin.x, dy = pose.y - origin.y;
        const double east = dx * std::cos(turn) + dy * std::sin(turn);
        const double north = -dx * std::sin(turn) + dy * std::cos(turn);
        SensorRecord r;
        r.latitude = start_.latitude + north / kMetresPerDegree;
        r.longitude =
            start_.longitude + east / (kMetresPerDegree * std::cos(start_.latitude * kDeg));
        r.speedKmh = static_cast<int>(std::lround(speed_ * 3.6));
        r.correction = start_.correction;
        r.written = AddSeconds(start_.time, tenths_ / 10 - start_.correction.value_or(0));
        // The sensor also feels the engine and the road surface: a shake that grows with
        // speed, strongest up and down (mG).
        auto shake = [this](double still, double perMetrePerSecond) {
            const double a = still + perMetrePerSecond * speed_;
            return Uniform(-a, a);
        };
        r.gx = static_cast<int>(std::lround(accel / kGravity * 1000 + shake(15, 4)));
        r.gy = static_cast<int>(
            std::lround(speed_ * speed_ * pose.curvature / kGravity * 1000 + shake(15, 3)));
        r.gz = static_cast<int>(std::lround(1000 + bumpPulse_[0] + shake(20, 6)));
        bumpPulse_[0] = bumpPulse_[1], bumpPulse_[1] = bumpPulse_[2], bumpPulse_[2] = 0;
        if (piece.noFix && t >= piece.noFix->first && t < piece.noFix->second) {
            r.valid = false;
        }
        if (poses != nullptr) {
            poses->push_back({pose.x, pose.y, pose.headingDeg});
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
