#include "platform/byte_view.h"

#include <algorithm>
#include <cstring>

namespace tavrilo {

std::optional<uint8_t> ByteView::U8(size_t offset) const {
    if (!Has(offset, 1)) {
        return std::nullopt;
    }
    return bytes_[offset];
}

std::optional<uint16_t> ByteView::Be16(size_t offset) const {
    if (!Has(offset, 2)) {
        return std::nullopt;
    }
    return static_cast<uint16_t>((bytes_[offset] << 8) | bytes_[offset + 1]);
}

std::optional<uint32_t> ByteView::Be32(size_t offset) const {
    if (!Has(offset, 4)) {
        return std::nullopt;
    }
    return (uint32_t{bytes_[offset]} << 24) | (uint32_t{bytes_[offset + 1]} << 16) |
           (uint32_t{bytes_[offset + 2]} << 8) | bytes_[offset + 3];
}

std::optional<uint64_t> ByteView::Be64(size_t offset) const {
    const auto hi = Be32(offset);
    const auto lo = Be32(offset + 4);
    if (!hi || !lo || offset + 4 < offset) {
        return std::nullopt;
    }
    return (uint64_t{*hi} << 32) | *lo;
}

bool ByteView::Equals(size_t offset, std::string_view text) const {
    return Has(offset, text.size()) &&
           std::memcmp(bytes_.data() + offset, text.data(), text.size()) == 0;
}

ByteView ByteView::Sub(size_t offset, size_t length) const {
    if (offset >= bytes_.size()) {
        return ByteView();
    }
    return ByteView(bytes_.subspan(offset, std::min(length, bytes_.size() - offset)));
}

}  // namespace tavrilo
