#pragma once
// A decoded picture in 8-bit planar YUV 4:2:0, as the decoder hands it over. The planes stay
// valid as long as `owner` lives; copies share the decoder's buffer.

#include <array>
#include <cstdint>
#include <memory>

namespace tavrilo {

struct VideoFrame {
    int width = 0;
    int height = 0;
    std::array<const uint8_t*, 3> planes{};  // Y, U (Cb), V (Cr); chroma at half size
    std::array<int, 3> strides{};
    int64_t index = -1;           // frame number in presentation order
    int64_t time100ns = 0;        // presentation time
    bool fullRange = false;       // JPEG-range samples instead of studio range
    bool bt709 = false;           // BT.709 colours instead of BT.601
    std::shared_ptr<void> owner;  // keeps the planes alive
};

}  // namespace tavrilo
