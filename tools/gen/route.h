#pragma once
// The streets the sample drive follows: a grid of city blocks and a route along its streets,
// driven in the left lane. Coordinates are metres on the grid (x east, y north); headings are
// degrees clockwise from north.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrilo::gen {

// The street grid: a street centre line every kBlockPitch metres in both directions.
struct StreetGrid {
    static constexpr double kBlockPitch = 120.0;
    static constexpr double kRoadHalfWidth = 6.0;     // kerb to centre line
    static constexpr double kStreetHalfWidth = 12.0;  // building line to centre line
    static constexpr double kLaneOffset = 1.75;       // the left lane's middle from the centre
};

struct RoutePose {
    double x = 0, y = 0;    // metres
    double headingDeg = 0;  // clockwise from north
    double curvature = 0;   // 1/m, positive turning right
};

// A speed limit over a stretch of the route: at most `speed` from `from` to `to` (metres along
// the route). A stop holds the car still at `from` for `holdSeconds` before it goes on.
struct SpeedLimit {
    double from = 0, to = 0;
    double speed = 0;  // m/s
    double holdSeconds = 0;
};

class Route {
  public:
    // The route through the given grid intersections (in block units; a half block stands
    // for a point in the middle of a street), each leg along one street. A leg that doubles
    // back on the last one is a U-turn in the street. `stops` are indices of the points where
    // the car waits at a red light.
    struct Stop {
        size_t point;
        double seconds;
    };
    Route(const std::vector<std::pair<double, double>>& blocks, const std::vector<Stop>& stops,
          uint32_t seed);

    // The town drive of the sample card: about 3 km with corners, a U-turn and red lights.
    static Route Town(uint32_t seed);

    double Length() const { return length_; }
    // Where the car is `s` metres along (clamped to the route).
    RoutePose PoseAt(double s) const;
    // Corners, cruising speeds of the straight stretches and red lights, in route order.
    const std::vector<SpeedLimit>& Limits() const { return limits_; }
    // Metres along the route where a wheel meets a bump (manhole covers, joints).
    const std::vector<double>& Bumps() const { return bumps_; }

  private:
    struct Piece {
        double start = 0, length = 0;  // metres along the route
        double x = 0, y = 0;           // start point
        double headingDeg = 0;         // at the start
        double curvature = 0;          // 0 for a straight piece
    };
    void AddStraight(double x, double y, double headingDeg, double length);
    void AddArc(double x, double y, double headingDeg, double radius, double turnDeg);

    std::vector<Piece> pieces_;
    std::vector<SpeedLimit> limits_;
    std::vector<double> bumps_;
    double length_ = 0;
};

}  // namespace tavrilo::gen
