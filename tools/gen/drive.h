#pragma once
// A plausible drive through town (route.h): speed that matches the movement, stops at red
// lights, G values from the car's motion with road bumps and sensor noise, the recorder's
// clock and event marks, sampled ten times a second.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tools/gen/route.h"

namespace tavrilo::gen {

// A local calendar time as the recorder's clock shows it (no time zone involved).
struct CivilTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    bool operator==(const CivilTime&) const = default;
};

CivilTime AddSeconds(const CivilTime& t, long long seconds);
// "YYYY-MM-DD hh:mm:ss" (or with a 'T' between date and time).
std::optional<CivilTime> ParseCivilTime(const std::string& text);
std::string FormatCivilTime(const CivilTime& t);

// What the sensor marks at a moment of a recording.
enum class MarkKind {
    kAxisX,   // impact along the front-back axis: axis letter 'X'
    kAxisY,   // left-right: 'Y'
    kAxisZ,   // up-down: 'Z'
    kMark1,   // mark byte 1 = 'D'
    kMark2,   // mark byte 2 = 'D'
    kFlagA9,  // flag byte 0xA9
    kFlag88,  // flag byte 0x88
};

struct SensorEvent {
    double seconds = 0;  // from the start of the recording
    MarkKind kind = MarkKind::kAxisX;
    double duration = 0.5;
};

// "12.5:X", "3:D1", "4:F9" ... ; nullopt for an unknown form.
std::optional<SensorEvent> ParseSensorEvent(const std::string& text);

// One sensor record before it is written as text.
struct SensorRecord {
    bool valid = true;
    double latitude = 0;   // degrees, signed (south negative)
    double longitude = 0;  // degrees, signed (west negative)
    int speedKmh = 0;
    CivilTime written;              // the clock text of the record
    std::optional<int> correction;  // seconds correction; nullopt writes '*'
    int gx = 0, gy = 0, gz = 0;     // G x 1000
    char mark1 = '0', axis = '0', mark2 = '0', status = '0';
    uint8_t flag = '0';  // stored in the byte after the record
};

struct DriveStart {
    CivilTime time{2026, 6, 1, 10, 0, 0};
    double latitude = 35.681236;
    double longitude = 139.767125;
    double headingDeg = 30.0;
    uint32_t seed = 1;
    // The correction written into every record; the clock text is the true time minus it,
    // so a reader that applies the correction gets the true time back.
    std::optional<int> correction;
};

// What differs from one recording of a drive to the next.
struct PieceOptions {
    bool parked = false;  // standing still
    std::vector<SensorEvent> events;
    std::optional<std::pair<double, double>> noFix;  // seconds [from, to) without GPS fix
    // Seconds into the recording at which the driver brakes as hard as the car can, down to
    // a stand, waits a moment and drives on.
    std::optional<double> hardBrake;
};

// Where the car is at a record, on the street grid of route.h.
struct DrivePose {
    double x = 0, y = 0;    // metres
    double headingDeg = 0;  // clockwise from the grid's north
};

class DriveSimulator {
  public:
    explicit DriveSimulator(const DriveStart& start);

    // The next `count` records (one per tenth of a second), continuing where the last call
    // ended in time and place. `poses`, when given, receives where the car is at each record.
    std::vector<SensorRecord> Record(int count, const PieceOptions& piece,
                                     std::vector<DrivePose>* poses = nullptr);

    // Metres driven so far.
    double Distance() const { return distance_; }

    // The true time of the next record.
    CivilTime Now() const;

  private:
    double Uniform(double lo, double hi);
    // How the driver speeds up or slows down here: towards the limit of the stretch the car is
    // on, braking in time (and no harder than needed) for a lower limit or a red light ahead.
    double PlannedAcceleration() const;
    // Stops the car on the line of a red light it has rolled up to, and counts the time it
    // stands there until the light turns green.
    void ServeStops(double dt);

    DriveStart start_;
    Route route_;
    std::mt19937 rng_;
    long long tenths_ = 0;             // records produced so far
    double distance_ = 0;              // metres along the route
    double speed_ = 0;                 // m/s
    double accel_ = 0;                 // m/s^2 in the last step
    std::vector<double> waited_;       // per limit: seconds stood at it (red lights)
    double bumpPulse_[3] = {0, 0, 0};  // up-down G still to come from a bump, in mG
};

}  // namespace tavrilo::gen
