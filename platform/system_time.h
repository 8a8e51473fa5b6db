#pragma once
// Calendar times as the recorder's data and the rest of the program use them: a broken-down
// date and time (all zero meaning "none"), and the conversions between local calendar time,
// seconds since 1970 and 100-ns file-time units since 1601, on the C library.

#include <cstdint>
#include <optional>
#include <string>

namespace tavrilo {

struct SystemTime {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;

    bool IsZero() const { return year == 0 && month == 0 && day == 0; }
    bool operator==(const SystemTime&) const = default;
};

inline constexpr int64_t kFileTimeEpochOffsetSeconds = 11644473600;  // 1601-01-01 to 1970-01-01

// "YYYY-MM-DD hh:mm:ss"
std::string FormatSystemTime(const SystemTime& t);

// Seconds since 1970 of a calendar time read as written, in no zone: fields out of range carry
// over as a calendar does (month 13 is January of the next year, second 60 the next minute).
int64_t CalendarToSeconds(int year, int month, int day, int hour, int minute, int second);

// 100-ns units since 1601 for seconds since 1970; nullopt before 1601.
std::optional<uint64_t> SecondsToFileTime(int64_t seconds);

// The UTC calendar time of a file time; nullopt when it is out of the representable range
// (past the year 30827).
std::optional<SystemTime> FileTimeToSystemTime(uint64_t fileTime);

// A file time for a calendar time; nullopt for a field out of range (month 13, day 0, ...).
std::optional<uint64_t> SystemTimeToFileTime(const SystemTime& t);

// The UTC time of a local calendar time in the process's zone (TZ, else the system's), with the
// offset in force at that date: daylight saving where it was in force then, whatever it is
// today. nullopt for a time the C library cannot represent.
std::optional<SystemTime> LocalToUtc(const SystemTime& local);

}  // namespace tavrilo
