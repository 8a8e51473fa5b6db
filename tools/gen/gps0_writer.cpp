#include "tools/gen/gps0_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace tavrilo::gen {
namespace {

// Writes `text` (exactly `width` characters) at `at`.
void Put(std::array<char, kRecordSize>& rec, size_t at, size_t width, const char* text) {
    if (std::strlen(text) != width) {
        throw std::logic_error(std::string("record field of wrong width: ") + text);
    }
    std::memcpy(rec.data() + at, text, width);
}

// ddmm.mmmm (latitude, 2 degree digits) or dddmm.mmmm (longitude, 3 degree digits).
std::string DegreesMinutes(double degrees, int degreeDigits) {
    const long long tenThousandthsOfMinute = std::llround(std::abs(degrees) * 60.0 * 10000.0);
    const long long deg = tenThousandthsOfMinute / 600000;
    const long long rest = tenThousandthsOfMinute % 600000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld%02lld.%04lld", degreeDigits, deg, rest / 10000,
                  rest % 10000);
    return buf;
}

int ClampG(int v) {
    return std::clamp(v, -9999, 99999);
}

}  // namespace

std::array<char, kCameraBlockSize> MakeCameraBlock(const CameraBlockOptions& o) {
    if (o.firmware.size() != 5) {
        throw std::invalid_argument("firmware must be five digits");
    }
    std::array<char, kCameraBlockSize> block{};
    char buf[48];
    std::snprintf(buf, sizeof buf, "F%.3s%.2s%04d%04d%04d%c0000000", o.firmware.c_str(),
                  o.firmware.c_str() + 3, o.numberA % 10000, o.numberB % 10000, o.numberC % 10000,
                  o.mode);
    std::memcpy(block.data(), buf, kCameraBlockSize);
    return block;
}

std::array<char, kRecordSize> FormatRecord(const SensorRecord& r, uint8_t previousFlag) {
    std::array<char, kRecordSize> rec{};
    char buf[32];
    rec[0] = static_cast<char>(previousFlag);
    Put(rec, 1, 4, "GPS,");
    rec[5] = r.valid ? 'A' : 'V';
    // Without a fix the receiver has no position; the recorder writes zeros.
    Put(rec, 6, 9, r.valid ? DegreesMinutes(r.latitude, 2).c_str() : "0000.0000");
    rec[15] = r.latitude < 0 ? '\0' : 'N';  // a zero byte marks the southern hemisphere
    Put(rec, 16, 10, r.valid ? DegreesMinutes(r.longitude, 3).c_str() : "00000.0000");
    rec[26] = r.longitude < 0 ? '\0' : 'E';  // and the western one
    std::snprintf(buf, sizeof buf, "%04d", std::clamp(r.valid ? r.speedKmh : 0, 0, 9999));
    Put(rec, 27, 4, buf);
    std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d%02d", r.written.year % 100,
                  r.written.month, r.written.day, r.written.hour, r.written.minute,
                  r.written.second);
    Put(rec, 31, 12, buf);
    rec[43] = ',';
    if (r.correction) {
        std::snprintf(buf, sizeof buf, "%+03d", std::clamp(*r.correction, -99, 99));
    } else {
        std::snprintf(buf, sizeof buf, "*00");
    }
    Put(rec, 44, 3, buf);
    Put(rec, 47, 5, ",    ");
    Put(rec, 52, 5, "GSEN,");
    std::snprintf(buf, sizeof buf, "%05d", ClampG(r.gy));
    Put(rec, 57, 5, buf);
    std::snprintf(buf, sizeof buf, "%05d", ClampG(r.gx));
    Put(rec, 62, 5, buf);
    std::snprintf(buf, sizeof buf, "%05d", ClampG(r.gz));
    Put(rec, 67, 5, buf);
    rec[72] = r.mark1;
    rec[73] = r.axis;
    rec[74] = r.mark2;
    Put(rec, 75, 3, ",00");
    rec[78] = r.status;
    return rec;
}

std::vector<uint8_t> MakeGps0Box(const std::array<char, kCameraBlockSize>& cameraBlock,
                                 const std::vector<SensorRecord>& records) {
    if (records.size() > kMaxRecords) {
        throw std::length_error("more sensor records than a gps0 box can count");
    }
    const size_t payload = 40 + kRecordSize * records.size();
    const size_t boxSize = payload + 8;
    std::vector<uint8_t> box;
    box.reserve(boxSize);
    auto put32 = [&box](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            box.push_back(static_cast<uint8_t>(v >> shift));
        }
    };
    auto putText = [&box](std::string_view s) { box.insert(box.end(), s.begin(), s.end()); };
    put32(static_cast<uint32_t>(boxSize));
    putText("gps0");
    putText("CSODAT");
    box.insert(box.end(), cameraBlock.begin(), cameraBlock.end());
    box.push_back(static_cast<uint8_t>(records.size() >> 8));
    box.push_back(static_cast<uint8_t>(records.size() & 0xFF));
    uint8_t previousFlag = '0';
    for (const SensorRecord& r : records) {
        const auto rec = FormatRecord(r, previousFlag);
        box.insert(box.end(), rec.begin(), rec.end());
        previousFlag = r.flag;
    }
    // The last record's flag byte is the 'C' of "CSOEND"; its own flag cannot be stored.
    putText("CSOEND");
    return box;
}

}  // namespace tavrilo::gen
