#pragma once
// The recorder's "gps0" box, written byte for byte:
//   box header (32-bit big-endian size, "gps0"), then the payload
//   "CSODAT", a 26-byte camera block, a 16-bit big-endian record count n,
//   n records of 79 text bytes, "CSOEND".

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/gen/drive.h"

namespace tavrilo::gen {

inline constexpr size_t kRecordSize = 79;
inline constexpr size_t kCameraBlockSize = 26;
inline constexpr size_t kMaxRecords = 65535;

struct CameraBlockOptions {
    char mode = 'R';                 // 'R' round fisheye, 'D' two-part picture
    std::string firmware = "10405";  // five digits: three in the tag, two in its continuation
    int numberA = 0, numberB = 0, numberC = 0;
};

// 26 bytes: tag "F" + 3 digits, 2 more digits, numbers A, B, C as 4 decimal digits each, the
// mode byte, 7 filler bytes.
std::array<char, kCameraBlockSize> MakeCameraBlock(const CameraBlockOptions& options);

// The 79 text bytes of one record. `previousFlag` is written into byte 0: a record's flag byte
// is stored as the first byte of the record after it.
std::array<char, kRecordSize> FormatRecord(const SensorRecord& r, uint8_t previousFlag);

// The whole box, header included. More than kMaxRecords records is a caller error and
// throws std::length_error: the count field could not hold them.
std::vector<uint8_t> MakeGps0Box(const std::array<char, kCameraBlockSize>& cameraBlock,
                                 const std::vector<SensorRecord>& records);

}  // namespace tavrilo::gen
