#include "platform/system_time.h"

#include <cstdio>
#include <ctime>

namespace tavrilo {
namespace {

constexpr uint64_t kTicksPerSecond = 10000000;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

std::string FormatSystemTime(const SystemTime& t) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

int64_t CalendarToSeconds(int year, int month, int day, int hour, int minute, int second) {
    // Months carry into years first; days, hours, minutes and seconds add up linearly.
    const int64_t months = int64_t{year} * 12 + (month - 1);
    const int64_t y = months >= 0 ? months / 12 : (months - 11) / 12;
    const int64_t m = months - y * 12 + 1;
    const int64_t days = DaysFromCivil(y, m, 1) + (day - 1);
    return days * 86400 + int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
}

std::optional<uint64_t> SecondsToFileTime(int64_t seconds) {
    if (seconds < -kFileTimeEpochOffsetSeconds ||
        seconds >
            static_cast<int64_t>(UINT64_MAX / kTicksPerSecond) - kFileTimeEpochOffsetSeconds) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(seconds + kFileTimeEpochOffsetSeconds) * kTicksPerSecond;
}

std::optional<SystemTime> FileTimeToSystemTime(uint64_t fileTime) {
    const int64_t totalSeconds = static_cast<int64_t>(fileTime / kTicksPerSecond);
    const int64_t days = totalSeconds / 86400 + DaysFromCivil(1601, 1, 1);
    const int64_t rest = totalSeconds % 86400;
    // Civil date from days since 1970.
    int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2);
    if (y > 30827) {
        return std::nullopt;
    }
    SystemTime t;
    t.year = static_cast<uint16_t>(y);
    t.month = static_cast<uint16_t>(m);
    t.day = static_cast<uint16_t>(d);
    t.dayOfWeek = static_cast<uint16_t>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    t.hour = static_cast<uint16_t>(rest / 3600);
    t.minute = static_cast<uint16_t>(rest / 60 % 60);
    t.second = static_cast<uint16_t>(rest % 60);
    t.milliseconds = static_cast<uint16_t>(fileTime % kTicksPerSecond / 10000);
    return t;
}

std::optional<uint64_t> SystemTimeToFileTime(const SystemTime& t) {
    if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59 ||
        t.milliseconds > 999) {
        return std::nullopt;
    }
    const int64_t seconds =
        DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
    const auto ft = SecondsToFileTime(seconds);
    if (!ft) {
        return std::nullopt;
    }
    return *ft + uint64_t{t.milliseconds} * 10000;
}

std::optional<SystemTime> LocalToUtc(const SystemTime& local) {
    std::tm tm{};
    tm.tm_year = local.year - 1900;
    tm.tm_mon = local.month - 1;
    tm.tm_mday = local.day;
    tm.tm_hour = local.hour;
    tm.tm_min = local.minute;
    tm.tm_sec = local.second;
    tm.tm_isdst = -1;  // the zone's rules at that date decide
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    const auto ft = SecondsToFileTime(static_cast<int64_t>(t));
    return ft ? FileTimeToSystemTime(*ft) : std::nullopt;
}

}  // namespace tavrilo
