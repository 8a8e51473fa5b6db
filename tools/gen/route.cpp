#include "tools/gen/route.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace tavrilo::gen {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
// Turning radii of the lane's path: a left turn keeps to the near kerb, a right turn crosses
// the other lane in a wider curve.
constexpr double kLeftTurnRadius = 7.0;
constexpr double kRightTurnRadius = 11.0;
// Sideways acceleration a driver accepts in a corner (about a quarter of a G).
constexpr double kCornerAcceleration = 2.6;
// Where the car waits before a red light: short of the crossing and its zebra.
constexpr double kStopLineBefore = 12.0;

struct Vec {
    double x = 0, y = 0;
};
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
Vec operator*(Vec a, double k) {
    return {a.x * k, a.y * k};
}
double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y;
}
double Cross(Vec a, Vec b) {
    return a.x * b.y - a.y * b.x;
}
double Norm(Vec a) {
    return std::hypot(a.x, a.y);
}
Vec Unit(Vec a) {
    return a * (1.0 / Norm(a));
}
Vec LeftOf(Vec d) {
    return {-d.y, d.x};
}
double HeadingOf(Vec d) {
    return std::atan2(d.x, d.y) / kDeg;
}

// A corner of the lane's path before it is rounded.
struct Vertex {
    Vec at;
    double stopSeconds = 0;
};

}  // namespace

Route::Route(const std::vector<std::pair<double, double>>& blocks, const std::vector<Stop>& stops,
             uint32_t seed) {
    std::vector<Vec> centre;
    for (const auto& [bx, by] : blocks) {
        centre.push_back({bx * StreetGrid::kBlockPitch, by * StreetGrid::kBlockPitch});
    }
    if (centre.size() < 2) {
        return;
    }
    auto stopAt = [&stops](size_t i) {
        for (const Stop& s : stops) {
            if (s.point == i) {
                return s.seconds;
            }
        }
        return 0.0;
    };
    // The left lane: the centre line moved sideways, mitred at the corners; a U-turn crosses
    // from one lane to the other in two quarter turns.
    std::vector<Vertex> lane;
    const double off = StreetGrid::kLaneOffset;
    for (size_t i = 0; i < centre.size(); ++i) {
        const Vec in = i > 0 ? Unit(centre[i] - centre[i - 1]) : Unit(centre[1] - centre[0]);
        const Vec out = i + 1 < centre.size() ? Unit(centre[i + 1] - centre[i]) : in;
        const Vec n1 = LeftOf(in), n2 = LeftOf(out);
        if (Dot(in, out) < -0.99) {
            lane.push_back({centre[i] + n1 * off, stopAt(i)});
            lane.push_back({centre[i] + n2 * off, 0});
        } else {
            lane.push_back({centre[i] + (n1 + n2) * (off / (1 + Dot(n1, n2))), stopAt(i)});
        }
    }

    std::mt19937 rng(seed);
    auto uniform = [&rng](double lo, double hi) {
        return lo + (hi - lo) * (static_cast<double>(rng()) / 4294967296.0);
    };
    Vec at = lane[0].at;
    for (size_t i = 1; i < lane.size(); ++i) {
        const Vec in = Unit(lane[i].at - lane[i - 1].at);
        const bool last = i + 1 == lane.size();
        const Vec out = last ? in : Unit(lane[i + 1].at - lane[i].at);
        const double turn = std::atan2(-Cross(in, out), Dot(in, out));  // right positive
        double radius = turn > 0 ? kRightTurnRadius : kLeftTurnRadius;
        double tangent = 0;
        if (std::abs(turn) > 1e-6) {
            const double half = std::tan(std::abs(turn) / 2);
            const double room = std::min(Norm(lane[i].at - lane[i - 1].at),
                                         last ? 0.0 : Norm(lane[i + 1].at - lane[i].at)) /
                                2;
            radius = std::min(radius, room / half);
            tangent = radius * half;
        }
        const Vec cornerIn = lane[i].at - in * tangent;
        const double straight = Norm(cornerIn - at);
        const double straightStart = length_;
        AddStraight(at.x, at.y, HeadingOf(in), straight);
        limits_.push_back({straightStart, length_, uniform(11.5, 15.5), 0});
        if (lane[i].stopSeconds > 0) {
            const double line = std::max(straightStart, length_ + tangent - kStopLineBefore);
            limits_.push_back({line, line, 0, lane[i].stopSeconds});
        }
        if (tangent > 0) {
            const double arcStart = length_;
            AddArc(cornerIn.x, cornerIn.y, HeadingOf(in), radius, turn / kDeg);
            limits_.push_back({arcStart, length_, std::sqrt(kCornerAcceleration * radius), 0});
        }
        at = lane[i].at + out * tangent;
    }
    // The end of the route: the car stays there.
    limits_.push_back({length_, length_, 0, std::numeric_limits<double>::infinity()});
    std::sort(limits_.begin(), limits_.end(),
              [](const SpeedLimit& a, const SpeedLimit& b) { return a.from < b.from; });
    for (double s = uniform(15, 40); s < length_; s += uniform(25, 90)) {
        bumps_.push_back(s);
    }
}

void Route::AddStraight(double x, double y, double headingDeg, double length) {
    if (length <= 0) {
        return;
    }
    pieces_.push_back({length_, length, x, y, headingDeg, 0});
    length_ += length;
}

void Route::AddArc(double x, double y, double headingDeg, double radius, double turnDeg) {
    const double length = radius * std::abs(turnDeg) * kDeg;
    pieces_.push_back({length_, length, x, y, headingDeg, (turnDeg > 0 ? 1 : -1) / radius});
    length_ += length;
}

RoutePose Route::PoseAt(double s) const {
    if (pieces_.empty()) {
        return {};
    }
    s = std::clamp(s, 0.0, length_);
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), s,
                               [](double v, const Piece& p) { return v < p.start; });
    const Piece& p = *(it == pieces_.begin() ? it : it - 1);
    const double u = std::min(s - p.start, p.length);
    const double h0 = p.headingDeg * kDeg;
    RoutePose pose;
    pose.curvature = p.curvature;
    if (p.curvature == 0) {
        pose.x = p.x + u * std::sin(h0);
        pose.y = p.y + u * std::cos(h0);
        pose.headingDeg = p.headingDeg;
    } else {
        const double h = h0 + p.curvature * u;
        pose.x = p.x + (std::cos(h0) - std::cos(h)) / p.curvature;
        pose.y = p.y + (std::sin(h) - std::sin(h0)) / p.curvature;
        pose.headingDeg = h / kDeg;
    }
    pose.headingDeg = std::fmod(pose.headingDeg + 720.0, 360.0);
    return pose;
}

Route Route::Town(uint32_t seed) {
    // Through the middle of a town: red lights, right and left turns, a U-turn in a side
    // street, and out to the west, where the car parks by the kerb.
    return Route({{0, -0.5},
                  {0, 1},
                  {0, 2},
                  {2, 2},
                  {3, 2},
                  {3, 1},
                  {4.5, 1},
                  {4, 1},
                  {4, 3},
                  {1, 3},
                  {1, 0},
                  {-0.4, 0}},
                 {{1, 8}, {3, 10}, {8, 7}, {10, 6}}, seed);
}

}  // namespace tavrilo::gen
